#pragma once
// Where the effect's sixteen parameters get their DSP addresses. A parameter message must never
// go out with an address that was never read, so when neither the loaded image nor a shipped
// header gives them, the caller keeps the parameter controls disabled and shows the reason.
#include <QString>
#include <QStringList>

namespace vadrelon {

// Characters 7 to 78 of an image's first line hold eighteen groups of four hex digits.
inline constexpr int kAddressHeaderChars = 78;

enum class AddressSource {
    LoadedImage,   // line 0 of the image loaded for the effect
    ShippedHeader, // the header that ships for the effect's version (":/headers/<resource name>")
    None,
};

struct AddressHeader {
    AddressSource source = AddressSource::None;
    QString line;   // the first 78 characters of the header line; empty when source is None
    QString reason; // why there are no addresses; empty otherwise
};

// At least 78 characters, all of them hex digits: an image's line 0, not a catalogue line.
bool isAddressHeaderLine(const QString &line);

// The loaded image's line 0 when it is one (the lines may still hold the catalogue), else the
// shipped header of the effect's version, else none.
AddressHeader addressHeaderFor(const QString &effectName, const QString &loadedImageText);
AddressHeader addressHeaderFor(const QString &effectName, const QStringList &resourceLines);

} // namespace vadrelon
