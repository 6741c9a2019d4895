#pragma once
// A prompt that answers from a script and remembers what it was shown.
#include "support/prompt.h"

#include <QStringList>
#include <deque>

namespace vadrelon::test {

class ScriptedPrompt : public Prompt {
public:
    QStringList messages;  // every message and question, in order
    std::deque<bool> answers; // Yes/No answers to give; an empty script answers No
    QStringList files;     // file names to give; empty means cancelled

    void message(const QString &text) override { messages << text; }
    bool askYesNo(const QString &text) override
    {
        messages << text;
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString openFileName(const QString &, const QString &) override { return takeFile(); }
    QString saveFileName(const QString &, const QString &) override { return takeFile(); }

private:
    QString takeFile() { return files.isEmpty() ? QString() : files.takeFirst(); }
};

} // namespace vadrelon::test
