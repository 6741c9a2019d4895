#pragma once
// The content the editor carries inside itself: the effect catalogue and, when the build has
// them, the algorithm and firmware images. Names are looked up without regard to case.
#include "base/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

// The catalogue's resource name; the catalogue lists the installable effects, one a line.
inline constexpr char kCatalogueResourceName[] = "octave";

// The bytes of the embedded catalogue or image called `name`, with or without its ".hex" or
// ".bin" extension, in any case ("Firmware_5" finds FIRMWARE_5.bin). Fails with
// ResourceMissing, `no resource named "…"`, when there is none.
Result<QByteArray> findResource(const QString &name);

// Whether the build carries the resource, without reading it.
bool carriesResource(const QString &name);

// findResource among the files of `folders`, searched in order (":/headers" for the shipped
// address headers; a plain folder in tests).
Result<QByteArray> findResourceIn(const QStringList &folders, const QString &name);

// The resource name of an effect's image: every blank and hyphen becomes "_", then every "+"
// becomes "plus", then every upper-case "X" becomes "mult".
QString resourceNameFor(const QString &effectName);

// A resource's text split into lines at CR LF or LF; a final line break ends the last line
// rather than starting an empty one, and an image (no line break) is a single line.
QStringList splitResourceLines(const QByteArray &bytes);

// The lines of the resource called `name`, or why it could not be loaded. The caller replaces
// its lines only on success.
Result<QStringList> loadResourceLines(const QString &name);

// The newest algorithm version named by the catalogue's first entry: characters 13 to 17
// (from 1) as a decimal number, leading blanks ignored ("Vadrelon MK3 0012" gives 12).
Result<quint32> latestAlgorithmVersionFrom(const QString &firstCatalogueEntry);

} // namespace vadrelon
