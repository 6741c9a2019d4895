#pragma once
// The firmware versions the editor carries, oldest first. The images themselves are the
// maker's product data: a build has them only when resources/images/FIRMWARE_<n>.bin exist.
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace vadrelon {

struct FirmwareEntry {
    const char *resourceName; // "FIRMWARE_11"; looked up without regard to case
    quint8 version;
    int byteCount;        // size of the maker's image
    quint32 resetAddress; // second word of its vector table
};

inline constexpr std::array<FirmwareEntry, 7> kFirmwareTable{{
    {"FIRMWARE_5", 5, 53840, 0x0800B4F1},
    {"FIRMWARE_6", 6, 53640, 0x0800B469},
    {"FIRMWARE_7", 7, 53700, 0x0800B4A5},
    {"FIRMWARE_8", 8, 50720, 0x08008CFD},
    {"FIRMWARE_9", 9, 51152, 0x08008EA9},
    {"FIRMWARE_10", 10, 51472, 0x08008FE9},
    {"FIRMWARE_11", 11, 52376, 0x0800936D},
}};

// The last entry of the table: the version a pedal is upgraded to.
constexpr quint8 latestFirmwareVersion()
{
    return kFirmwareTable.back().version;
}

std::optional<FirmwareEntry> firmwareByVersion(int version);
// "Firmware_5" and "FIRMWARE_5" both find version 5.
std::optional<FirmwareEntry> firmwareByName(const QString &name);
// The version a maker's image file names: "FIRMWARE_12.bin" (any case) is 12; nothing for
// any other name.
std::optional<int> firmwareVersionFromFileName(const QString &fileName);
// The entries of the upgrade window's list, in table order: "Firmware_5" … "Firmware_11".
QStringList firmwareListNames();

} // namespace vadrelon
