#pragma once
// The pedal's status reply: decimal values, each ended by CR (and maybe LF), decoded into
// StatusValues, and what the editor reads out of them.
#include "device/error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

// A complete reply carries at least this many values (up to the last parameter byte).
constexpr int kStatusValueCount = 90;

namespace StatusIndex {
constexpr int Firmware = 0;
constexpr int AlgorithmHigh = 1;
constexpr int AlgorithmLow = 2;
constexpr int Effect = 3;
constexpr int FootswitchMode = 4;
constexpr int Assignments = 5;
constexpr int Tuning = 20;
constexpr int Bypass = 22;
constexpr int BypassStorage = 23;
constexpr int Instrument = 24;
constexpr int MidiChannel = 25;
constexpr int Parameters = 26;
} // namespace StatusIndex

struct DecodedStatus {
    QByteArray values; // one byte per value, low 8 bits
    QStringList trace; // "num of bytes received: " …, then one line per value
};

// Decodes the bytes of one reply. A field of digits that are not decimal throws
// ConversionError (a garbled reply).
DecodedStatus decodeStatusValues(const QByteArray &received);

// What the status exchange reads out of StatusValues before it touches any window.
struct StatusSummary {
    QString firmwareVersion;  // decimal, "11"
    QString algorithmVersion; // four digits, "0012"
    QString effectNumber;     // two digits, "00"
    int firmware = 0;
    int algorithm = 0;
    int effectRow = 0;
};

// Checks that the values make a whole reply (enough values, BCD algorithm version, an effect
// number that names one of the catalogue's effectCount rows) and reads them.
Result<StatusSummary> summarizeStatus(const QByteArray &values, int effectCount);

// What the editor knows of the pedal from its last status reply, and how it links to it.
struct DeviceState {
    QString linkSerialNumber;
    bool firmwareUpgradeMode = false;
    bool legacyUpgradeLink = false;
    QByteArray statusValues;
    QString deviceFirmwareVersion = QStringLiteral("0");
    QString deviceAlgorithmVersion;
    QString deviceEffectNumber;
    quint8 instrumentCode = 0;
};

} // namespace vadrelon
