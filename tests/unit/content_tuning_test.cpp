#include "content/tuning.h"
#include "device/hexcodec.h"
#include "support/printers.h"

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
    for (const auto &[tuning, shift] : bad)
        EXPECT_TRUE(std::holds_alternative<Error>(buildTuningMessage(tuning, shift))) << tuning << ", " << shift;
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
