#include "effect/parameters.h"

#include "base/hexcodec.h"

namespace vadrelon {

AssignableParameter::AssignableParameter(const QString &name, quint16 address, bool assigned)
    : address(address), isAssigned(assigned), name(name)
{}

StandardParameter::StandardParameter(const QString &name, quint16 address, quint8 addressCount)
    : addressCount(addressCount), name(name), address(address)
{}

namespace {

struct RowInfo {
    int headerGroup;
    quint32 decodeScale;
    const char *traceLabel;
};

// Block order. Groups 10 to 12 of the header are not ours, and Range has no group at all.
constexpr RowInfo kRows[kParameterCount] = {
    {1, kLevelScale, "Dry: \t"},
    {2, kLevelScale, "Sub Mix: "},
    {3, kLevelScale, "Sub -1: \t"},
    {4, kLevelScale, "Sub -2: \t"},
    {5, 0, "Wave: \t"},
    {6, 24, "LPF: \t"},
    {7, 16, "HPF: \t"},
    {8, kLevelScale, "1st Harmonic: \t"},
    {9, 0, "Split: \t"},
    {0, 22, "Range: \t"},
    {13, kLevelScale, "Input Lvl: \t"},
    {14, 0, "Harmonic pitch: \t"},
    {15, kLevelScale, "Clip: \t"},
    {16, 0, "Dominant notes cut: \t"},
    {17, 0, "High notes cut: \t"},
    {18, kLevelScale, "Dry HPF: \t"},
};

constexpr int kHeaderGroups = 18;
constexpr int kHeaderLength = 4 * kHeaderGroups + 6; // the last group ends at character 78

// The standard records in block order, for a const or non-const set.
template <typename Set>
auto standardsOf(Set &s)
{
    return std::array{&s.Dry,     &s.SubMix,   &s.Minus1Oct,     &s.Minus2Oct, &s.Wave,
                      &s.LowPass, &s.HighPass, &s.FirstHarmonic, &s.Split,     &s.Range};
}

template <typename Set>
auto assignablesOf(Set &s)
{
    return std::array{&s.InputLevel, &s.HarmonicPitch, &s.WaveClip, &s.DominantNotesCut, &s.HighNotesCut, &s.DryHPF};
}

template <typename Row, typename Set>
Row rowOf(Set &s, int i)
{
    Q_ASSERT(i >= 0 && i < kParameterCount);
    const RowInfo &info = kRows[i];
    const QString label = parameterTraceLabel(i);
    if (i < 10) {
        auto *p = standardsOf(s)[i];
        return Row{p->name, p->address, p->value, info.headerGroup, info.decodeScale, label};
    }
    auto *p = assignablesOf(s)[i - 10];
    return Row{p->name, p->address, p->value, info.headerGroup, info.decodeScale, label};
}

} // namespace

quint32 parameterDecodeScale(int i)
{
    return kRows[i].decodeScale;
}

QString parameterTraceLabel(int i)
{
    Q_ASSERT(i >= 0 && i < kParameterCount);
    return QString::fromLatin1(kRows[i].traceLabel);
}

ParameterRow ParameterSet::row(int i)
{
    return rowOf<ParameterRow>(*this, i);
}

ConstParameterRow ParameterSet::row(int i) const
{
    return rowOf<ConstParameterRow>(*this, i);
}

std::optional<int> ParameterSet::indexOf(const QString &name) const
{
    for (int i = 0; i < kParameterCount; ++i)
        if (row(i).name == name)
            return i;
    return std::nullopt;
}

std::array<AssignableParameter *, 6> ParameterSet::assignables()
{
    return assignablesOf(*this);
}

std::array<const AssignableParameter *, 6> ParameterSet::assignables() const
{
    return assignablesOf(*this);
}

std::array<quint32, kParameterCount> ParameterSet::values() const
{
    std::array<quint32, kParameterCount> out{};
    for (int i = 0; i < kParameterCount; ++i)
        out[i] = row(i).value;
    return out;
}

void ParameterSet::setValues(const std::array<quint32, kParameterCount> &values)
{
    for (int i = 0; i < kParameterCount; ++i)
        row(i).value = values[i];
}

std::optional<QString> readParameterAddresses(ParameterSet &set, const QString &line)
{
    if (line.size() < kHeaderLength)
        return QStringLiteral("The address header of the algorithm image is too short "
                              "(%1 characters, %2 needed); the parameter addresses were not read.")
            .arg(line.size())
            .arg(kHeaderLength);

    // Every group is checked before any address is stored, so that a broken header can
    // never leave the set half old, half new.
    std::array<quint16, kParameterCount> addresses{};
    for (int i = 0; i < kParameterCount; ++i) {
        const int group = kRows[i].headerGroup;
        if (group == 0)
            continue;
        const QString digits = line.mid(4 * group + 2, 4);
        try {
            const QByteArray bytes = hexToBytes(digits);
            addresses[i] = static_cast<quint16>(static_cast<quint8>(bytes[0]) * 256 + static_cast<quint8>(bytes[1]));
        } catch (const ConversionError &) {
            return QStringLiteral("The address header of the algorithm image holds \"%1\" where "
                                  "the address of \"%2\" should be; the parameter addresses "
                                  "were not read.")
                .arg(digits, set.row(i).name);
        }
    }
    for (int i = 0; i < kParameterCount; ++i)
        if (kRows[i].headerGroup != 0)
            set.row(i).address = addresses[i];
    set.addressesKnown_ = true;
    return std::nullopt;
}

} // namespace vadrelon
