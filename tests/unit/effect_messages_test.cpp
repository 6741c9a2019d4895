#include "effect/messages.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

const QString kHeader0012 =
    QStringLiteral("0011A0002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006");

// Byte listings are written with blanks for reading; messages have none.
QString hex(const char *spaced)
{
    return QString::fromLatin1(spaced).remove(QLatin1Char(' '));
}

class EffectMessages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(readParameterAddresses(set, kHeader0012), std::nullopt); }
    ParameterSet set;
};

TEST_F(EffectMessages, ParameterMessageCarriesAddressAndValue)
{
    const QString dry = buildParameterMessage(set.Dry.address, dialAngleToValue(90).value);
    EXPECT_EQ(dry, QStringLiteral("010025003FC000"));
    EXPECT_EQ(parameterSendTrace(set.Dry.name, dry), QStringLiteral("Send Dry string (standard par): 010025003FC000"));

    const QString pitch = buildParameterMessage(set.HarmonicPitch.address, HarmonicPitchTable[24]);
    EXPECT_EQ(pitch, QStringLiteral("01007800800000"));
    EXPECT_EQ(harmonicPitchSendTrace(pitch), QStringLiteral("Send Harmonic Pitch string: 01007800800000"));

    EXPECT_EQ(parameterMessageFor(set, ParSplit, 1), QStringLiteral("0100EE00000001"));
    EXPECT_EQ(parameterMessageFor(set, ParRange, 0x3FC000), QStringLiteral("010000003FC000"));
    EXPECT_EQ(buildParameterMessage(0xFFFF, 0xFFFFFFFE), QStringLiteral("01FFFFFFFFFFFE"));
}

TEST(ParameterMessage, NotBuiltBeforeAnyAddressHeaderWasRead)
{
    const ParameterSet set;
    EXPECT_EQ(parameterMessageFor(set, ParDry, 0x3FC000), std::nullopt);
    EXPECT_EQ(parameterMessageFor(set, ParInputLevel, 0x3FC000), std::nullopt);
}

TEST(BypassMessage, OnAndOff)
{
    EXPECT_EQ(buildBypassMessage(true), QStringLiteral("0D01"));
    EXPECT_EQ(buildBypassMessage(false), QStringLiteral("0D00"));
}

struct AssignCase {
    const char *what;
    std::array<int, kControlCount> entries; // index selected in each list
    const char *message;
    friend void PrintTo(const AssignCase &c, std::ostream *os) { *os << c.what; }
};

class AssignMessage : public EffectMessages, public ::testing::WithParamInterface<AssignCase> {};

TEST_P(AssignMessage, FlagsThenAddresses)
{
    const AssignCase c = GetParam();
    std::array<ListSelection, kControlCount> lists;
    EffectState state;
    for (int k = 0; k < kControlCount; ++k) {
        lists[k] = {c.entries[k], controlListEntries(k).at(c.entries[k])};
        state.controlAssigned[k] = c.entries[k] != 0; // as the list handlers keep it
    }
    const TracedMessage m = buildAssignMessage(lists, state, set);
    EXPECT_EQ(m.text, hex(c.message));
    EXPECT_EQ(m.trace, QStringList({QStringLiteral("lenght of assign message in bytes: 16"),
                                    QStringLiteral("assign message: ") + hex(c.message)}));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AssignMessage,
    ::testing::Values(
        AssignCase{"none", {0, 0, 0, 0, 0}, "04 00 00 00 00 00 FF FF FF FF FF FF FF FF FF FF"},
        AssignCase{"input level and remote bypass", {1, 0, 0, 0, 1}, "04 01 00 00 00 01 00 0A FF FF FF FF FF FF FF FE"},
        AssignCase{"every control", {2, 4, 2, 1, 2}, "04 01 01 01 01 01 00 78 00 06 00 0C 00 1B FF FD"},
        AssignCase{"same parameter twice", {3, 3, 0, 0, 0}, "04 01 01 00 00 00 00 EC 00 EC FF FF FF FF FF FF"}),
    [](const auto &info) { return std::to_string(info.index); });

TEST_F(EffectMessages, AssignFlagsComeFromTheEffectStateNotTheLists)
{
    std::array<ListSelection, kControlCount> lists;
    lists[CtrlIII] = {2, QStringLiteral("High Notes Cut")};
    EffectState state; // no handler has run: nothing marked assigned
    EXPECT_EQ(buildAssignMessage(lists, state, set).text, hex("04 00 00 00 00 00 FF FF FF FF 00 0C FF FF FF FF"));
}

TEST_F(EffectMessages, AssignTextOfferedByAnotherListIsNoAddress)
{
    std::array<ListSelection, kControlCount> lists;
    lists[CtrlI] = {1, QStringLiteral("High Notes Cut")}; // not an entry of Control I
    EffectState state;
    state.controlAssigned[CtrlI] = true;
    EXPECT_EQ(buildAssignMessage(lists, state, set).text, hex("04 01 00 00 00 00 FF FF FF FF FF FF FF FF FF FF"));
}

struct FootswitchCase {
    FootswitchButtons buttons;
    const char *message; // nullptr: refused
    friend void PrintTo(const FootswitchCase &c, std::ostream *os)
    {
        *os << c.buttons.bypassShort << c.buttons.changePresetShort << c.buttons.bypassLong
            << c.buttons.changePresetLong;
    }
};

class FootswitchMessage : public ::testing::TestWithParam<FootswitchCase> {};

TEST_P(FootswitchMessage, ShortThenLongPressCode)
{
    const FootswitchCase c = GetParam();
    const auto m = buildFootswitchMessage(c.buttons);
    if (!c.message) {
        EXPECT_EQ(m, std::nullopt);
        return;
    }
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->text, hex(c.message));
    EXPECT_EQ(m->trace, QStringList(QStringLiteral("footswitch behaviour message: ") + hex(c.message)));
}

INSTANTIATE_TEST_SUITE_P(RadioStates, FootswitchMessage,
                         ::testing::Values(FootswitchCase{FootswitchButtons{}, "08 00 00"},
                                           FootswitchCase{{false, true, true, false}, "08 01 01"},
                                           FootswitchCase{{true, false, true, false}, "08 00 01"},
                                           FootswitchCase{{false, true, false, true}, "08 01 00"},
                                           FootswitchCase{{true, true, false, true}, nullptr},
                                           FootswitchCase{{true, false, false, false}, nullptr}));

TEST(StoredSettingsMessage, SixAssignableValues)
{
    ParameterSet set;
    const TracedMessage zero = buildStoredSettingsMessage(set);
    EXPECT_EQ(zero.text, QStringLiteral("03") + QString(48, QLatin1Char('0')));
    EXPECT_EQ(zero.trace,
              QStringList({QStringLiteral("Store settings message (HEX): ") + zero.text, QStringLiteral("25")}));

    set.InputLevel.value = 0x3FC000;
    set.HarmonicPitch.value = 0x400000;
    set.DominantNotesCut.value = 1;
    set.Dry.value = 0x7FE000; // standard parameters are not stored
    EXPECT_EQ(buildStoredSettingsMessage(set).text, hex("03 003FC000 00400000 00000000 00000001 00000000 00000000"));

    set.DryHPF.value = 0x7FE000;
    EXPECT_TRUE(buildStoredSettingsMessage(set).text.endsWith(QStringLiteral("007FE000")));
}

} // namespace
