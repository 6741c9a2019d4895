#include "device/hexcodec.h"
#include "device/jobs.h"
#include "device/status.h"
#include "inprocessdriver.h"
#include "support/consolelog.h"
#include "support/printers.h"
#include "virtualpedal.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
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
        EXPECT_EQ(decodeStatusValues(c.bytes).values, c.values) << c.what;
}

TEST(DecodeStatusValues, TracesCountAndEveryValue)
{
    const QStringList trace = decodeStatusValues("12\r\n5\r\n").trace;
    EXPECT_EQ(trace, QStringList({"num of bytes received: 2", "received_bytes_array size: 2", "0:    0C", "1:    05"}));
}

TEST(DecodeStatusValues, GarbledDigitsAreAConversionError)
{
    EXPECT_THROW(decodeStatusValues(QByteArray("1\x4b\r\n")), ConversionError);
}

// The status request against the virtual pedal, through the link, as the windows run it.
class StatusRequest : public ::testing::Test {
public:
    StatusRequest() { driver.attach(&pedal); }
    // Links, runs one status request, and waits for its end.
    std::optional<Error> request()
    {
        link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false));
        auto job = std::make_unique<StatusJob>();
        StatusJob *status = job.get();
        std::optional<Error> result;
        bool ended = false;
        job->whenFinished([&](const std::optional<Error> &e) {
            result = e;
            ended = true;
            values = status->values();
        });
        EXPECT_TRUE(link.run(std::move(job)));
        QElapsedTimer clock;
        clock.start();
        while (!ended && clock.elapsed() < 5000)
            QTest::qWait(2);
        EXPECT_TRUE(ended);
        return result;
    }

    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    ConsoleLog log;
    UsbTransport transport{driver};
    PedalLink link{transport, log};
    QByteArray values;
};

TEST_F(StatusRequest, AReplyThatComesInPiecesIsDecodedWhole)
{
    const QByteArray expected = decodeStatusValues(sim::buildStatusReply(pedal.state())).values;
    ASSERT_EQ(expected.size(), kStatusValueCount);
    int reads = 0;
    QObject::connect(&driver, &SerialDriver::bytesArrived, [&] { ++reads; });
    for (int cut : {1, 5, 37, static_cast<int>(sim::buildStatusReply(pedal.state()).size()) - 1}) {
        SCOPED_TRACE(cut);
        pedal.faults().answerDelayMs = 250; // after the request's pause: the pieces are gathered
        pedal.faults().splitReplyAtBytes = {cut};
        pedal.faults().splitReplyGapMs = 60;
        reads = 0;
        values.clear();
        EXPECT_EQ(request(), std::nullopt);
        EXPECT_EQ(values, expected);
        EXPECT_GE(reads, 2) << "the reply really came in two reads";
        link.unlink();
    }
}

TEST_F(StatusRequest, FailuresAreTheirOwnErrors)
{
    struct Case {
        const char *what;
        std::function<void(sim::Faults &)> fault;
        Error error;
    };
    const Case cases[] = {
        {"silent", [](sim::Faults &f) { f.silent = true; }, {ErrorCode::NoAnswer, "status request"}},
    };
    link.setTiming(Timing{0.1});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pedal.faults() = {};
        c.fault(pedal.faults());
        EXPECT_EQ(request(), std::optional<Error>(c.error));
        EXPECT_FALSE(link.busy());
        link.unlink();
    }
}

TEST_F(StatusRequest, ALetterAmongTheDigitsIsAGarbledReply)
{
    link.setTiming(Timing{0.1});
    pedal.faults().silent = true;
    // The reply a damaged line might deliver: framed like a reply, but not decimal.
    QObject::connect(&pedal, &sim::VirtualPedal::messageReceived, &pedal, [&](const sim::ReceivedMessage &m) {
        if (m.bytes == QByteArray::fromHex("0200"))
            QTimer::singleShot(5, &pedal, [&] { emit pedal.toHost("11\r\n1K\r\n"); });
    });
    EXPECT_EQ(request(), std::optional<Error>(Error{ErrorCode::GarbledReply, "'1B' is not a valid integer value"}));
}

TEST(SummarizeStatus, ReadsVersionsAndEffect)
{
    const auto r = summarizeStatus(decodeStatusValues(reply(fullReply(11, 0, 18, 3))).values, 10);
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
        Error error;
    };
    QByteArray shortReply = decodeStatusValues(reply(fullReply(11, 0, 18, 0))).values.left(89);
    const Case cases[] = {
        {"89 values", shortReply, {ErrorCode::ShortReply, "89 of 90"}},
        {"nothing", QByteArray(), {ErrorCode::ShortReply, "0 of 90"}},
        {"algorithm not BCD",
         decodeStatusValues(reply(fullReply(11, 0, 0x1A, 0))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an algorithm version that is not valid (001A)."}},
        {"effect 0x0A",
         decodeStatusValues(reply(fullReply(11, 0, 18, 10))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (0A)."}},
        {"effect 0x10",
         decodeStatusValues(reply(fullReply(11, 0, 18, 16))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (10)."}},
        {"effect 3 of a catalogue of 3",
         decodeStatusValues(reply(fullReply(11, 0, 18, 3))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (03)."}},
    };
    for (const Case &c : cases) {
        const auto r = summarizeStatus(c.values, 3);
        ASSERT_TRUE(std::holds_alternative<Error>(r)) << c.what;
        EXPECT_EQ(std::get<Error>(r), c.error) << c.what << ": " << std::get<Error>(r).detail.toStdString();
    }
}
