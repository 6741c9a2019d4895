#pragma once
// The few choices the editor keeps between runs: one-line text files in a folder of the
// maker and a subfolder of the product under the user's documents folder. Every failure to
// create, read or write them is returned to the caller, which decides whether the user hears
// of it; none escapes as an exception, so start-up always goes on.
#include "base/error.h"

#include <QList>
#include <QString>
#include <optional>

namespace vadrelon {

class SettingsStore {
public:
    static constexpr const char *MakerFolderName = "NEROV";
    static constexpr const char *ProductFolderName = "Vadrelon MK3";
    static constexpr const char *ShowUpdateMessageFile = "ShowMessageVersionAtStartup.txt";
    static constexpr const char *ReportUsbErrorsFile = "ReportUSBErrors.txt";
    static constexpr const char *InstrumentFile = "Instrument.txt";
    static constexpr const char *StyleFile = "style.txt";

    // documentsFolder: where the maker folder lives; tests pass a temporary folder.
    explicit SettingsStore(QString documentsFolder = defaultDocumentsFolder());

    static QString defaultDocumentsFolder();

    QString makerFolder() const;   // <documents>/NEROV
    QString productFolder() const; // <documents>/NEROV/Vadrelon MK3
    QString presetFolder() const;  // <documents>/NEROV/Vadrelon MK3/Preset

    // Create <documents>/name, or <documents>/name/sub, when missing; a failure carries the
    // system's reason.
    [[nodiscard]] std::optional<Error> ensureFolder(const QString &name);
    [[nodiscard]] std::optional<Error> ensureSubfolder(const QString &name, const QString &sub);
    [[nodiscard]] std::optional<Error> ensurePresetFolder();

    // The whole content of a file in the product folder. A missing file is created with def
    // and def is returned. A file that cannot be read, or created, gives the error instead and
    // the caller goes on with def.
    [[nodiscard]] Result<QString> readSettingFile(const QString &fileName, const QString &def);
    // Replaces a file in the product folder with text (UTF-8, no byte-order mark).
    [[nodiscard]] std::optional<Error> writeSettingFile(const QString &fileName, const QString &text);

    // Start-up reading of the two YES/NO files into the fields below; "YES" and "NO" are
    // compared exactly with the whole content, anything else keeps the field as it is. A file
    // that cannot be read or created counts as "YES"; its error is in the result, in the
    // order the files are read.
    [[nodiscard]] QList<Error> loadYesNoSettings();

    // The file side of the two check-mark commands. Nothing happens when the file does not
    // exist (the user removed it to opt out), and that is no failure; otherwise the field
    // follows the new check mark and the file is rewritten.
    [[nodiscard]] std::optional<Error> reportUsbErrorsClicked(bool nowChecked);
    [[nodiscard]] std::optional<Error> showUpdateMessageClicked(bool nowChecked);
    // "Don't Show This Message Again": "NO" into the file when it exists; the menu's mark and
    // this run's setting stay as they are.
    [[nodiscard]] std::optional<Error> stopUpdateMessage();

    // The saved look index from "style.txt" in the maker folder: 0 when the file is missing
    // or does not hold a whole number (no blanks or line breaks around it), otherwise the
    // number as it is, even when no look has that index. An error when the file exists but
    // cannot be read.
    [[nodiscard]] Result<int> savedStyleIndex();
    [[nodiscard]] std::optional<Error> writeStyleIndex(int index);

    bool showUpdateMessage = true;
    bool reportUsbErrorsSetting = false;

private:
    static Result<QString> readText(const QString &path);
    static std::optional<Error> writeText(const QString &path, const QString &text);
    std::optional<Error> clickYesNo(const char *fileName, bool nowChecked, bool &field);

    QString documents_;
};

// The content of a settings file: a byte-order mark selects its encoding; without one the
// bytes are UTF-8, or the local 8-bit encoding when they are not valid UTF-8.
QString decodeSettingText(const QByteArray &bytes);

// A whole decimal number making up the entire text, or nothing.
std::optional<int> parseWholeNumber(const QString &text);

} // namespace vadrelon
