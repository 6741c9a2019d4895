#pragma once
// Every message box, Yes/No question and file dialog goes through this interface, so that the
// window tests can answer them from a script and the core never includes a widget.
#include <QString>
#include <QStringList>
#include <optional>

namespace vadrelon {

class Prompt {
public:
    virtual ~Prompt() = default;
    // A modal message with one OK button.
    virtual void message(const QString &text) = 0;
    // A modal question with Yes and No; closing it without an answer counts as No.
    virtual bool askYesNo(const QString &text) = 0;
    // A whole number from min to max; nothing when cancelled.
    virtual std::optional<int> askNumber(const QString &text, int min, int max) = 0;
    // A file-open dialog; an empty result means cancelled.
    virtual QString openFileName(const QString &title, const QString &filter, const QString &folder) = 0;
    // A file-save dialog; an empty result means cancelled. It does not ask about replacing a
    // file: the caller settles the final name first, then asks.
    virtual QString saveFileName(const QString &title, const QString &filter, const QString &folder) = 0;
    // A line of text, starting from initial; nothing when cancelled.
    virtual std::optional<QString> askText(const QString &text, const QString &initial) = 0;
    // Any number of files to open; none when cancelled.
    virtual QStringList openFileNames(const QString &title, const QString &filter, const QString &folder) = 0;
    // A folder; empty when cancelled.
    virtual QString folderName(const QString &title, const QString &folder) = 0;
};

} // namespace vadrelon
