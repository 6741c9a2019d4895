#pragma once
// What the version check reads from the maker's update server: where the server is, and
// whether the version it names is newer than the editor's own.
#include "base/error.h"

#include <QUrl>
#include <QVersionNumber>
#include <optional>

namespace vadrelon {

// The maker's update server. Its real address is not known to this project: a reserved name
// stands in for it until it is, and VADRELON_UPDATE_BASE_URL overrides it (for tests, and for
// anyone who mirrors the releases).
inline constexpr char kDefaultUpdateBaseUrl[] = "https://updates.nerov.example";

// The base address from the variable's value (empty: the default). Only https is accepted:
// what comes from there may end up being run.
Result<QUrl> updateBaseUrl(const QString &override);

// The address of path on the server at base: what the browser is sent to, and what is asked.
QUrl updateAddress(const QUrl &base, const QString &path);

// A version as the server's body gives it: one to four whole numbers joined by points, with
// blanks or a line break around them at most. Anything else is no version.
std::optional<QVersionNumber> parseEditorVersion(const QByteArray &body);

// Part by part, a missing part counting as 0: 2.0.0.0 is newer than 1.15.0.0, 1.16 is newer
// than 1.15.0.0, and 1.15 is the same as 1.15.0.0.
bool isNewerVersion(const QVersionNumber &candidate, const QVersionNumber &own);

} // namespace vadrelon
