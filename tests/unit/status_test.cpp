#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "device/jobs.h"
#include "device/status.h"
#include "effect/pedalstatus.h"
#include "inprocessdriver.h"
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

// The values a whole reply of these bytes gives.
QByteArray valuesOf(const QByteArray &bytes)
{
    const StatusReading r = readStatusReply(bytes);
    EXPECT_EQ(r.state, StatusReading::State::Complete) << r.error.detail.toStdString();
    return r.values;
}

TEST(ReadStatusReply, WholeAtTheNinetiethValueInWhateverPieces)
{
    const QByteArray whole = reply(fullReply(11, 0, 18, 0));
    const QByteArray values = valuesOf(whole);
    ASSERT_EQ(values.size(), kStatusValueCount);
    EXPECT_EQ(values.left(4), QByteArray("\x0b\x00\x12\x00", 4));
    for (int cut = 0; cut < whole.size() - 1; ++cut) {
        const StatusReading part = readStatusReply(whole.left(cut));
        ASSERT_EQ(part.state, StatusReading::State::NeedMore) << cut;
    }
    EXPECT_EQ(valuesOf(reply(fullReply(11, 0, 18, 0), "\r")), values) << "CR alone ends a value too";
    EXPECT_EQ(valuesOf(whole.chopped(1)), values) << "the last LF may still be on its way";
}

TEST(ReadStatusReply, RefusesWhatCannotBeAReply)
{
    const auto with = [](int index, const QByteArray &text) {
        QByteArray out;
        for (int k = 0; k < kStatusValueCount; ++k)
            out += (k == index ? text : QByteArray("0")) + "\r\n";
        return out;
    };
    const QByteArray whole = reply(fullReply(11, 0, 18, 0));
    struct Case {
        const char *what;
        QByteArray bytes;
        QString detail;
    };
    const Case cases[] = {
        {"a negative value", with(25, "-1"), "value 26 was \"-1\""},
        {"a letter among the digits", with(0, "x1"), "value 1 was \"x1\""},
        {"above 255", with(3, "300"), "value 4 was \"300\""},
        {"four digits", with(3, "0012"), "value 4 was \"0012\""},
        {"no digits", with(7, ""), "value 8 was \"\""},
        {"a stray CR LF first", "\r\n" + whole, "value 1 was \"\""},
        {"binary", with(9, QByteArray("\x01\xff", 2)), "value 10 was \"\\x01\\xFF\""},
    };
    for (const Case &c : cases) {
        const StatusReading r = readStatusReply(c.bytes);
        EXPECT_EQ(r.state, StatusReading::State::Refused) << c.what;
        EXPECT_EQ(r.error, (Error{ErrorCode::GarbledReply, c.detail})) << c.what;
    }
    // A bootloader greeted before answers the request with one byte, which no reply starts with.
    for (const QByteArray &answer : {QByteArray("\x1F"), QByteArray("\x79"), QByteArray("\x1F\x1F")})
        EXPECT_EQ(readStatusReply(answer).error.code, ErrorCode::InBootloader) << answer.toHex().toStdString();
    // Refused as soon as the first bad byte is there, not at the bound.
    EXPECT_EQ(readStatusReply("11\r\n-").state, StatusReading::State::Refused);
    EXPECT_EQ(readStatusReply("11\r\n1234").state, StatusReading::State::Refused);
}

// A later firmware may carry more values; a stray byte after the reply is no reason to lose it.
TEST(ReadStatusReply, WhatFollowsTheNinetiethValueIsHandedBackUnjudged)
{
    const QByteArray whole = reply(fullReply(11, 0, 18, 0));
    const QByteArray values = valuesOf(whole);
    struct Case {
        const char *what;
        QByteArray after;
    };
    const Case cases[] = {
        {"nothing", ""}, {"a 91st value", "7\r\n"}, {"a stray CR LF", "\r\n"},
        {"text", "OK"},  {"a second reply", whole},
    };
    for (const Case &c : cases) {
        const StatusReading r = readStatusReply(whole + c.after);
        EXPECT_EQ(r.state, StatusReading::State::Complete) << c.what;
        EXPECT_EQ(r.values, values) << c.what;
        EXPECT_EQ(r.following, c.after) << c.what;
    }
}

TEST(ReadStatusReply, TracesCountAndEveryValue)
{
    EXPECT_EQ(statusTrace(QByteArray("\x0c\x05", 2)),
              QStringList({"num of bytes received: 2", "received_bytes_array size: 2", "0:    0C", "1:    05"}));
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
    const QByteArray expected = readStatusReply(sim::buildStatusReply(pedal.state())).values;
    ASSERT_EQ(expected.size(), kStatusValueCount);
    int reads = 0;
    QObject::connect(&driver, &SerialDriver::bytesArrived, [&] { ++reads; });
    for (int cut : {1, 5, 37, 150}) {
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

// What the line brings after the request, piece by piece (ms after the request, bytes), and
// what the request makes of it. The pedal itself stays silent; the pieces stand for it.
TEST_F(StatusRequest, EndsAtTheNinetiethValueAtTheFirstBadByteOrAtItsBound)
{
    const QByteArray whole = sim::buildStatusReply(pedal.state());
    const QByteArray values = readStatusReply(whole).values;
    QByteArray chatter;
    for (int t = 0; t < 40; ++t)
        chatter += "abc\n";
    struct Piece {
        int atMs;
        QByteArray bytes;
    };
    struct Case {
        const char *what;
        QList<Piece> pieces;
        std::optional<Error> result;
        int endsBeforeMs;
        int endsAfterMs = 0;
    };
    // Seven pieces, the fifth 500 ms after the request's 2 s bound: a bound that started again
    // with each piece would see the reply whole.
    QList<Piece> trickle;
    const int trickleAtMs[] = {10, 500, 1000, 1500, 2500, 3000, 3500};
    for (int k = 0; k < 7; ++k)
        trickle.append({trickleAtMs[k], whole.mid(k * (whole.size() / 7), k == 6 ? -1 : whole.size() / 7)});
    const Case cases[] = {
        {"pieces 150 ms apart",
         {{10, whole.left(100)}, {160, whole.mid(100, 100)}, {310, whole.mid(200)}},
         std::nullopt,
         1000},
        {"a letter among the digits",
         {{10, "11\r\n1K\r\n"}},
         Error{ErrorCode::GarbledReply, "value 2 was \"1K\""},
         500},
        {"chatter instead of a reply",
         {{10, chatter}, {60, chatter}, {110, chatter}, {160, chatter}},
         Error{ErrorCode::GarbledReply, "value 1 was \"abc\\x0Aabc\\x0A…\""},
         500},
        {"one value, then nothing",
         {{10, whole.left(whole.indexOf("\r\n", 0) + 2)}},
         Error{ErrorCode::ShortReply, "1 of 90"},
         2300,
         1900},
        {"a trickle that would be whole only after the bound", trickle,
         Error{ErrorCode::ShortReply,
               QString("%1 of 90").arg(readStatusReply(whole.left(4 * (whole.size() / 7))).values.size())},
         2300, 1900},
        {"a 91st value after the reply", {{10, whole + "7\r\n"}}, std::nullopt, 500},
        {"a stray CR LF after the reply", {{10, whole}, {20, "\r\n"}}, std::nullopt, 500},
        {"a bootloader's NACK", {{10, "\x1F"}}, Error{ErrorCode::InBootloader, "status request answered with 1F"}, 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        pedal.faults() = {};
        pedal.faults().silent = true;
        const auto injector =
            QObject::connect(&pedal, &sim::VirtualPedal::messageReceived, &pedal, [&](const sim::ReceivedMessage &m) {
                if (m.bytes != QByteArray::fromHex("0200"))
                    return;
                for (const Piece &p : c.pieces)
                    QTimer::singleShot(p.atMs, Qt::PreciseTimer, &pedal, [&, p] { emit pedal.toHost(p.bytes); });
            });
        QElapsedTimer clock;
        clock.start();
        const std::optional<Error> result = request();
        QObject::disconnect(injector);
        EXPECT_EQ(result, c.result);
        EXPECT_LT(clock.elapsed(), c.endsBeforeMs);
        EXPECT_GE(clock.elapsed(), c.endsAfterMs) << "given up at its bound, not before";
        if (!c.result) {
            EXPECT_EQ(this->values, values);
        }
        QTest::qWait(c.pieces.last().atMs + 50); // the rest of the line's pieces, before the next case
        link.unlink();
    }
}

TEST_F(StatusRequest, BytesFromBeforeTheRequestAreTracedAndLeftOut)
{
    link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false));
    emit pedal.toHost("\r\n7\r\n");
    EXPECT_EQ(request(), std::nullopt);
    EXPECT_EQ(values.size(), kStatusValueCount);
    EXPECT_TRUE(log.lines().contains("bytes before the request, not part of its reply: 0D0A370D0A"));
}

TEST(SummarizeStatus, ReadsVersionsAndEffect)
{
    const auto r = summarizeStatus(readStatusReply(reply(fullReply(11, 0, 18, 3))).values, 10);
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
    QByteArray shortReply = readStatusReply(reply(fullReply(11, 0, 18, 0))).values.left(89);
    const Case cases[] = {
        {"89 values", shortReply, {ErrorCode::ShortReply, "89 of 90"}},
        {"nothing", QByteArray(), {ErrorCode::ShortReply, "0 of 90"}},
        {"algorithm not BCD",
         readStatusReply(reply(fullReply(11, 0, 0x1A, 0))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an algorithm version that is not valid (001A)."}},
        {"effect 0x0A",
         readStatusReply(reply(fullReply(11, 0, 18, 10))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (0A)."}},
        {"effect 0x10",
         readStatusReply(reply(fullReply(11, 0, 18, 16))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (10)."}},
        {"effect 3 of a catalogue of 3",
         readStatusReply(reply(fullReply(11, 0, 18, 3))).values,
         {ErrorCode::UntrustedReply, "The pedal reported an effect number that is not valid (03)."}},
    };
    for (const Case &c : cases) {
        const auto r = summarizeStatus(c.values, 3);
        ASSERT_TRUE(std::holds_alternative<Error>(r)) << c.what;
        EXPECT_EQ(std::get<Error>(r), c.error) << c.what << ": " << std::get<Error>(r).detail.toStdString();
    }
}
