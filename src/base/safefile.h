#pragma once
// Reading a file that sits in one of the user's folders, where anything may stand in its place:
// a named pipe would block the open for ever, a link to /dev/zero would never end, and a huge
// file would fill the memory. Each kind of file the editor reads has a size it never needs to
// go beyond, and is refused above it.
#include "base/error.h"

#include <QByteArray>
#include <QString>

namespace vadrelon {

// A settings file holds one short line.
constexpr qint64 kSettingsFileCap = 4 * 1024;
// An announcement is three or four short lines.
constexpr qint64 kAnnouncementCap = 4 * 1024;
// The pedal's algorithm memory and the bootloader's flash, with room for the text form.
constexpr qint64 kAlgorithmImageCap = 64 * 1024;
constexpr qint64 kFirmwareImageCap = 128 * 1024;

// The whole content of the file at path, which must be a regular file once links are
// followed and at most cap bytes long. Never blocks. A refusal or failure is FileNotRead with
// the detail `"<path>": <reason>`.
[[nodiscard]] Result<QByteArray> readRegularFile(const QString &path, qint64 cap);

// The whole file written aside and renamed into place, so that a full disk or a crash never
// leaves half a file behind and an old file of that name stays whole on failure. Only a
// regular file is replaced, keeping its permissions; a link is followed and the file it names
// replaced. Anything else at path (a folder, a named pipe, a device) is refused without being
// opened, and so is a file made read-only. A failure is FileNotWritten with the detail
// `"<path>": <reason>`, the reason the system's where it gave one.
[[nodiscard]] std::optional<Error> writeWholeFile(const QString &path, const QByteArray &bytes);

// What writeWholeFile would refuse before it writes anything: a path that is no regular file,
// a file made read-only, a folder that is missing or may not be written. Looked at, never
// opened, so that a command can refuse its output before it has done any work for it.
[[nodiscard]] std::optional<Error> checkWritable(const QString &path);

} // namespace vadrelon
