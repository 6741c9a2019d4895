#pragma once
// The sixteen parameter records of the effect, the effect state that travels with them, and
// where their DSP addresses come from (the first line of the algorithm image).
#include "effect/dialmapping.h"

#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

namespace vadrelon {

// One of the six parameters that the pedal's control buttons can carry.
class AssignableParameter {
public:
    AssignableParameter(const QString &name, quint16 address, bool isAssigned);

    quint16 address; // 0xFFFF until the address header has been read
    bool isAssigned; // shown on a control by the last decoded status reply
    QString name;    // also the text of its entries in the control lists
    bool isControl = false;
    quint32 value = 0;
};

// One of the ten other parameters.
class StandardParameter {
public:
    StandardParameter(const QString &name, quint16 address, quint8 addressCount);

    bool isAssigned = false;
    quint8 addressCount;
    QString name;
    quint8 type = 0;
    bool isControl = false;
    quint32 value = 0;
    quint16 address; // 0 until the address header has been read
};

// Positions in block order: the order of the status reply, the preset file and the console.
enum ParameterIndex : int {
    ParDry,
    ParSubMix,
    ParMinus1Oct,
    ParMinus2Oct,
    ParWave,
    ParLowPass,
    ParHighPass,
    Par1stHarmonic,
    ParSplit,
    ParRange,
    ParInputLevel,
    ParHarmonicPitch,
    ParWaveClip,
    ParDominantNotesCut,
    ParHighNotesCut,
    ParDryHPF,
};
constexpr int kParameterCount = 16;

// A row of the parameter set seen the same way whatever the record's class.
template <typename Address, typename Value>
struct BasicParameterRow {
    const QString &name;
    Address &address;
    Value &value;
    int headerGroup;     // group of the address header, 0 for none (Range)
    quint32 decodeScale; // kLevelScale, a step count, or 0 for values that no dial shows
    QString traceLabel;  // label of the value in the console listing of a status reply
};
using ParameterRow = BasicParameterRow<quint16, quint32>;
using ConstParameterRow = BasicParameterRow<const quint16, const quint32>;

// Label of row i's value in the console listing of a status reply.
QString parameterTraceLabel(int i);
// Row i's decode scale: kLevelScale, a step count, or 0.
quint32 parameterDecodeScale(int i);

class ParameterSet;
// Reads the fifteen addresses of the header line into the set. A line that is too short or
// holds anything but hex digits in a group that is read is refused as a whole: the result is
// the reason and the previous addresses stay.
std::optional<QString> readParameterAddresses(ParameterSet &set, const QString &line);

// The sixteen records, created once as the effect settings window creates them.
class ParameterSet {
public:
    AssignableParameter InputLevel{QStringLiteral("Input Level"), 0xFFFF, false};
    AssignableParameter HarmonicPitch{QStringLiteral("1st Harmonic Pitch"), 0xFFFF, false};
    AssignableParameter WaveClip{QStringLiteral("Wave Clip"), 0xFFFF, false};
    AssignableParameter DominantNotesCut{QStringLiteral("Dominant Notes Cut"), 0xFFFF, false};
    AssignableParameter HighNotesCut{QStringLiteral("High Notes Cut"), 0xFFFF, false};
    AssignableParameter DryHPF{QStringLiteral("Dry HPF"), 0xFFFF, false};

    StandardParameter Dry{QStringLiteral("Dry"), 0, 1};
    StandardParameter Minus1Oct{QStringLiteral("-1 Oct"), 0, 1};
    StandardParameter SubMix{QStringLiteral("Sub Mix"), 0, 1};
    StandardParameter Minus2Oct{QStringLiteral("-2 Oct"), 0, 1};
    StandardParameter LowPass{QStringLiteral("Low Pass"), 0, 1};
    StandardParameter HighPass{QStringLiteral("High Pass"), 0, 1};
    StandardParameter Range{QStringLiteral("Range"), 0, 1};
    StandardParameter FirstHarmonic{QStringLiteral("1st Harmonic"), 0, 1};
    StandardParameter Wave{QStringLiteral("Wave"), 0, 1};
    StandardParameter Split{QStringLiteral("Split"), 0, 1};

    // i in block order, 0..15.
    ParameterRow row(int i);
    ConstParameterRow row(int i) const;
    // Block index of the parameter with this display name.
    std::optional<int> indexOf(const QString &name) const;

    // The six assignable records in block order (Input Level .. Dry HPF).
    std::array<AssignableParameter *, 6> assignables();
    std::array<const AssignableParameter *, 6> assignables() const;

    std::array<quint32, kParameterCount> values() const;
    void setValues(const std::array<quint32, kParameterCount> &values);

    // True once an address header has been read. Until then the addresses are the
    // placeholders the records were created with and no message may carry them.
    bool addressesKnown() const { return addressesKnown_; }

private:
    friend std::optional<QString> readParameterAddresses(ParameterSet &, const QString &);
    bool addressesKnown_ = false;
};

// The state of the effect that is not a parameter value.
struct EffectState {
    quint8 currentTuning = 0;    // index in the tuning list; 0 is "No Tuning Selected"
    qint8 semitoneVariation = 0; // -5 .. +3
    // Control I, II, III, IV and the Remote Footswitch: the list shows something other
    // than "Not Assigned".
    std::array<bool, 5> controlAssigned{};
    quint16 footswitchMode = 0; // as the pedal last reported it
    bool bypass = false;        // as last reported by the pedal or sent to it
};

} // namespace vadrelon
