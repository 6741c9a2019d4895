#include "effect/statusblocks.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

const QString kHeader0012 =
    QStringLiteral("0011A0002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006");

QByteArray bytes(const char *spacedHex)
{
    return QByteArray::fromHex(spacedHex);
}

TEST(DecodeParameterBlock, SixteenBigEndianValuesAndTheirListing)
{
    QByteArray status(26, '\x55'); // what precedes the block is not read
    for (int i = 0; i < kParameterCount; ++i)
        status += QByteArray("\x01\x02\x03", 3) + char(i); // 0x01020300 + i
    status.replace(26, 4, bytes("003FC000"));
    status.replace(26 + 4 * ParDryHPF, 4, bytes("FF000001"));

    const auto block = decodeParameterBlock(status, 26);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->values[ParDry], 0x3FC000u);
    EXPECT_EQ(block->values[ParSubMix], 0x01020301u);
    EXPECT_EQ(block->values[ParDryHPF], 0xFF000001u);
    ASSERT_EQ(block->trace.size(), kParameterCount);
    EXPECT_EQ(block->trace[ParDry], QStringLiteral("Dry: \t003FC000"));
    EXPECT_EQ(block->trace[ParSubMix], QStringLiteral("Sub Mix: 01020301"));
    EXPECT_EQ(block->trace[ParRange], QStringLiteral("Range: \t01020309"));
    EXPECT_EQ(block->trace[ParDryHPF], QStringLiteral("Dry HPF: \tFF000001"));
}

TEST(DecodeParameterBlock, RefusesABlockThatDoesNotFit)
{
    EXPECT_EQ(decodeParameterBlock(QByteArray(26 + 63, '\0'), 26), std::nullopt);
    EXPECT_TRUE(decodeParameterBlock(QByteArray(26 + 64, '\0'), 26).has_value());
    EXPECT_EQ(decodeParameterBlock(QByteArray(64, '\0'), -1), std::nullopt);
}

TEST(DecodeFootswitchMode, ModeByteGivesTheRadioStates)
{
    struct Case {
        int mode;
        std::optional<FootswitchButtons> buttons;
    };
    const Case cases[] = {
        {0, FootswitchButtons{true, false, false, true}},
        {1, FootswitchButtons{true, false, true, false}},
        {2, FootswitchButtons{false, true, false, true}},
        {3, FootswitchButtons{false, true, true, false}},
        {4, std::nullopt},
        {7, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        QByteArray status(6, '\0');
        status[4] = char(c.mode);
        const auto d = decodeFootswitchMode(status, 4);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->mode, c.mode);
        EXPECT_EQ(d->buttons, c.buttons);
        EXPECT_EQ(d->trace, QStringLiteral("Footswitch Mode: %1").arg(c.mode));
        // Every mode that moves the buttons gives back its own message.
        if (c.buttons) {
            EXPECT_EQ(buildFootswitchMessage(*c.buttons)->text, QStringLiteral("08%1%2")
                                                                    .arg(c.mode >> 1, 2, 10, QLatin1Char('0'))
                                                                    .arg(c.mode & 1, 2, 10, QLatin1Char('0')));
        }
    }
    EXPECT_EQ(decodeFootswitchMode(QByteArray(4, '\0'), 4), std::nullopt);
}

class DecodeAssignmentsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(readParameterAddresses(set, kHeader0012), std::nullopt); }

    // Five flags then five addresses, after five bytes that are not ours.
    std::optional<AssignmentDecode> decode(const char *block)
    {
        return decodeAssignments(bytes("AA AA AA AA AA") + bytes(block), 5, set);
    }
    std::array<bool, 6> assigned() const
    {
        std::array<bool, 6> out{};
        for (int k = 0; k < 6; ++k)
            out[k] = set.assignables()[k]->isAssigned;
        return out;
    }

    ParameterSet set;
};

using Entries = std::array<std::optional<int>, kControlCount>;
constexpr std::optional<int> keep = std::nullopt;

TEST_F(DecodeAssignmentsTest, SelectsEntriesAndMarksAssignedParameters)
{
    struct Case {
        const char *what;
        const char *block;
        Entries entries;
        std::array<bool, 6> assigned; // Input Level .. Dry HPF
    };
    const Case cases[] = {
        {"nothing assigned", "00 00 00 00 00  000A 0078 001B 000C FFFE", {0, 0, 0, 0, 0}, {}},
        {"flag 0 ignores the address",
         "01 00 00 00 00  000A 000A FFFF FFFF FFFF",
         {1, 0, 0, 0, 0},
         {true, false, false, false, false, false}},
        {"Control III on High Notes Cut",
         "00 00 01 00 00  FFFF FFFF 000C FFFF FFFF",
         {0, 0, 2, 0, 0},
         {false, false, false, false, true, false}},
        {"every control",
         "01 01 01 01 01  0006 0078 001B 000C FFFD",
         {4, 2, 1, 2, 2},
         {false, true, false, true, true, true}},
        {"remote bypass", "00 00 00 00 01  FFFF FFFF FFFF FFFF FFFE", {0, 0, 0, 0, 1}, {}},
        {"no match keeps the entry", "01 01 01 01 01  1234 000C 000A 0000 FFFF", {keep, keep, keep, keep, keep}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        set.WaveClip.isAssigned = true; // left over from an earlier reply
        const auto d = decode(c.block);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->entries, c.entries);
        EXPECT_EQ(assigned(), c.assigned);
    }
}

TEST_F(DecodeAssignmentsTest, LaterMatchWins)
{
    set.DryHPF.address = set.InputLevel.address; // two parameters at one address
    const auto d = decode("01 00 00 00 00  000A FFFF FFFF FFFF FFFF");
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->entries[CtrlI], 4);
    EXPECT_EQ(assigned(), (std::array<bool, 6>{true, false, false, false, false, true}));
}

TEST(DecodeAssignments, PlaceholderAddressesMatchNothing)
{
    ParameterSet set; // no header read: every assignable address is 0xFFFF
    const auto d = decodeAssignments(bytes("01 01 01 01 00 FFFF FFFF FFFF FFFF FFFF"), 0, set);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->entries, (Entries{keep, keep, keep, keep, 0}));
    for (const AssignableParameter *p : set.assignables())
        EXPECT_FALSE(p->isAssigned) << p->name.toStdString();
}

TEST(DecodeAssignments, RefusesABlockThatDoesNotFitAndChangesNothing)
{
    ParameterSet set;
    set.HighNotesCut.isAssigned = true;
    EXPECT_EQ(decodeAssignments(QByteArray(5 + 14, '\0'), 5, set), std::nullopt);
    EXPECT_TRUE(set.HighNotesCut.isAssigned);
}

TEST(DecodeTuning, TuningAndSemitoneEntries)
{
    struct Case {
        const char *block;
        quint8 tuning;
        qint8 semitone;
        std::optional<int> tuningIndex;
        std::optional<int> semitoneIndex;
        const char *semitoneTrace;
    };
    const Case cases[] = {
        {"01 FF", 1, -1, 1, 4, "FF"},
        {"07 FB", 7, -5, 7, 0, "FB"},
        {"00 00", 0, 0, 0, 5, "00"},
        {"08 03", 8, 3, 8, 8, "03"},
        {"09 04", 9, 4, std::nullopt, std::nullopt, "04"}, // outside both lists
        {"FF FA", 255, -6, std::nullopt, std::nullopt, "FA"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.block);
        const auto t = decodeTuning(bytes("00 00") + bytes(c.block), 2);
        ASSERT_TRUE(t.has_value());
        EXPECT_EQ(t->tuningByte, c.tuning);
        EXPECT_EQ(t->semitone, c.semitone);
        EXPECT_EQ(t->tuningIndex, c.tuningIndex);
        EXPECT_EQ(t->semitoneIndex, c.semitoneIndex);
        EXPECT_EQ(t->trace, QStringList({QStringLiteral("Current Tuning: %1").arg(c.tuning),
                                         QStringLiteral("Semitones variation: ") + c.semitoneTrace}));
    }
    EXPECT_EQ(decodeTuning(bytes("01"), 0), std::nullopt);
}

} // namespace
