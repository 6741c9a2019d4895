#include "effect/statusblocks.h"

#include "base/hexcodec.h"

namespace vadrelon {

namespace {

constexpr int kTuningCount = 9; // "No Tuning Selected" .. "Bass Guitar"

bool fits(const QByteArray &status, int offset, int length)
{
    return offset >= 0 && length <= status.size() - offset;
}

quint8 at(const QByteArray &status, int i)
{
    return static_cast<quint8>(status[i]);
}

} // namespace

std::optional<ParameterBlock> decodeParameterBlock(const QByteArray &status, int offset)
{
    if (!fits(status, offset, 4 * kParameterCount))
        return std::nullopt;
    ParameterBlock block;
    for (int i = 0; i < kParameterCount; ++i) {
        const int p = offset + 4 * i;
        block.values[i] = quint32(at(status, p)) << 24 | quint32(at(status, p + 1)) << 16 |
                          quint32(at(status, p + 2)) << 8 | quint32(at(status, p + 3));
        block.trace << parameterTraceLabel(i) + hex8(block.values[i]);
    }
    return block;
}

std::optional<FootswitchButtons> footswitchButtonsForMode(int mode)
{
    if (mode < 0 || mode > 3)
        return std::nullopt;
    const bool shortChangesPreset = mode & 2;
    const bool longBypasses = mode & 1;
    return FootswitchButtons{!shortChangesPreset, shortChangesPreset, longBypasses, !longBypasses};
}

std::optional<FootswitchDecode> decodeFootswitchMode(const QByteArray &status, int offset)
{
    if (!fits(status, offset, 1))
        return std::nullopt;
    const quint16 mode = at(status, offset);
    return FootswitchDecode{mode, footswitchButtonsForMode(mode), QStringLiteral("Footswitch Mode: %1").arg(mode)};
}

std::optional<AssignmentDecode> decodeAssignments(const QByteArray &status, int offset, ParameterSet &set)
{
    if (!fits(status, offset, 3 * kControlCount))
        return std::nullopt;

    AssignmentDecode out;
    std::array<std::optional<quint16>, kControlCount> address;
    for (int c = 0; c < kControlCount; ++c) {
        if (at(status, offset + c) == 0)
            out.entries[c] = 0;
        else
            address[c] = quint16(at(status, offset + 5 + 2 * c) * 256 + at(status, offset + 6 + 2 * c));
    }

    for (AssignableParameter *p : set.assignables())
        p->isAssigned = false;

    // Entry k of a control list offers the parameter named by its text; the comparisons run
    // in entry order, so a later match wins.
    for (int c = CtrlI; c <= CtrlIV; ++c) {
        if (!address[c] || !set.addressesKnown())
            continue;
        const QStringList entries = controlListEntries(c);
        for (int k = 1; k < entries.size(); ++k) {
            const auto i = set.indexOf(entries[k]);
            if (!i || *i < ParInputLevel)
                continue;
            AssignableParameter *p = set.assignables()[*i - ParInputLevel];
            if (p->address == *address[c]) {
                out.entries[c] = k;
                p->isAssigned = true;
            }
        }
    }

    if (address[CtrlRemote] == 0xFFFE)
        out.entries[CtrlRemote] = 1;
    else if (address[CtrlRemote] == 0xFFFD)
        out.entries[CtrlRemote] = 2;
    return out;
}

std::optional<TuningDecode> decodeTuning(const QByteArray &status, int offset)
{
    if (!fits(status, offset, 2))
        return std::nullopt;
    TuningDecode t;
    t.tuningByte = at(status, offset);
    t.semitone = static_cast<qint8>(at(status, offset + 1));
    if (t.tuningByte < kTuningCount)
        t.tuningIndex = t.tuningByte;
    if (t.semitone >= -5 && t.semitone <= 3)
        t.semitoneIndex = t.semitone + 5;
    t.trace << QStringLiteral("Current Tuning: %1").arg(t.tuningByte)
            << QStringLiteral("Semitones variation: ") + hex2(at(status, offset + 1));
    return t;
}

} // namespace vadrelon
