#include "content/presetlibrary.h"

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace vadrelon {

namespace {

const QString kExtension = QStringLiteral(".txt");

bool isPresetName(const QString &fileName)
{
    return fileName.endsWith(kExtension, Qt::CaseInsensitive) && fileName.size() > kExtension.size() &&
           !fileName.startsWith(QLatin1Char('.'));
}

// A name a player may give a preset or a bank: one plain file name, nothing hidden.
std::optional<Error> refuseName(const QString &name, const char *what)
{
    const QString t = name.trimmed();
    bool plain = !t.isEmpty() && t == name && !t.startsWith(QLatin1Char('.')) && t.size() <= 200;
    for (const QChar c : t)
        plain = plain && c != QLatin1Char('/') && c != QLatin1Char('\\') && c.isPrint();
    if (plain)
        return std::nullopt;
    return Error{ErrorCode::BadInput,
                 QStringLiteral("\"%1\" is no %2 name: use letters, digits and spaces, without \"/\" or a leading "
                                "\".\"")
                     .arg(name, QLatin1String(what))};
}

QString quoted(const QString &path)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(path) + QLatin1Char('"');
}

} // namespace

PresetLibrary::PresetLibrary(QString folder) : folder_(std::move(folder)) {}

void PresetLibrary::readNotes()
{
    notes_.clear();
    notesProblem_.reset();
    const QString path = QDir(folder_).filePath(QLatin1String(kLibraryNotesFile));
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return;
    const Result<QByteArray> bytes = readRegularFile(path, kLibraryNotesCap);
    if (const Error *error = std::get_if<Error>(&bytes)) {
        notesProblem_ = *error;
        return;
    }
    QJsonParseError parsing{};
    const QJsonDocument doc = QJsonDocument::fromJson(std::get<QByteArray>(bytes), &parsing);
    if (!doc.isObject() || !doc.object().value(QLatin1String("notes")).isObject()) {
        notesProblem_ = Error{ErrorCode::FileNotRead,
                              quoted(path) + QStringLiteral(": no notes in it (%1)").arg(parsing.errorString())};
        return;
    }
    const QJsonObject notes = doc.object().value(QLatin1String("notes")).toObject();
    for (auto it = notes.begin(); it != notes.end(); ++it)
        if (it.value().isString())
            notes_.insert(it.key(), it.value().toString());
}

std::optional<Error> PresetLibrary::writeNotes()
{
    if (notesProblem_)
        return notesProblem_;
    QJsonObject notes;
    for (auto it = notes_.cbegin(); it != notes_.cend(); ++it)
        if (!it.value().isEmpty())
            notes.insert(it.key(), it.value());
    QJsonObject top;
    top.insert(QLatin1String("notes"), notes);
    return writeWholeFile(QDir(folder_).filePath(QLatin1String(kLibraryNotesFile)),
                          QJsonDocument(top).toJson(QJsonDocument::Indented));
}

void PresetLibrary::refresh()
{
    readNotes();
    presets_.clear();
    banks_.clear();
    const auto listIn = [this](const QString &folder, const QString &bank, bool withBanks) {
        // Links are never followed into folders: a link that loops must not make the list endless.
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot,
                                                                 QDir::Name | QDir::IgnoreCase);
        QStringList subfolders;
        const qsizetype first = presets_.size();
        for (const QFileInfo &info : entries) {
            if (info.isDir() && !info.isSymLink()) {
                if (withBanks && !info.fileName().startsWith(QLatin1Char('.')))
                    subfolders << info.fileName();
                continue;
            }
            if (!isPresetName(info.fileName()))
                continue;
            LibraryPreset p;
            p.bank = bank;
            p.name = info.fileName().chopped(kExtension.size());
            p.path = info.absoluteFilePath();
            p.modified = info.lastModified();
            p.note = notes_.value(p.key());
            const Result<Preset> read = loadPresetFile(p.path);
            if (const Error *error = std::get_if<Error>(&read))
                p.problem = errorText(*error);
            else
                p.values = std::get<Preset>(read).values;
            presets_ << p;
        }
        // By the name a player reads, not the file's: "Sub" before "Sub copy".
        std::sort(presets_.begin() + first, presets_.end(), [](const LibraryPreset &a, const LibraryPreset &b) {
            return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
        });
        return subfolders;
    };
    banks_ = listIn(folder_, QString(), true);
    for (const QString &bank : std::as_const(banks_))
        listIn(QDir(folder_).filePath(bank), bank, false);
}

bool PresetLibrary::matches(const LibraryPreset &preset, const QString &text)
{
    const QString t = text.trimmed();
    return t.isEmpty() || preset.name.contains(t, Qt::CaseInsensitive) ||
           preset.note.contains(t, Qt::CaseInsensitive) || preset.bank.contains(t, Qt::CaseInsensitive);
}

std::optional<int> PresetLibrary::holding(const PresetValues &values) const
{
    for (int i = 0; i < presets_.size(); ++i)
        if (presets_[i].values == values)
            return i;
    return std::nullopt;
}

std::optional<int> PresetLibrary::find(const QString &keyOrPath) const
{
    const QString key =
        keyOrPath.endsWith(kExtension, Qt::CaseInsensitive) ? keyOrPath.chopped(kExtension.size()) : keyOrPath;
    const QString path = QFileInfo(keyOrPath).absoluteFilePath();
    for (int i = 0; i < presets_.size(); ++i)
        if (presets_[i].key() == key || presets_[i].path == path)
            return i;
    return std::nullopt;
}

Result<QString> PresetLibrary::pathFor(const QString &bank, const QString &name, bool replace) const
{
    if (std::optional<Error> refused = refuseName(name, "preset"))
        return *refused;
    if (!bank.isEmpty())
        if (std::optional<Error> refused = refuseName(bank, "bank"))
            return *refused;
    const QDir dir(bank.isEmpty() ? folder_ : QDir(folder_).filePath(bank));
    const QString path = dir.filePath(name + kExtension);
    const QFileInfo info(path);
    if ((info.exists() || info.isSymLink()) && !replace)
        return Error{ErrorCode::FileInTheWay, quoted(path) + QStringLiteral(" already exists")};
    return path;
}

std::optional<Error> PresetLibrary::setNote(const QString &key, const QString &note)
{
    if (notesProblem_)
        return notesProblem_;
    const QString before = notes_.value(key);
    if (note.isEmpty())
        notes_.remove(key);
    else
        notes_[key] = note;
    if (std::optional<Error> error = writeNotes()) {
        notes_[key] = before;
        return error;
    }
    for (LibraryPreset &p : presets_)
        if (p.key() == key)
            p.note = note;
    return std::nullopt;
}

Result<QString> PresetLibrary::rename(const LibraryPreset &preset, const QString &newName)
{
    return relocate(preset, preset.bank, newName);
}

Result<QString> PresetLibrary::moveToBank(const LibraryPreset &preset, const QString &bank)
{
    if (!bank.isEmpty() && !banks_.contains(bank))
        return Error{ErrorCode::BadInput, QStringLiteral("there is no bank \"%1\"").arg(bank)};
    return relocate(preset, bank, preset.name);
}

Result<QString> PresetLibrary::relocate(const LibraryPreset &preset, const QString &bank, const QString &newName)
{
    const Result<QString> target = pathFor(bank, newName, false);
    if (std::holds_alternative<Error>(target))
        return target;
    const QString to = std::get<QString>(target);
    QFile file(preset.path);
    if (!file.rename(to))
        return Error{ErrorCode::PresetNotSaved, quoted(preset.path) + QStringLiteral(": ") + file.errorString()};
    const QString newKey = bank.isEmpty() ? newName : bank + QLatin1Char('/') + newName;
    if (notes_.contains(preset.key()) && !notesProblem_) {
        notes_.insert(newKey, notes_.take(preset.key()));
        if (std::optional<Error> error = writeNotes())
            return *error;
    }
    refresh();
    return to;
}

Result<QString> PresetLibrary::duplicate(const LibraryPreset &preset)
{
    const Result<QByteArray> bytes = readRegularFile(preset.path, kPresetFileCap);
    if (const Error *error = std::get_if<Error>(&bytes))
        return *error;
    QString name = preset.name + QStringLiteral(" copy");
    for (int n = 2; QFileInfo::exists(std::get<QString>(pathFor(preset.bank, name, true))); ++n)
        name = preset.name + QStringLiteral(" copy %1").arg(n);
    const Result<QString> target = pathFor(preset.bank, name, false);
    if (std::holds_alternative<Error>(target))
        return target;
    const QString to = std::get<QString>(target);
    if (std::optional<Error> error = writeWholeFile(to, std::get<QByteArray>(bytes)))
        return *error;
    if (!preset.note.isEmpty() && !notesProblem_) {
        notes_.insert(preset.bank.isEmpty() ? name : preset.bank + QLatin1Char('/') + name, preset.note);
        if (std::optional<Error> error = writeNotes())
            return *error;
    }
    refresh();
    return to;
}

std::optional<Error> PresetLibrary::moveToTrash(const LibraryPreset &preset)
{
    QFile file(preset.path);
    if (!file.moveToTrash())
        return Error{ErrorCode::PresetNotSaved,
                     quoted(preset.path) + QStringLiteral(": not moved to the trash (%1)").arg(file.errorString())};
    if (notes_.remove(preset.key()) > 0 && !notesProblem_)
        if (std::optional<Error> error = writeNotes())
            return error;
    refresh();
    return std::nullopt;
}

std::optional<Error> PresetLibrary::makeBank(const QString &name)
{
    if (std::optional<Error> refused = refuseName(name, "bank"))
        return refused;
    const QString path = QDir(folder_).filePath(name);
    if (QFileInfo::exists(path))
        return Error{ErrorCode::FileInTheWay, quoted(path) + QStringLiteral(" already exists")};
    if (!QDir(folder_).mkdir(name))
        return Error{ErrorCode::FolderNotCreated, quoted(path)};
    refresh();
    return std::nullopt;
}

Result<QString> PresetLibrary::import(const QString &file, const QString &bank, bool replace)
{
    const Result<Preset> preset = loadPresetFile(file);
    if (const Error *error = std::get_if<Error>(&preset))
        return *error; // names the line that is wrong
    const Result<QByteArray> bytes = readRegularFile(file, kPresetFileCap);
    if (const Error *error = std::get_if<Error>(&bytes))
        return *error;
    QString name = QFileInfo(file).fileName();
    if (name.endsWith(kExtension, Qt::CaseInsensitive))
        name.chop(kExtension.size());
    const Result<QString> target = pathFor(bank, name, replace);
    if (std::holds_alternative<Error>(target))
        return target;
    if (std::optional<Error> error = writeWholeFile(std::get<QString>(target), std::get<QByteArray>(bytes)))
        return *error;
    refresh();
    return target;
}

Result<QString> PresetLibrary::exportTo(const LibraryPreset &preset, const QString &folder, bool replace) const
{
    const QString to = QDir(folder).filePath(preset.name + kExtension);
    if (QFileInfo::exists(to) && !replace)
        return Error{ErrorCode::FileInTheWay, quoted(to) + QStringLiteral(" already exists")};
    const Result<QByteArray> bytes = readRegularFile(preset.path, kPresetFileCap);
    if (const Error *error = std::get_if<Error>(&bytes))
        return *error;
    if (std::optional<Error> error = writeWholeFile(to, std::get<QByteArray>(bytes)))
        return *error;
    return to;
}

} // namespace vadrelon
