#pragma once
// The preset library: the preset folder's files by name, its sub-folders as banks, and a
// free-text note for each preset kept beside them in one sidecar file, so that the preset
// files themselves keep exactly their format for other tools. The folder is the player's and
// anything may stand in it: listing never blocks and never reads more of a file than a preset
// can hold, and what cannot be read is listed as unreadable, with the reason.
#include "base/error.h"
#include "content/preset.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace vadrelon {

// The notes' file, in the library's folder.
inline constexpr char kLibraryNotesFile[] = "library.json";
constexpr qint64 kLibraryNotesCap = 1024 * 1024;

struct LibraryPreset {
    QString bank; // the sub-folder's name; empty for the library's own folder
    QString name; // the file name without ".txt"
    QString path;
    QDateTime modified;
    QString note;
    std::optional<PresetValues> values; // none when the file is no preset the reader takes
    QString problem;                    // why, when it is not

    // "bank/name", or the name alone: how notes and the command line name a preset.
    QString key() const { return bank.isEmpty() ? name : bank + QLatin1Char('/') + name; }
};

class PresetLibrary {
public:
    explicit PresetLibrary(QString folder);

    const QString &folder() const { return folder_; }
    // The folder read anew: the banks, every preset in them and the notes.
    void refresh();
    const QList<LibraryPreset> &presets() const { return presets_; }
    const QStringList &banks() const { return banks_; }
    // Why the notes could not be read, when they could not: they are then never written, so
    // that a file the editor cannot read is not replaced by one that lost them.
    const std::optional<Error> &notesProblem() const { return notesProblem_; }

    // Whether a preset's name or note holds the text, in any case; empty text matches all.
    static bool matches(const LibraryPreset &preset, const QString &text);
    // The first preset whose values are these.
    std::optional<int> holding(const PresetValues &values) const;
    // The preset a key or a path names.
    std::optional<int> find(const QString &keyOrPath) const;

    // A new preset's path in a bank: BadInput for a name that is no plain file name,
    // FileInTheWay when that file exists and may not be replaced.
    Result<QString> pathFor(const QString &bank, const QString &name, bool replace) const;

    std::optional<Error> setNote(const QString &key, const QString &note);
    // Each of these keeps the preset's note with it, or drops it with the preset. The
    // result is the new file's path.
    Result<QString> rename(const LibraryPreset &preset, const QString &newName);
    Result<QString> duplicate(const LibraryPreset &preset);
    // Into another bank (empty: the library's own folder), keeping its name.
    Result<QString> moveToBank(const LibraryPreset &preset, const QString &bank);
    std::optional<Error> moveToTrash(const LibraryPreset &preset);
    std::optional<Error> makeBank(const QString &name);
    // A file from outside read with the strict reader and copied in as it is.
    Result<QString> import(const QString &file, const QString &bank, bool replace);
    // A preset copied, as it is, into a folder outside.
    Result<QString> exportTo(const LibraryPreset &preset, const QString &folder, bool replace) const;

private:
    Result<QString> relocate(const LibraryPreset &preset, const QString &bank, const QString &newName);
    std::optional<Error> writeNotes();
    void readNotes();

    QString folder_;
    QList<LibraryPreset> presets_;
    QStringList banks_;
    QHash<QString, QString> notes_;
    std::optional<Error> notesProblem_;
};

} // namespace vadrelon
