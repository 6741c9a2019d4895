#pragma once
// Conversions between a dial's angle and a parameter value, and the fixed value encodings of
// the parameters that are not dials.
//
// A dial's angle is in whole degrees, -180..180, 0 to the right, growing counter-clockwise.
// The knob travels clockwise from -135 (minimum) over 180 and 90 to -45 (maximum); the sector
// between -135 and -45 at the bottom is dead.
#include <QtGlobal>
#include <array>
#include <optional>

namespace vadrelon {

// Values of "1st Harmonic Pitch", indexed by the entries "-12" .. "+12" of the pitch list.
constexpr std::array<quint32, 25> HarmonicPitchTable = {
    0x200000, 0x22AAA8, 0x255558, 0x280000, 0x2AAAA8, 0x2D5558, 0x300000, 0x32AAA8, 0x355558,
    0x380000, 0x3AAAA8, 0x3D5558, 0x400000, 0x455558, 0x4AAAA8, 0x500000, 0x555558, 0x5AAAA8,
    0x600000, 0x655558, 0x6AAAA8, 0x700000, 0x755558, 0x7AAAA8, 0x800000,
};
// The pitch list entry whose value this is, if any.
std::optional<int> harmonicPitchIndex(quint32 value);

constexpr int kMaxLevel = 1023;
// The decode scale of a level: full scale, 1.0 with 23 fractional bits. Low Pass, High Pass
// and Range are reported by the pedal as a step instead, with their step count as the scale.
constexpr quint32 kLevelScale = 0x800000;
// value = level << 13: 0 .. 0x7FE000; full scale 0x800000 is never sent.
constexpr quint32 levelToValue(int level)
{
    return static_cast<quint32>(level) << 13;
}

// An angle inside the dead sector moves to its nearer end; others stay.
int snapDialAngle(int angle);

struct DialValue {
    int angle;     // snapped; the caller puts it back on the dial
    int level;     // 0 .. 1023
    quint32 value; // levelToValue(level)
};
// Angles outside -180..180 are first brought to the nearer bound.
DialValue dialAngleToValue(int angle);

// Integer linear map, the division truncating toward zero.
int mapRange(int x, int inLo, int inHi, int outLo, int outHi);

// The dial angle that shows a value, given the decode scale of its row: kLevelScale for
// levels, or the step count (24, 16, 22) of a parameter the pedal reports as a step. Never
// inside the dead sector. A scale of 0 shows the minimum.
int valueToDialAngle(quint32 value, quint32 scale);

// The two-state encodings; a value that is neither state leaves its control as it was.
constexpr quint32 kWaveOn = 0x400000;
constexpr quint32 kWaveOff = 0x600000;
constexpr quint32 waveValue(bool on)
{
    return on ? kWaveOn : kWaveOff;
}
std::optional<bool> waveIsOn(quint32 value);
// Split, Dominant Notes Cut and High Notes Cut: 1 on, 0 off. The note-cut boxes show
// checked exactly for 1; the Split switch stays as it was for anything but 0 or 1.
constexpr quint32 flagValue(bool on)
{
    return on ? 1 : 0;
}
std::optional<bool> flagIsOn(quint32 value);

// The value a parameter message carries for a value as the status reply reports it, given the
// row's decode scale. The pedal reports Low Pass, High Pass and Range as a step but takes a
// level for them, so a step is sent as the level its dial shows for it; every other value is
// sent as it is reported. A preset holds reported values, so loading one goes through this.
quint32 messageValueFor(quint32 reported, quint32 scale);

} // namespace vadrelon
