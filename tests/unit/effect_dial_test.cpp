#include "effect/dialmapping.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace vadrelon;

namespace {

struct AngleCase {
    int angle;
    int snapped;
    int level;
    quint32 value;
    friend void PrintTo(const AngleCase &c, std::ostream *os) { *os << "angle " << c.angle; }
};

class DialAngleToValueTest : public ::testing::TestWithParam<AngleCase> {};

TEST_P(DialAngleToValueTest, GivesSnappedAngleLevelAndValue)
{
    const AngleCase c = GetParam();
    const DialValue v = dialAngleToValue(c.angle);
    EXPECT_EQ(v.angle, c.snapped);
    EXPECT_EQ(v.level, c.level);
    EXPECT_EQ(v.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(TellingAngles, DialAngleToValueTest,
                         ::testing::Values(AngleCase{-135, -135, 0, 0x000000}, AngleCase{-136, -136, 4, 0x008000},
                                           AngleCase{-179, -179, 167, 0x14E000}, AngleCase{-180, -180, 167, 0x14E000},
                                           AngleCase{180, 180, 167, 0x14E000}, AngleCase{179, 179, 171, 0x156000},
                                           AngleCase{90, 90, 510, 0x3FC000}, AngleCase{0, 0, 852, 0x6A8000},
                                           AngleCase{-1, -1, 856, 0x6B0000}, AngleCase{-44, -44, 1019, 0x7F6000},
                                           AngleCase{-45, -45, 1023, 0x7FE000},
                                           // the dead sector moves to its nearer end
                                           AngleCase{-90, -135, 0, 0x000000}, AngleCase{-89, -45, 1023, 0x7FE000},
                                           AngleCase{-134, -135, 0, 0x000000}, AngleCase{-46, -45, 1023, 0x7FE000}));

struct PositionCase {
    quint32 value;
    quint32 scale;
    int angle;
    friend void PrintTo(const PositionCase &c, std::ostream *os)
    {
        *os << "value 0x" << std::hex << c.value << std::dec << " scale " << c.scale;
    }
};

class ValueToDialAngleTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(ValueToDialAngleTest, PlacesValueOnDial)
{
    const PositionCase c = GetParam();
    EXPECT_EQ(valueToDialAngle(c.value, c.scale), c.angle);
}

constexpr quint32 atX(int x)
{
    return levelToValue(x);
}

// x at the ends of each segment of the dial.
INSTANTIATE_TEST_SUITE_P(
    SegmentEnds, ValueToDialAngleTest,
    ::testing::Values(PositionCase{atX(0), kLevelScale, -135}, PositionCase{atX(169), kLevelScale, -179},
                      PositionCase{atX(170), kLevelScale, 180}, PositionCase{atX(339), kLevelScale, 135},
                      PositionCase{atX(340), kLevelScale, 136}, PositionCase{atX(511), kLevelScale, 90},
                      PositionCase{atX(512), kLevelScale, 89}, PositionCase{atX(680), kLevelScale, 45},
                      PositionCase{atX(681), kLevelScale, 44}, PositionCase{atX(850), kLevelScale, 0},
                      PositionCase{atX(851), kLevelScale, -1}, PositionCase{atX(1023), kLevelScale, -45}));

INSTANTIATE_TEST_SUITE_P(ScalesAndClamping, ValueToDialAngleTest,
                         ::testing::Values(PositionCase{0x800000, kLevelScale, -45},  // full scale clamps to 1023
                                           PositionCase{0x001FFF, kLevelScale, -135}, // below one level
                                           PositionCase{0xFFFFFFFF, kLevelScale, -45},
                                           PositionCase{12, 24, 90},                             // Low Pass
                                           PositionCase{24, 24, -45}, PositionCase{25, 24, -45}, // beyond its range
                                           PositionCase{8, 16, 89},                              // High Pass
                                           PositionCase{11, 22, 90},                             // Range
                                           PositionCase{0, 22, -135}));

TEST(DialMapping, AnglesOutsideTheDialAreBroughtToItsBounds)
{
    EXPECT_EQ(dialAngleToValue(181).angle, 180);
    EXPECT_EQ(dialAngleToValue(-400).level, 167);
}

TEST(DialMapping, NoValueIsShownInsideTheDeadSector)
{
    for (int level = 0; level <= kMaxLevel; ++level) {
        const int angle = valueToDialAngle(levelToValue(level), kLevelScale);
        EXPECT_FALSE(angle > -135 && angle < -45) << "level " << level << " angle " << angle;
        EXPECT_GE(angle, -180);
        EXPECT_LE(angle, 180);
    }
}

TEST(DialMapping, LevelComesBackNearAfterARoundTrip)
{
    const auto back = [](int level) {
        return dialAngleToValue(valueToDialAngle(levelToValue(level), kLevelScale)).level;
    };
    EXPECT_EQ(back(512), 513);
    EXPECT_EQ(back(1022), 1019);
    EXPECT_EQ(back(169), 167);
    EXPECT_EQ(back(0), 0);
    EXPECT_EQ(back(1023), 1023);

    int largest = 0;
    for (int level = 0; level <= kMaxLevel; ++level)
        largest = std::max(largest, std::abs(back(level) - level));
    EXPECT_EQ(largest, 9);
}

TEST(HarmonicPitch, TableHoldsTheNotesOfTheList)
{
    // Entry by entry, as the pedal knows the notes; a near miss is a wrong note.
    const std::pair<const char *, quint32> notes[] = {
        {"-12", 0x200000}, {"-11", 0x22AAA8}, {"-10", 0x255558}, {"-9", 0x280000},  {"-8", 0x2AAAA8},
        {"-7", 0x2D5558},  {"-6", 0x300000},  {"-5", 0x32AAA8},  {"-4", 0x355558},  {"-3", 0x380000},
        {"-2", 0x3AAAA8},  {"-1", 0x3D5558},  {"0", 0x400000},   {"+1", 0x455558},  {"+2", 0x4AAAA8},
        {"+3", 0x500000},  {"+4", 0x555558},  {"+5", 0x5AAAA8},  {"+6", 0x600000},  {"+7", 0x655558},
        {"+8", 0x6AAAA8},  {"+9", 0x700000},  {"+10", 0x755558}, {"+11", 0x7AAAA8}, {"+12", 0x800000},
    };
    ASSERT_EQ(std::size(notes), HarmonicPitchTable.size());
    for (size_t i = 0; i < std::size(notes); ++i)
        EXPECT_EQ(HarmonicPitchTable[i], notes[i].second) << "entry " << i << " (" << notes[i].first << ")";
}

TEST(HarmonicPitch, IndexFindsOnlyValuesOfTheTable)
{
    EXPECT_EQ(harmonicPitchIndex(0x400000), 12);
    EXPECT_EQ(harmonicPitchIndex(0x200000), 0);
    EXPECT_EQ(harmonicPitchIndex(0x800000), 24);
    EXPECT_EQ(harmonicPitchIndex(0x400001), std::nullopt);
}

TEST(SwitchEncodings, OnlyTheTwoStatesMoveAControl)
{
    EXPECT_EQ(waveValue(true), 0x400000u);
    EXPECT_EQ(waveValue(false), 0x600000u);
    EXPECT_EQ(waveIsOn(0x400000), true);
    EXPECT_EQ(waveIsOn(0x600000), false);
    EXPECT_EQ(waveIsOn(0), std::nullopt);
    EXPECT_EQ(flagIsOn(1), true);
    EXPECT_EQ(flagIsOn(0), false);
    EXPECT_EQ(flagIsOn(2), std::nullopt);
}

} // namespace
