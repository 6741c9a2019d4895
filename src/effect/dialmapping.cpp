#include "effect/dialmapping.h"

#include <algorithm>

namespace vadrelon {

std::optional<int> harmonicPitchIndex(quint32 value)
{
    const auto it = std::find(HarmonicPitchTable.begin(), HarmonicPitchTable.end(), value);
    if (it == HarmonicPitchTable.end())
        return std::nullopt;
    return static_cast<int>(it - HarmonicPitchTable.begin());
}

int snapDialAngle(int angle)
{
    if (angle > -135 && angle < -45)
        return angle <= -90 ? -135 : -45;
    return angle;
}

DialValue dialAngleToValue(int angle)
{
    const int snapped = snapDialAngle(std::clamp(angle, -180, 180));
    // Travel in degrees from the minimum position, 0 .. 269.
    int t;
    if (snapped == -180)
        t = 44; // the same knob position as 180
    else if (snapped <= -135)
        t = -(snapped + 135);
    else
        t = 224 - snapped; // 0..180 gives 224..44, -45..-1 gives 269..225
    // level = t * 4 * 1023 / 1076 rounded; whole degrees never land half-way.
    const int level = (2 * t * 4 * kMaxLevel + 1076) / (2 * 1076);
    return {snapped, level, levelToValue(level)};
}

int mapRange(int x, int inLo, int inHi, int outLo, int outHi)
{
    return outLo + ((x - inLo) * (outHi - outLo)) / (inHi - inLo);
}

int valueToDialAngle(quint32 value, quint32 scale)
{
    quint32 x;
    if (scale == kLevelScale) {
        x = value >> 13;
    } else {
        const quint32 q = scale == 0 ? 0 : 8192 / scale;
        x = static_cast<quint32>(value * q) >> 3; // only the low 32 bits of the product count
    }
    const int pos = static_cast<int>(std::min<quint32>(x, kMaxLevel));

    struct Segment {
        int inLo, inHi, outLo, outHi;
    };
    static constexpr Segment kSegments[] = {
        {0, 169, -135, -179}, {170, 339, 180, 135}, {340, 511, 136, 90},
        {512, 680, 89, 45},   {681, 850, 44, 0},    {851, 1023, -1, -45},
    };
    for (const Segment &s : kSegments)
        if (pos <= s.inHi)
            return mapRange(pos, s.inLo, s.inHi, s.outLo, s.outHi);
    return -45; // not reached: pos <= 1023
}

std::optional<bool> waveIsOn(quint32 value)
{
    if (value == kWaveOn)
        return true;
    if (value == kWaveOff)
        return false;
    return std::nullopt;
}

std::optional<bool> flagIsOn(quint32 value)
{
    if (value <= 1)
        return value == 1;
    return std::nullopt;
}

quint32 messageValueFor(quint32 reported, quint32 scale)
{
    if (scale == 0 || scale == kLevelScale)
        return reported;
    return dialAngleToValue(valueToDialAngle(reported, scale)).value;
}

} // namespace vadrelon
