#pragma once
// The decisions about the pedal that the windows and the `vadrelon` command both take, written
// once: whether a pedal's versions let its settings be used, which messages take the pedal to
// a preset, whether its firmware goes into its bootloader when asked, whether it took an
// algorithm upload. Pure functions, tested without a link.
#include "base/error.h"
#include "content/preset.h"
#include "effect/parameters.h"
#include "effect/pedalstatus.h"

#include <QList>
#include <QString>
#include <optional>

namespace vadrelon {

// Nothing for current versions; otherwise why nothing of the pedal's settings may be used, in
// the words the window shows, on one line.
std::optional<Error> refuseOutdated(VersionVerdict verdict, quint32 latestFirmware, quint32 latestAlgorithm);

// One parameter that a preset changes, and the live message that changes it.
struct ParameterChange {
    int index = 0;
    quint32 from = 0; // as the pedal reported it
    quint32 to = 0;   // as the preset has it
    QString message;
};

// The value a live message carries for a value as the status reply reports it. Low Pass, High
// Pass and Range are reported as a step; their message carries the level the window's dial
// sends for that step. Every other parameter is reported as it is sent.
quint32 liveValueFor(int index, quint32 reported);

// The messages that take the pedal from what it reported (the set's values) to the preset's
// values: one for each parameter that differs, in block order, and none for the others. A
// value that differs where the pedal's address is not known refuses the whole preset, naming
// the parameter: half a preset is a sound nobody saved.
Result<QList<ParameterChange>> presetChanges(const ParameterSet &pedal, const PresetValues &wanted);

// The note-cut parameters cut the notes of the selected tuning: with none selected, a window
// neither switches one on nor puts one on a control.
bool noteCutNeedsTuning(int parameter, quint8 currentTuning);

// Firmware from this version on goes into its bootloader when asked; an older one only when
// powered up with its SHIFT button held.
constexpr int kFirstFirmwareEnteringBootloader = 9;
bool entersBootloaderWhenAsked(int firmwareVersion);

// Nothing when the pedal's answer to an algorithm upload says it took the image; otherwise
// the failure, which carries what the pedal said.
std::optional<Error> refuseUploadAnswer(const QString &answer);

} // namespace vadrelon
