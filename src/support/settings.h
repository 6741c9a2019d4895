#pragma once
// The few choices the editor keeps between runs: one-line text files in a folder of the
// maker and a subfolder of the product under the user's documents folder. Every failure to
// create, read or write them reaches the user through the prompt and never escapes as an
// exception, so start-up always goes on.
#include <QString>
#include <optional>

namespace vadrelon {

class Prompt;

class SettingsStore {
public:
    static constexpr const char *MakerFolderName = "NEROV";
    static constexpr const char *ProductFolderName = "Vadrelon MK3";
    static constexpr const char *ShowUpdateMessageFile = "ShowMessageVersionAtStartup.txt";
    static constexpr const char *ReportUsbErrorsFile = "ReportUSBErrors.txt";
    static constexpr const char *InstrumentFile = "Instrument.txt";
    static constexpr const char *StyleFile = "style.txt";

    // documentsFolder: where the maker folder lives; tests pass a temporary folder.
    explicit SettingsStore(Prompt &prompt, QString documentsFolder = defaultDocumentsFolder());

    static QString defaultDocumentsFolder();

    QString makerFolder() const;   // <documents>/NEROV
    QString productFolder() const; // <documents>/NEROV/Vadrelon MK3

    // Create <documents>/name, or <documents>/name/sub, when missing. On failure the prompt
    // shows "Error creating folder: " or "Error creating subfolder: " with the system's reason.
    bool ensureFolder(const QString &name);
    bool ensureSubfolder(const QString &name, const QString &sub);

    // The whole content of a file in the product folder. A missing file is created with def
    // and def is returned; so is def when the file cannot be read (after a message).
    QString readSettingFile(const QString &fileName, const QString &def);
    // Replaces a file in the product folder with text (UTF-8, no byte-order mark).
    bool writeSettingFile(const QString &fileName, const QString &text);

    // Start-up reading of the two YES/NO files into the fields below; "YES" and "NO" are
    // compared exactly with the whole content, anything else keeps the field as it is.
    void loadYesNoSettings();

    // The file side of the two check-mark commands. Nothing happens and false is returned when
    // the file does not exist (the user removed it to opt out); otherwise the field follows
    // the new check mark and the file is rewritten; the result tells whether it was written.
    bool reportUsbErrorsClicked(bool nowChecked);
    bool showUpdateMessageClicked(bool nowChecked);

    // The saved look index from "style.txt" in the maker folder: 0 when the file is missing
    // or does not hold a whole number (no blanks or line breaks around it), otherwise the
    // number as it is, even when no look has that index. Empty when the file exists but
    // cannot be read; the message has been shown then.
    std::optional<int> savedStyleIndex();
    bool writeStyleIndex(int index);

    bool showUpdateMessage = true;
    bool reportUsbErrorsSetting = false;

private:
    std::optional<QString> readText(const QString &path);
    bool writeText(const QString &path, const QString &text);
    bool clickYesNo(const char *fileName, bool nowChecked, bool &field);

    Prompt &prompt_;
    QString documents_;
};

// The content of a settings file: a byte-order mark selects its encoding; without one the
// bytes are UTF-8, or the local 8-bit encoding when they are not valid UTF-8.
QString decodeSettingText(const QByteArray &bytes);

// A whole decimal number making up the entire text, or nothing.
std::optional<int> parseWholeNumber(const QString &text);

} // namespace vadrelon
