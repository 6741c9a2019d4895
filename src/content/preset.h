#pragma once
// Preset files: the sixteen parameter values, one line of eight hex digits each, in block
// order. The editor writes them in one exact form and reads back only what that form allows,
// with the line endings other programs may have given it.
#include "base/error.h"
#include "effect/parameters.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace vadrelon {

using PresetValues = std::array<quint32, kParameterCount>;

// A preset holds 146 bytes; anything near the cap is not one.
constexpr qint64 kPresetFileCap = 4 * 1024;

// The byte-order mark, then sixteen lines of eight upper-case hex digits with a CR between
// lines and none after the last: 146 bytes.
QByteArray writePreset(const PresetValues &values);

struct Preset {
    PresetValues values{};
    QStringList fields; // the sixteen lines as the file has them
};
// Accepts an optional byte-order mark, lines ended by CR, LF or CR LF, an optional final line
// break, and exactly sixteen lines of exactly eight hex digits in either case. Anything else
// is refused, and the reason names the line.
Result<Preset> readPreset(const QByteArray &bytes);

// The console lines of a loaded preset: each line's key ("Dry: ", "SubMix: " …) and field.
QStringList presetLoadTrace(const Preset &preset);

// The name the chosen one is saved under: ".txt" is added unless it already ends so (in
// exactly that case).
QString presetFileName(const QString &chosen);

// The file at path read and checked; errors carry the path.
Result<Preset> loadPresetFile(const QString &path);
// The file written whole or not at all: a failed write leaves an old preset of that name as
// it was.
std::optional<Error> savePresetFile(const QString &path, const PresetValues &values);

} // namespace vadrelon
