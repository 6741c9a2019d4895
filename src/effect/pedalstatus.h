#pragma once
// One status reply applied to the editor's model: the versions judged against the newest
// ones the editor carries, and the pedal's settings put into the device, effect and
// parameter state. Both windows render the result; neither decodes anything itself.
#include "device/status.h"
#include "effect/messages.h"
#include "effect/parameters.h"
#include "effect/statusblocks.h"

#include <QStringList>
#include <array>
#include <optional>

namespace vadrelon {

// Where the settings sit among the reply's values.
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

enum class VersionVerdict { FirmwareOutdated, AlgorithmOutdated, Current };

// Reads the versions into the device state and judges them. trace gets the documented
// lines ("Firmware Version: " … "Effect Number: ").
VersionVerdict judgeVersions(const StatusSummary &summary, quint32 latestFirmware, quint32 latestAlgorithm,
                             DeviceState &device, QStringList &trace);

// The two messages that ask for a firmware upgrade, and the one that asks for an algorithm.
QStringList firmwareUpgradeMessages(quint32 latestFirmware);
QString algorithmUploadMessage(quint32 latestAlgorithm);

// What the windows show of a pedal whose versions are current; nothing for a value that
// leaves its control as it was.
struct StatusView {
    std::optional<FootswitchButtons> footswitch;
    std::array<std::optional<int>, kControlCount> assignmentEntries;
    std::optional<int> tuningEntry;
    std::optional<int> semitoneEntry;
    std::optional<bool> bypass;
    std::optional<bool> storeBypass;
    std::optional<bool> guitar;         // true guitar, false bass
    std::optional<int> midiChannelItem; // 0 "OMNI", 1..16; nothing: no item checked
    bool parametersRead = false;        // the sixteen values are in the parameter set
    QStringList trace;
};

// Puts footswitch mode, assignments, tuning, bypass, bypass storage, instrument, MIDI channel
// and the sixteen parameter values of a whole reply into the state, in the reply's order. The
// parameter addresses must have been read already, so that assignments can be recognised.
StatusView applyPedalStatus(const QByteArray &values, DeviceState &device, EffectState &effect,
                            ParameterSet &parameters);

} // namespace vadrelon
