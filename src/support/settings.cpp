#include "support/settings.h"

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <filesystem>
#include <system_error>

namespace vadrelon {

namespace {

constexpr const char *Yes = "YES";
constexpr const char *No = "NO";

// Creates the folder and any missing parent (a new account may not have its documents
// folder yet); the system's reason on failure.
std::optional<QString> createFolder(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no documents folder is known for this user");
    std::error_code ec;
    const std::filesystem::path fsPath(QFile::encodeName(path).toStdString());
    if (std::filesystem::is_directory(fsPath, ec))
        return std::nullopt;
    std::filesystem::create_directories(fsPath, ec);
    if (ec)
        return QString::fromLocal8Bit(ec.message().c_str());
    if (!std::filesystem::is_directory(fsPath, ec))
        return QStringLiteral("%1 exists and is not a folder").arg(QDir::toNativeSeparators(path));
    return std::nullopt;
}

} // namespace

SettingsStore::SettingsStore(QString documentsFolder) : documents_(std::move(documentsFolder)) {}

QString SettingsStore::defaultDocumentsFolder()
{
    // The toolkit reads the user's folder list with a blocking read of any size; a pipe or a
    // device in its place would hang start-up, so such a list is passed over for the usual
    // folder, as the toolkit itself does when there is no list.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + QStringLiteral("/.config"));
    const std::filesystem::path list = std::filesystem::path(config.toStdString()) / "user-dirs.dirs";
    std::error_code ec;
    const bool present = std::filesystem::exists(list, ec);
    if (present && !(std::filesystem::is_regular_file(list, ec) && std::filesystem::file_size(list, ec) <= 64 * 1024))
        return QDir::homePath() + QStringLiteral("/Documents");
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString SettingsStore::makerFolder() const
{
    return QDir(documents_).filePath(MakerFolderName);
}

QString SettingsStore::productFolder() const
{
    return QDir(makerFolder()).filePath(ProductFolderName);
}

QString SettingsStore::presetFolder() const
{
    return QDir(productFolder()).filePath(QStringLiteral("Preset"));
}

std::optional<Error> SettingsStore::ensurePresetFolder()
{
    if (const auto failure = createFolder(documents_.isEmpty() ? QString() : presetFolder()))
        return Error{ErrorCode::FolderNotCreated, *failure};
    return std::nullopt;
}

std::optional<Error> SettingsStore::ensureFolder(const QString &name)
{
    const auto failure = createFolder(documents_.isEmpty() ? QString() : QDir(documents_).filePath(name));
    if (failure)
        return Error{ErrorCode::FolderNotCreated, *failure};
    return std::nullopt;
}

std::optional<Error> SettingsStore::ensureSubfolder(const QString &name, const QString &sub)
{
    const auto failure =
        createFolder(documents_.isEmpty() ? QString() : QDir(QDir(documents_).filePath(name)).filePath(sub));
    if (failure)
        return Error{ErrorCode::SubfolderNotCreated, *failure};
    return std::nullopt;
}

Result<QString> SettingsStore::readSettingFile(const QString &fileName, const QString &def)
{
    const QString path = QDir(productFolder()).filePath(fileName);
    if (!QFileInfo::exists(path)) {
        if (std::optional<Error> failure = writeText(path, def))
            return *failure;
        return def;
    }
    return readText(path);
}

std::optional<Error> SettingsStore::writeSettingFile(const QString &fileName, const QString &text)
{
    return writeText(QDir(productFolder()).filePath(fileName), text);
}

QList<Error> SettingsStore::loadYesNoSettings()
{
    QList<Error> failures;
    const auto apply = [this, &failures](const char *fileName, bool &field) {
        const Result<QString> read = readSettingFile(fileName, Yes);
        const Error *failure = std::get_if<Error>(&read);
        if (failure)
            failures.append(*failure);
        // A file that cannot be had counts as its default, as on a first start.
        const QString content = failure ? QString::fromLatin1(Yes) : std::get<QString>(read);
        if (content == QLatin1String(Yes))
            field = true;
        else if (content == QLatin1String(No))
            field = false;
    };
    apply(ShowUpdateMessageFile, showUpdateMessage);
    apply(ReportUsbErrorsFile, reportUsbErrorsSetting);
    return failures;
}

std::optional<Error> SettingsStore::reportUsbErrorsClicked(bool nowChecked)
{
    return clickYesNo(ReportUsbErrorsFile, nowChecked, reportUsbErrorsSetting);
}

std::optional<Error> SettingsStore::showUpdateMessageClicked(bool nowChecked)
{
    return clickYesNo(ShowUpdateMessageFile, nowChecked, showUpdateMessage);
}

std::optional<Error> SettingsStore::stopUpdateMessage()
{
    const QString path = QDir(productFolder()).filePath(ShowUpdateMessageFile);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return writeText(path, No);
}

std::optional<Error> SettingsStore::clickYesNo(const char *fileName, bool nowChecked, bool &field)
{
    const QString path = QDir(productFolder()).filePath(fileName);
    if (!QFileInfo::exists(path))
        return std::nullopt;
    field = nowChecked;
    return writeText(path, nowChecked ? Yes : No);
}

Result<int> SettingsStore::savedStyleIndex()
{
    const QString path = QDir(makerFolder()).filePath(StyleFile);
    if (!QFileInfo::exists(path))
        return 0;
    const Result<QString> content = readText(path);
    if (const Error *failure = std::get_if<Error>(&content))
        return *failure;
    return parseWholeNumber(std::get<QString>(content)).value_or(0);
}

std::optional<Error> SettingsStore::writeStyleIndex(int index)
{
    return writeText(QDir(makerFolder()).filePath(StyleFile), QString::number(index));
}

Result<QString> SettingsStore::readText(const QString &path)
{
    Result<QByteArray> bytes = readRegularFile(path, kSettingsFileCap);
    if (Error *failure = std::get_if<Error>(&bytes))
        return std::move(*failure);
    return decodeSettingText(std::get<QByteArray>(bytes));
}

std::optional<Error> SettingsStore::writeText(const QString &path, const QString &text)
{
    return writeWholeFile(path, text.toUtf8());
}

QString decodeSettingText(const QByteArray &bytes)
{
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        // The decoder drops the byte-order mark itself.
        QStringDecoder decoder(*bom);
        return decoder(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLocal8Bit(bytes);
}

std::optional<int> parseWholeNumber(const QString &text)
{
    // toInt() forgives surrounding blanks and line breaks; a saved setting holds none.
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace vadrelon
