#include "effect/parameters.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// The first line of the algorithm image of version 0012.
const QString kHeader0012 =
    QStringLiteral("0011A0002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006");

std::array<quint16, kParameterCount> addressesOf(const ParameterSet &set)
{
    std::array<quint16, kParameterCount> out{};
    for (int i = 0; i < kParameterCount; ++i)
        out[i] = set.row(i).address;
    return out;
}

TEST(ParameterSet, RowsFollowBlockOrderWithTheirLabelsAndScales)
{
    const ParameterSet set;
    struct Row {
        const char *name;
        quint32 scale;
        const char *label;
    };
    const Row rows[kParameterCount] = {
        {"Dry", kLevelScale, "Dry: \t"},
        {"Sub Mix", kLevelScale, "Sub Mix: "},
        {"-1 Oct", kLevelScale, "Sub -1: \t"},
        {"-2 Oct", kLevelScale, "Sub -2: \t"},
        {"Wave", 0, "Wave: \t"},
        {"Low Pass", 24, "LPF: \t"},
        {"High Pass", 16, "HPF: \t"},
        {"1st Harmonic", kLevelScale, "1st Harmonic: \t"},
        {"Split", 0, "Split: \t"},
        {"Range", 22, "Range: \t"},
        {"Input Level", kLevelScale, "Input Lvl: \t"},
        {"1st Harmonic Pitch", 0, "Harmonic pitch: \t"},
        {"Wave Clip", kLevelScale, "Clip: \t"},
        {"Dominant Notes Cut", 0, "Dominant notes cut: \t"},
        {"High Notes Cut", 0, "High notes cut: \t"},
        {"Dry HPF", kLevelScale, "Dry HPF: \t"},
    };
    for (int i = 0; i < kParameterCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(set.row(i).name, QString::fromLatin1(rows[i].name));
        EXPECT_EQ(set.row(i).decodeScale, rows[i].scale);
        EXPECT_EQ(set.row(i).traceLabel, QString::fromLatin1(rows[i].label));
        EXPECT_EQ(set.indexOf(QString::fromLatin1(rows[i].name)), i);
    }
    EXPECT_EQ(set.indexOf(QStringLiteral("Not Assigned")), std::nullopt);
}

TEST(ParameterSet, StartsWithPlaceholderAddressesAndZeroValues)
{
    const ParameterSet set;
    EXPECT_FALSE(set.addressesKnown());
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(set.row(i).address, i < ParInputLevel ? 0x0000 : 0xFFFF) << i;
        EXPECT_EQ(set.row(i).value, 0u) << i;
    }
    EXPECT_EQ(set.Dry.addressCount, 1);
    EXPECT_FALSE(set.InputLevel.isAssigned);
}

TEST(ParameterSet, RowsWriteThroughToTheRecords)
{
    ParameterSet set;
    set.row(ParWaveClip).value = 0x123;
    set.row(ParMinus1Oct).address = 0x00A5;
    EXPECT_EQ(set.WaveClip.value, 0x123u);
    EXPECT_EQ(set.Minus1Oct.address, 0x00A5);

    std::array<quint32, kParameterCount> values{};
    for (int i = 0; i < kParameterCount; ++i)
        values[i] = 100 + i;
    set.setValues(values);
    EXPECT_EQ(set.SubMix.value, 101u);
    EXPECT_EQ(set.DryHPF.value, 115u);
    EXPECT_EQ(set.values(), values);
}

TEST(ReadParameterAddresses, TakesTheFifteenGroupsOfTheHeader)
{
    ParameterSet set;
    EXPECT_EQ(readParameterAddresses(set, kHeader0012), std::nullopt);
    EXPECT_TRUE(set.addressesKnown());
    const std::array<quint16, kParameterCount> expected = {0x0025, 0x00ED, 0x00A5, 0x007B, 0x0002, 0x00CF,
                                                           0x00E3, 0x00A6, 0x00EE, 0x0000, // Range takes no group
                                                           0x000A, 0x0078, 0x00EC, 0x001B, 0x000C, 0x0006};
    EXPECT_EQ(addressesOf(set), expected);
}

TEST(ReadParameterAddresses, HighByteFirstLowerCaseAndUnusedGroupsIgnored)
{
    ParameterSet set;
    QString line = kHeader0012;
    line.replace(6, 4, QStringLiteral("1a2B"));           // group 1: Dry
    line.replace(42, 12, QStringLiteral("zzzzzzzzzzzz")); // groups 10-12, unused
    line += QStringLiteral("trailing text is not ours");
    EXPECT_EQ(readParameterAddresses(set, line), std::nullopt);
    EXPECT_EQ(set.Dry.address, 0x1A2B);
    EXPECT_EQ(set.Range.address, 0x0000);
}

TEST(ReadParameterAddresses, RefusesABrokenHeaderAndKeepsThePreviousAddresses)
{
    struct Broken {
        const char *what;
        QString line;
    };
    QString badLast = kHeader0012;
    badLast.replace(74, 4, QStringLiteral("00G6")); // group 18: Dry HPF
    QString prefixed = kHeader0012;
    prefixed.replace(10, 4, QStringLiteral("0xED")); // group 2: Sub Mix
    QString blank = kHeader0012;
    blank.replace(14, 4, QStringLiteral(" A5 ")); // group 3
    const Broken cases[] = {
        {"one character short", kHeader0012.left(77)},
        {"empty", QString()},
        {"non-hex in the last group", badLast},
        {"0x prefix", prefixed},
        {"blanks", blank},
    };
    for (const Broken &c : cases) {
        SCOPED_TRACE(c.what);
        ParameterSet fresh;
        const auto freshError = readParameterAddresses(fresh, c.line);
        ASSERT_TRUE(freshError.has_value());
        EXPECT_FALSE(freshError->isEmpty());
        EXPECT_FALSE(fresh.addressesKnown());
        EXPECT_EQ(addressesOf(fresh), addressesOf(ParameterSet()));

        ParameterSet known;
        ASSERT_EQ(readParameterAddresses(known, kHeader0012), std::nullopt);
        const auto before = addressesOf(known);
        EXPECT_TRUE(readParameterAddresses(known, c.line).has_value());
        EXPECT_TRUE(known.addressesKnown());
        EXPECT_EQ(addressesOf(known), before);
    }
}

} // namespace
