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
