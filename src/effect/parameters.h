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
class assignable_parameter {
public:
    assignable_parameter(const QString &name, quint16 address, bool is_assigned);

    quint16 address;        // 0xFFFF until the address header has been read
    bool is_assigned;       // shown on a control by the last decoded status reply
    QString parameter_name; // also the text of its entries in the control lists
    bool control_type = false;
    quint32 value = 0;
};

// One of the ten other parameters.
class standard_parameter {
public:
    standard_parameter(const QString &name, quint16 address, quint8 num_of_addresses);

    bool is_assigned = false;
    quint8 num_of_addresses;
    QString parameter_name;
    quint8 parameter_type = 0;
    bool control_type = false;
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
QString ParameterTraceLabel(int i);

class ParameterSet;
// Reads the fifteen addresses of the header line into the set. A line that is too short or
// holds anything but hex digits in a group that is read is refused as a whole: the result is
// the reason and the previous addresses stay.
std::optional<QString> ReadParameterAddresses(ParameterSet &set, const QString &line);

// The sixteen records, created once as the effect settings window creates them.
class ParameterSet {
public:
    assignable_parameter InputLevel{QStringLiteral("Input Level"), 0xFFFF, false};
    assignable_parameter HarmonicPitch{QStringLiteral("1st Harmonic Pitch"), 0xFFFF, false};
    assignable_parameter WaveClip{QStringLiteral("Wave Clip"), 0xFFFF, false};
    assignable_parameter DominantNotesCut{QStringLiteral("Dominant Notes Cut"), 0xFFFF, false};
    assignable_parameter HighNotesCut{QStringLiteral("High Notes Cut"), 0xFFFF, false};
    assignable_parameter DryHPF{QStringLiteral("Dry HPF"), 0xFFFF, false};

    standard_parameter Dry{QStringLiteral("Dry"), 0, 1};
    standard_parameter Minus1Oct{QStringLiteral("-1 Oct"), 0, 1};
    standard_parameter SubMix{QStringLiteral("Sub Mix"), 0, 1};
    standard_parameter Minus2Oct{QStringLiteral("-2 Oct"), 0, 1};
    standard_parameter LowPass{QStringLiteral("Low Pass"), 0, 1};
    standard_parameter HighPass{QStringLiteral("High Pass"), 0, 1};
    standard_parameter Range{QStringLiteral("Range"), 0, 1};
    standard_parameter FirstHarmonic{QStringLiteral("1st Harmonic"), 0, 1};
    standard_parameter Wave{QStringLiteral("Wave"), 0, 1};
    standard_parameter Split{QStringLiteral("Split"), 0, 1};

    // i in block order, 0..15.
    ParameterRow row(int i);
    ConstParameterRow row(int i) const;
    // Block index of the parameter with this display name.
    std::optional<int> indexOf(const QString &name) const;

    // The six assignable records in block order (Input Level .. Dry HPF).
    std::array<assignable_parameter *, 6> assignables();
    std::array<const assignable_parameter *, 6> assignables() const;

    std::array<quint32, kParameterCount> values() const;
    void setValues(const std::array<quint32, kParameterCount> &values);

    // True once an address header has been read. Until then the addresses are the
    // placeholders the records were created with and no message may carry them.
    bool addressesKnown() const { return addressesKnown_; }

private:
    friend std::optional<QString> ReadParameterAddresses(ParameterSet &, const QString &);
    bool addressesKnown_ = false;
};

// The state of the effect that is not a parameter value.
struct EffectState {
    quint8 CurrentTuning = 0;    // index in the tuning list; 0 is "No Tuning Selected"
    qint8 SemitoneVariation = 0; // -5 .. +3
    // Control I, II, III, IV and the Remote Footswitch: the list shows something other
    // than "Not Assigned".
    std::array<bool, 5> ControlAssigned{};
    quint16 FootswitchMode = 0;  // as the pedal last reported it
    bool Bypass = false;         // as last reported by the pedal or sent to it
};

} // namespace vadrelon
