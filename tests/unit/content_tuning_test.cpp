#include "base/hexcodec.h"
#include "content/tuning.h"
#include "support/printers.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// The rows the pedal's makers published, as stored: the table must match them bit for bit.
TEST(TuningTable, IsBuiltByTheRuleAndMatchesThePublishedRows)
{
    const QByteArray table = tuningCoefficientTable();
    ASSERT_EQ(table.size(), 640);
    struct Row {
        int row;
        const char *bytes;
    };
    const Row rows[] = {
        {0, "007FF5ECFF002B70007FE1AB00FFD490FF80286A"},
        {17, "007FE51FFF00814D007FAF1C00FF7EB3FF806BC4"},
        {18, "007FBD9DFF009D1C007FAEDD00FF62E4FF809386"},
        {31, "007F73B6FF0162AE007F548A00FE9D52FF8137C0"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(bytesToHex(table.mid(20 * r.row, 20)), r.bytes) << "row " << r.row;
}

TEST(TuningTable, GoesOutAsOneMessageOf641Bytes)
{
    const QString text = buildTuningDataMessage();
    EXPECT_EQ(text.size(), 2 * 641);
    EXPECT_TRUE(text.startsWith("0E007FF5ECFF002B70"));
    EXPECT_TRUE(text.endsWith("FF8137C0"));
}

// A value beyond what the DSP's words hold would wrap to a wrong filter: it is flagged, not
// rounded into the word.
TEST(TuningTable, ACoefficientOutsideTheWordIsFlagged)
{
    const Biquad normal = peakingBiquad(noteFrequency(38), -6, 11);
    for (bool in : normal.inRange)
        EXPECT_TRUE(in);
    const Biquad steep = peakingBiquad(noteFrequency(38), 60, 0.001); // b0 is about 1000
    EXPECT_FALSE(steep.inRange[0]);
    EXPECT_EQ(steep.fixed[0], 0);
}

TEST(TuningMessage, CarriesTheIndexAndTheShiftAsASignedByte)
{
    struct Case {
        int tuning, shift;
        const char *text;
    };
    const Case cases[] = {
        {0, 0, "090000"},
        {1, -1, "0901FF"},
        {8, 3, "090803"},
        {7, -5, "0907FB"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(std::get<QString>(buildTuningMessage(c.tuning, c.shift)), c.text) << c.tuning << ", " << c.shift;
}

// Only a status reply can bring such a value; it must not reach the pedal as some other tuning.
TEST(TuningMessage, RefusesWhatTheListsDoNotOffer)
{
    const std::pair<int, int> bad[] = {{9, 0}, {-1, 0}, {255, 0}, {1, 4}, {1, -6}, {1, 127}};
    for (const auto &[tuning, shift] : bad) {
        const Result<QString> message = buildTuningMessage(tuning, shift);
        ASSERT_TRUE(std::holds_alternative<Error>(message)) << tuning << ", " << shift;
        EXPECT_EQ(std::get<Error>(message),
                  (Error{ErrorCode::UntrustedReply,
                         QStringLiteral("The tuning the pedal reported (tuning %1, shift %2) is not one the editor "
                                        "knows, so it was not sent. Choose a tuning, then try again.")
                             .arg(tuning)
                             .arg(shift)}));
    }
}

TEST(InstrumentMessage, EndsWithTheXorOfItsSevenBytes)
{
    const TracedMessage guitar = buildInstrumentMessage(true);
    EXPECT_EQ(guitar.text, "0FFF0102030405F1");
    EXPECT_EQ(guitar.trace, QStringList{"checksum byte: F1"});
    const TracedMessage bass = buildInstrumentMessage(false);
    EXPECT_EQ(bass.text, "0FBA0203040506B3");
    EXPECT_EQ(bass.trace, QStringList{"checksum byte: B3"});
}

} // namespace

namespace {

TEST(CoefficientCalculator, PrintsTheTablesRowsInTheirPastableForm)
{
    EXPECT_EQ(coefficientTableLines("D2", 38, -6, 11),
              QStringList({"D2_6db_cut_Q11 : array[0..19] of string =", "('00', '7F', 'F5', 'EC', ",
                           "'FF', '00', '2B', '70', ", "'00', '7F', 'E1', 'AB', ", "'00', 'FF', 'D4', '90', ",
                           "'FF', '80', '28', '6A');"}));
    // Every row of the pedal's table is what the calculator prints for its note.
    const QByteArray table = tuningCoefficientTable();
    const QStringList names = calculatorNoteNames();
    for (int row = 0; row < 32; ++row) {
        const bool first = row < 18;
        const int note = first ? 38 + row : 48 + row - 18;
        const QStringList lines =
            coefficientTableLines(names[note - kCalculatorFirstNote], note, first ? -6 : -20, first ? 11 : 12);
        ASSERT_EQ(lines.size(), 6) << row;
        QString digits = lines.mid(1).join(QString());
        digits.remove(QRegularExpression(QStringLiteral("[^0-9A-F]")));
        EXPECT_EQ(digits, bytesToHex(table.mid(20 * row, 20))) << "row " << row;
    }
}

TEST(CoefficientCalculator, NamesItsNotesAndItsKind)
{
    const QStringList names = calculatorNoteNames();
    ASSERT_EQ(names.size(), 48);
    EXPECT_EQ(names[0], "A1");
    EXPECT_EQ(names[2], "B1");
    EXPECT_EQ(names[3], "C2");
    EXPECT_EQ(names[12], "A2");
    EXPECT_EQ(names[47], "G#5");
    EXPECT_NEAR(noteFrequency(kCalculatorFirstNote + 47), 830.61, 0.01);
    const QStringList flat = coefficientTableLines("A2", 45, 0, 1.41);
    EXPECT_EQ(flat[0], "A2_0db_boost_Q1.41 : array[0..19] of string =");
    EXPECT_EQ(flat[1], "('00', '80', '00', '00', ") << "a flat filter passes the signal as it is";
    EXPECT_EQ(coefficientTableLines("A2", 45, 3.5, 2)[0], "A2_3.5db_boost_Q2 : array[0..19] of string =");
}

TEST(CoefficientCalculator, PutsEachCoefficientIntoTheDspsWord)
{
    EXPECT_DOUBLE_EQ(noteFrequency(kCalculatorFirstNote), 55.0) << "A1";
    struct Case {
        double value;
        std::optional<quint32> word;
    };
    const Case cases[] = {
        {1.0, 0x00800000u},        {-1.0, 0xFF800000u},  {0.5, 0x00400000u},          {-16.0, 0xF8000000u},
        {15.9999999, 0x07FFFFFFu}, {16.0, std::nullopt}, {-16.0000001, std::nullopt}, {0.5 / 8388608, 0u},
        {1.5 / 8388608, 2u},       {2.5 / 8388608, 2u},  {NAN, std::nullopt},
    };
    for (const Case &c : cases) {
        const std::optional<qint32> word = dspFixedWord(c.value);
        ASSERT_EQ(word.has_value(), c.word.has_value()) << c.value;
        if (word) {
            EXPECT_EQ(static_cast<quint32>(*word), *c.word) << c.value;
        }
    }
}

// The DSP's word holds -16 up to 16: a design beyond it is not printed as a wrapped number.
TEST(CoefficientCalculator, WarnsInsteadOfWrapping)
{
    const QStringList lines = coefficientTableLines("A1", 33, 60, 0.001);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("warning: b0 = ")) << lines[0].toStdString();
    EXPECT_FALSE(lines.join('\n').contains("array[0..19]"));
}

} // namespace
