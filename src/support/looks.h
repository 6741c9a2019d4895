#pragma once
// The eight looks are style sheets embedded under ":/looks/". A look is named "Style_" and its
// index; resource names are compared without regard to case. Applying a sheet to the
// application is the windows' business.
#include <QString>
#include <QStringList>
#include <optional>

namespace vadrelon {

constexpr int lookCount = 8;

// "Style_" followed by the index in decimal.
QString lookName(int index);

// The text of the look resource with that name, or nothing when there is none.
std::optional<QString> lookStyleSheet(const QString &name);

// The look as a player picks it: its index first, then its name ("1 Graphite"); the index
// alone when the look has no name.
QString lookTitle(int index);

// The embedded look resources' file names, as stored.
QStringList lookResourceNames();

} // namespace vadrelon
