// A parameter's value in a player's terms, and typed text read back: the one formatter and
// parser that the effect window and the command share.
#include "effect/dialmapping.h"
#include "effect/parameters.h"
#include "effect/valuetext.h"
#include "support/printers.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

struct Shown {
    int parameter;
    quint32 reported;
    const char *text;
};

TEST(ValueText, ReportedValuesReadAsAPlayerReadsThem)
{
    const Shown cases[] = {
        {ParDry, levelToValue(512), "50.0 %"},
        {ParDry, levelToValue(1023), "99.9 %"},
        {ParDry, 0, "0.0 %"},
        {ParDry, levelToValue(1), "0.1 %"},
        {ParDry, 0x800000, "unknown (00800000)"}, // full scale: no message carries it
        {ParLowPass, 12, "12"},
        {ParLowPass, 24, "24"},
        {ParLowPass, 25, "unknown (00000019)"},
        {ParHighPass, 16, "16"},
        {ParRange, 22, "22"},
        {ParHarmonicPitch, 0x400000, "0"},
        {ParHarmonicPitch, 0x800000, "+12"},
        {ParHarmonicPitch, 0x200000, "-12"},
        {ParHarmonicPitch, 0x400001, "unknown (00400001)"},
        {ParWave, kWaveOn, "on"},
        {ParWave, kWaveOff, "off"},
        {ParWave, 0, "unknown (00000000)"},
        {ParSplit, 1, "on"},
        {ParDominantNotesCut, 0, "off"},
        {ParSplit, 2, "unknown (00000002)"},
    };
    for (const Shown &c : cases)
        EXPECT_EQ(reportedValueText(c.parameter, c.reported), c.text) << c.parameter << " " << c.reported;
}

// A knob shows what a turn put it at: a percentage, or the step the pedal would report.
TEST(ValueText, AKnobShowsItsLevelOrItsStep)
{
    EXPECT_EQ(knobText(ParSubMix, 768), "75.0 %");
    for (const int steps : {24, 16, 22}) {
        const int parameter = steps == 24 ? ParLowPass : steps == 16 ? ParHighPass : ParRange;
        for (int step = 0; step <= steps; ++step)
            EXPECT_EQ(knobText(parameter, levelForStep(step, steps)), QString::number(step)) << steps << "/" << step;
        EXPECT_EQ(knobText(parameter, 0), "0");
        EXPECT_EQ(knobText(parameter, kMaxLevel), QString::number(steps));
    }
}

struct Typed {
    int parameter;
    const char *text;
    std::optional<quint32> value; // nothing: refused
};

TEST(ValueText, TypedTextBecomesTheExactValueOrIsRefused)
{
    const Typed cases[] = {
        {ParDry, "50", levelToValue(512)},
        {ParDry, "50 %", levelToValue(512)},
        {ParDry, " 50% ", levelToValue(512)},
        {ParDry, "12.5", levelToValue(128)},
        {ParDry, "99.9", levelToValue(1023)},
        {ParDry, "100", levelToValue(1023)}, // the top level: full scale is never sent
        {ParDry, "0", 0u},
        {ParDry, "100.1", std::nullopt},
        {ParDry, "-1", std::nullopt},
        {ParDry, "50,5", std::nullopt},
        {ParDry, "nan", std::nullopt},
        {ParDry, "", std::nullopt},
        {ParDry, "%", std::nullopt},
        {ParLowPass, "12", levelToValue(levelForStep(12, 24))},
        {ParLowPass, "24", levelToValue(1023)},
        {ParLowPass, "25", std::nullopt},
        {ParLowPass, "1.5", std::nullopt},
        {ParHighPass, "16", levelToValue(1023)},
        {ParRange, "0", 0u},
        {ParHarmonicPitch, "+3", HarmonicPitchTable[15]},
        {ParHarmonicPitch, "3", HarmonicPitchTable[15]},
        {ParHarmonicPitch, "-12", HarmonicPitchTable[0]},
        {ParHarmonicPitch, "13", std::nullopt},
        {ParWave, "ON", kWaveOn},
        {ParWave, "off", kWaveOff},
        {ParSplit, "on", 1u},
        {ParHighNotesCut, "yes", std::nullopt},
        // A value as its message carries it, taken only where the parameter could send it.
        {ParDry, "0x003FC000", 0x3FC000u},
        {ParDry, "0X7fe000", 0x7FE000u},
        {ParDry, "0x7FE001", std::nullopt},
        {ParDry, "0x00800000", std::nullopt}, // full scale: no message carries it
        {ParDry, "0xFFFFFFFF", std::nullopt},
        {ParDry, "0x", std::nullopt},
        {ParDry, "0x1G", std::nullopt},
        {ParDry, "0x000000001", std::nullopt}, // nine digits
        {ParLowPass, "0x0000000C", 12u},       // a stepped knob sends levels: any level goes
        {ParHarmonicPitch, "0x00500000", HarmonicPitchTable[15]},
        {ParHarmonicPitch, "0x00500001", std::nullopt},
        {ParWave, "0x00400000", kWaveOn},
        {ParWave, "0x00500000", std::nullopt},
        {ParSplit, "0x1", 1u},
        {ParSplit, "0x2", std::nullopt},
        {ParDominantNotesCut, "0xFFFFFFFF", std::nullopt},
    };
    for (const Typed &c : cases) {
        const Result<quint32> r = parseValueText(c.parameter, QString::fromUtf8(c.text));
        SCOPED_TRACE(std::string(c.text));
        if (c.value) {
            ASSERT_TRUE(std::holds_alternative<quint32>(r)) << std::get<Error>(r).detail.toStdString();
            EXPECT_EQ(std::get<quint32>(r), *c.value);
        } else {
            ASSERT_TRUE(std::holds_alternative<Error>(r));
            EXPECT_EQ(std::get<Error>(r).code, ErrorCode::BadInput);
        }
    }
    // The refusal says what the parameter takes.
    EXPECT_EQ(std::get<Error>(parseValueText(ParLowPass, "30")).detail, "\"30\" is not a step from 0 to 24");
    EXPECT_EQ(std::get<Error>(parseValueText(ParWave, "0x1")).detail,
              "\"0x1\" is not the raw value 0x00400000 or 0x00600000");
}

// The number a script reads beside the unit is the one the text shows, and nothing where the
// text says "unknown".
TEST(ValueText, ReportedValuesReadAsNumbersInTheSameTerms)
{
    struct Number {
        int parameter;
        quint32 reported;
        std::optional<double> number;
        ValueKind kind;
    };
    const Number cases[] = {
        {ParDry, levelToValue(512), 50.0, ValueKind::Level},
        {ParSubMix, levelToValue(1023), 99.9, ValueKind::Level},
        {ParDryHPF, levelToValue(64), 6.3, ValueKind::Level}, // 6.25 %, rounded as the text rounds it
        {ParDry, 0x800000, std::nullopt, ValueKind::Level},
        {ParLowPass, 24, 24.0, ValueKind::Step},
        {ParHighPass, 17, std::nullopt, ValueKind::Step},
        {ParRange, 22, 22.0, ValueKind::Step},
        {ParHarmonicPitch, 0x200000, -12.0, ValueKind::Pitch},
        {ParHarmonicPitch, 0x400000, 0.0, ValueKind::Pitch},
        {ParHarmonicPitch, 0x3FFFFF, std::nullopt, ValueKind::Pitch},
        {ParWave, kWaveOn, 1.0, ValueKind::Switch},
        {ParWave, kWaveOff, 0.0, ValueKind::Switch},
        {ParWave, 1, std::nullopt, ValueKind::Switch},
        {ParHighNotesCut, 1, 1.0, ValueKind::Switch},
        {ParSplit, 0x400000, std::nullopt, ValueKind::Switch},
    };
    for (const Number &c : cases) {
        SCOPED_TRACE(testing::Message() << c.parameter << " " << c.reported);
        EXPECT_EQ(valueKind(c.parameter), c.kind);
        EXPECT_EQ(reportedValueNumber(c.parameter, c.reported), c.number);
        if (c.number && c.kind == ValueKind::Level) {
            EXPECT_EQ(QString::number(*c.number, 'f', 1) + " %", reportedValueText(c.parameter, c.reported));
        }
    }
}

// A percentage shown, typed back, shows again as itself: one decimal is about one level, so
// a player who types what the knob said gets what the knob said.
TEST(ValueText, EveryLevelShownTypedBackShowsTheSame)
{
    for (int level = 0; level <= kMaxLevel; ++level) {
        const QString shown = levelText(level);
        const Result<quint32> back = parseValueText(ParDry, shown);
        ASSERT_TRUE(std::holds_alternative<quint32>(back)) << shown.toStdString();
        const int typed = static_cast<int>(std::get<quint32>(back) >> 13);
        EXPECT_EQ(levelText(typed), shown);
        EXPECT_LE(std::abs(typed - level), 1) << shown.toStdString();
    }
}

} // namespace
