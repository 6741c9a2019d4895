#pragma once
// The pedal's status reply: 90 decimal values, each ended by CR LF, read strictly into
// StatusValues, and what the editor reads out of them.
#include "base/error.h"

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

// How far the bytes received so far make a status reply.
struct StatusReading {
    enum class State { NeedMore, Complete, Refused } state = State::NeedMore;
    QByteArray values;    // one byte per value read so far
    QByteArray following; // what came after the 90th value (and its CR LF), when complete
    Error error;          // why, when refused
};

// The bootloader's answers to a command: what a pedal waiting there says to a status request.
constexpr quint8 kBootloaderAckByte = 0x79;
constexpr quint8 kBootloaderNackByte = 0x1F;

// Reads the bytes of one reply as they have arrived so far. Each value is one to three
// decimal digits for a number from 0 to 255, ended by CR and an optional LF; the reply is
// complete at the 90th value, and whatever follows it is handed back, not judged. Anything
// else before that refuses the whole reply: a value that is not a plain number or out of
// range (GarbledReply), or a bootloader's lone ACK or NACK where the first value belongs
// (InBootloader).
StatusReading readStatusReply(const QByteArray &received);

// The console lines of a reply read whole: the counts, then one line per value.
QStringList statusTrace(const QByteArray &values);

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
    // The effect window shows what the pedal holds: a whole reply was applied since this
    // link. Until then the window's values are guesses, and no command may store them.
    bool settingsRead = false;
};

} // namespace vadrelon
