#pragma once
// A prompt that answers from a script and remembers what it was shown.
#include "base/prompt.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <deque>

namespace vadrelon::test {

class ScriptedPrompt : public Prompt {
public:
    QStringList messages;     // every message and question, in order
    std::deque<bool> answers; // Yes/No answers to give; an empty script answers No
    QStringList files;        // file names to give; empty means cancelled
    // How long a box stays open. A real box runs the event loop meanwhile, so timers fire
    // and bytes arrive while the user reads; above 0 this one does the same.
    int openMs = 0;

    void message(const QString &text) override
    {
        messages << text;
        stayOpen();
    }
    bool askYesNo(const QString &text) override
    {
        messages << text;
        stayOpen();
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<std::optional<int>> numbers; // answers to askNumber; an empty script cancels
    std::optional<int> askNumber(const QString &text, int, int) override
    {
        messages << text;
        if (numbers.empty())
            return std::nullopt;
        const std::optional<int> n = numbers.front();
        numbers.pop_front();
        return n;
    }
    QStringList dialogs; // each file dialog's title and folder, "title @ folder"
    QString openFileName(const QString &title, const QString &, const QString &folder) override
    {
        return takeFile(title, folder);
    }
    QString saveFileName(const QString &title, const QString &, const QString &folder) override
    {
        return takeFile(title, folder);
    }

    std::deque<std::optional<QString>> texts; // answers to askText; an empty script cancels
    std::optional<QString> askText(const QString &text, const QString &) override
    {
        messages << text;
        if (texts.empty())
            return std::nullopt;
        const std::optional<QString> t = texts.front();
        texts.pop_front();
        return t;
    }
    // Every file still scripted, at once; then none.
    QStringList openFileNames(const QString &title, const QString &, const QString &folder) override
    {
        dialogs << title + QStringLiteral(" @ ") + folder;
        const QStringList all = files;
        files.clear();
        return all;
    }
    QString folderName(const QString &title, const QString &folder) override { return takeFile(title, folder); }

private:
    void stayOpen()
    {
        if (openMs <= 0)
            return;
        QEventLoop loop;
        QTimer::singleShot(openMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QString takeFile(const QString &title, const QString &folder)
    {
        dialogs << title + QStringLiteral(" @ ") + folder;
        return files.isEmpty() ? QString() : files.takeFirst();
    }
};

} // namespace vadrelon::test
