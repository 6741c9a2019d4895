#include "device/hexcodec.h"
#include "device/status.h"

#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// A reply as the pedal sends it: each value in decimal, CR LF after each.
QByteArray reply(const std::vector<int> &values, const char *ending = "\r\n")
{
    QByteArray out;
    for (int v : values)
        out += QByteArray::number(v) + ending;
    return out;
}

std::vector<int> fullReply(int firmware, int algHigh, int algLow, int effect)
{
    std::vector<int> v(kStatusValueCount, 0);
    v[0] = firmware;
    v[1] = algHigh;
    v[2] = algLow;
    v[3] = effect;
    return v;
}

} // namespace

TEST(DecodeStatusValues, DecodesEveryFieldShape)
{
    struct Case {
        const char *what;
        QByteArray bytes;
        QByteArray values;
    };
    const Case cases[] = {
        {"worked example", QByteArray("12\r\n5\r\n"), QByteArray("\x0c\x05", 2)},
        {"CR without LF", QByteArray("7\r8\r"), QByteArray("\x07\x08", 2)},
        {"three digits reduced to 8 bits", QByteArray("300\r\n255\r\n"), QByteArray("\x2c\xff", 2)},
        {"four digits repeat the previous value", QByteArray("9\r\n1234\r\n"), QByteArray("\x09\x09", 2)},
        {"no terminator, no value", QByteArray("12"), QByteArray()},
        {"empty", QByteArray(), QByteArray()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DecodeStatusValues(c.bytes).values, c.values) << c.what;
}

TEST(DecodeStatusValues, TracesCountAndEveryValue)
{
    const QStringList trace = DecodeStatusValues("12\r\n5\r\n").trace;
    EXPECT_EQ(trace, QStringList({"num of bytes received: 2", "received_bytes_array size: 2",
                                  "0:    0C", "1:    05"}));
}

TEST(DecodeStatusValues, GarbledDigitsAreAConversionError)
{
    EXPECT_THROW(DecodeStatusValues(QByteArray("1\x4b\r\n")), ConversionError);
}

TEST(DecodeStatusValues, AReplySplitAnywhereDecodesTheSameWhenGatheredWhole)
{
    const QByteArray whole = reply(fullReply(11, 0, 18, 0));
    const QByteArray expected = DecodeStatusValues(whole).values;
    ASSERT_EQ(expected.size(), kStatusValueCount);
    for (int cut : {1, 5, 37, static_cast<int>(whole.size()) - 1})
        EXPECT_EQ(DecodeStatusValues(whole.left(cut) + whole.mid(cut)).values, expected);
}

TEST(SummarizeStatus, ReadsVersionsAndEffect)
{
    const auto r = SummarizeStatus(DecodeStatusValues(reply(fullReply(11, 0, 18, 3))).values);
    ASSERT_TRUE(std::holds_alternative<StatusSummary>(r));
    const StatusSummary &s = std::get<StatusSummary>(r);
    EXPECT_EQ(s.firmwareVersion, "11");
    EXPECT_EQ(s.algorithmVersion, "0012");
    EXPECT_EQ(s.algorithm, 12);
    EXPECT_EQ(s.effectNumber, "03");
    EXPECT_EQ(s.effectRow, 3);
}

TEST(SummarizeStatus, RefusesRepliesThatCannotBeTrusted)
{
    struct Case {
        const char *what;
        QByteArray values;
        const char *words;
    };
    QByteArray shortReply = DecodeStatusValues(reply(fullReply(11, 0, 18, 0))).values.left(89);
    const Case cases[] = {
        {"89 values", shortReply, "incomplete (89 of 90"},
        {"nothing", QByteArray(), "incomplete (0 of 90"},
        {"algorithm not BCD", DecodeStatusValues(reply(fullReply(11, 0, 0x1A, 0))).values, "algorithm version"},
        {"effect 0x0A", DecodeStatusValues(reply(fullReply(11, 0, 18, 10))).values, "effect number"},
        {"effect 0x10", DecodeStatusValues(reply(fullReply(11, 0, 18, 16))).values, "effect number"},
    };
    for (const Case &c : cases) {
        const auto r = SummarizeStatus(c.values);
        ASSERT_TRUE(std::holds_alternative<QString>(r)) << c.what;
        EXPECT_TRUE(std::get<QString>(r).contains(c.words)) << c.what << ": " << std::get<QString>(r).toStdString();
    }
}
