// The running firmware's face of the virtual pedal: how it reads messages, what it keeps and
// what it answers.
#include "virtualpedal.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <utility>

using namespace vadrelon::sim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The decimal values of a status reply, CR LF ended.
QList<int> decodeReply(const QByteArray &reply)
{
    QList<int> values;
    for (const QByteArray &line : reply.split('\n')) {
        if (!line.isEmpty())
            values << line.trimmed().toInt();
    }
    return values;
}

// A synthetic algorithm image of the documented layout: length, address header, BCD version,
// then a load stream that only ends.
QByteArray syntheticImage(int length, quint16 bcdVersion, quint16 dryAddress)
{
    QByteArray image(length, 0);
    image[0] = char(length >> 16);
    image[1] = char(length >> 8);
    image[2] = char(length);
    const QByteArray header =
        QByteArray::fromHex("002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006");
    image.replace(3, header.size(), header);
    image[3] = char(dryAddress >> 8);
    image[4] = char(dryAddress);
    image[123] = char(bcdVersion >> 8);
    image[124] = char(bcdVersion);
    image[125] = 0x00;
    image[126] = 0x06;
    image[127] = 0x12;
    image[128] = 0x06;
    return image;
}

class FirmwareFace : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&pedal, &VirtualPedal::toHost, &pedal, [this](const QByteArray &b) { fromPedal += b; });
    }
    void write(const QByteArray &bytes) { pedal.hostWrite(bytes, Framing{}); }
    // What the pedal has sent once at least `count` bytes came, or after `ms`.
    QByteArray answer(int count, int ms = 2000)
    {
        (void)QTest::qWaitFor([&] { return fromPedal.size() >= count; }, ms);
        return fromPedal;
    }
    QList<int> status()
    {
        fromPedal.clear();
        write(hex("0200"));
        return decodeReply(answer(pedal.statusReply().size()));
    }
    QList<QByteArray> receivedBytes() const
    {
        QList<QByteArray> out;
        for (const auto &m : pedal.received())
            out << m.bytes;
        return out;
    }

    VirtualPedal pedal;
    QByteArray fromPedal;
};

} // namespace

struct FramingCase {
    const char *name;
    QList<QByteArray> writes;
    QList<QByteArray> expected;
};

TEST_F(FirmwareFace, ReadsMessagesByTheirLengthWhateverTheWritesLookLike)
{
    const QByteArray image = syntheticImage(256, 0x0012, 0x0025);
    const FramingCase cases[] = {
        {"one message", {hex("0200")}, {hex("0200")}},
        {"split over three writes", {hex("01"), hex("0025"), hex("003FC000")}, {hex("010025003FC000")}},
        {"two in one write", {hex("0D010700")}, {hex("0D01"), hex("0700")}},
        {"unknown bytes dropped one at a time", {hex("FF060A0D01")}, {hex("0D01")}},
        {"partial message waits", {hex("03000000")}, {}},
        {"image by its own length, then a message",
         {image.left(100), image.mid(100) + hex("0200")},
         {image, hex("0200")}},
    };
    for (const auto &c : cases) {
        VirtualPedal fresh;
        for (const auto &w : c.writes)
            fresh.hostWrite(w, Framing{});
        QList<QByteArray> got;
        for (const auto &m : fresh.received())
            got << m.bytes;
        EXPECT_EQ(got, c.expected) << c.name;
    }
}

TEST_F(FirmwareFace, EveryCommandHasItsFixedLength)
{
    const std::pair<quint8, int> lengths[] = {{0x01, 7}, {0x02, 2},   {0x03, 25}, {0x04, 16}, {0x05, 8},
                                              {0x07, 2}, {0x08, 3},   {0x09, 3},  {0x0B, 5},  {0x0C, 6},
                                              {0x0D, 2}, {0x0E, 641}, {0x0F, 8},  {0x10, 2},  {0x11, 2}};
    for (const auto &[command, length] : lengths) {
        pedal.clearReceived();
        // Filler 0x0D would start a message of its own if the length were wrong by one.
        QByteArray message(length, char(0x0D));
        message[0] = char(command);
        if (command == 0x0B || command == 0x0C)
            message[1] = char(0x52); // an EEPROM that is not there: no dump
        write(message + hex("1101"));
        EXPECT_EQ(receivedBytes(), (QList<QByteArray>{message, hex("1101")})) << int(command);
    }
}

TEST_F(FirmwareFace, StatusReplyCarriesTheStateInReplyOrder)
{
    PedalState &s = pedal.state();
    s.firmwareVersion = 11;
    s.algorithmVersion = 0x0012;
    s.effectNumber = 3;
    s.footswitchMode = 2;
    s.assignFlags = {1, 0, 1, 0, 1};
    s.assignAddresses = {0x000A, 0xFFFF, 0x001B, 0xFFFF, 0xFFFE};
    s.tuning = 7;
    s.semitones = -5;
    s.bypass = 1;
    s.bypassStorage = 1;
    s.instrument = 186;
    s.midiChannel = 16;
    for (int p = 0; p < 16; ++p)
        s.parameters[p] = 0x01020300u + quint32(p);

    const QByteArray reply = pedal.statusReply();
    for (const QByteArray &line : reply.split('\n').mid(0, 90))
        EXPECT_TRUE(QRegularExpression("^[0-9]{1,3}\r$").match(QString::fromLatin1(line)).hasMatch())
            << line.constData();

    const QList<int> v = decodeReply(reply);
    ASSERT_EQ(v.size(), 90);
    EXPECT_EQ(v.mid(0, 5), (QList<int>{11, 0, 18, 3, 2}));
    EXPECT_EQ(v.mid(5, 5), (QList<int>{1, 0, 1, 0, 1}));
    EXPECT_EQ(v.mid(10, 10), (QList<int>{0, 0x0A, 255, 255, 0, 0x1B, 255, 255, 255, 0xFE}));
    EXPECT_EQ(v.mid(20, 6), (QList<int>{7, 0xFB, 1, 1, 186, 16}));
    for (int p = 0; p < 16; ++p)
        EXPECT_EQ(v.mid(26 + 4 * p, 4), (QList<int>{1, 2, 3, p})) << p;
}

TEST_F(FirmwareFace, AnswersComeFromTheEventLoopNotFromInsideTheWrite)
{
    write(hex("0200"));
    EXPECT_TRUE(fromPedal.isEmpty());
    EXPECT_EQ(answer(1).left(4), QByteArray("11\r\n"));
}

struct StateCase {
    const char *name;
    QByteArray messages;
    int firstIndex;
    QList<int> expected;
};

TEST_F(FirmwareFace, MessagesChangeWhatTheStatusReports)
{
    const StateCase cases[] = {
        {"Dry at its address", hex("010025003FC000"), 26, {0, 0x3F, 0xC0, 0}},
        {"Low Pass full level reported as step 24", hex("0100CF007FE000"), 46, {0, 0, 0, 24}},
        {"Low Pass level 512 reported as step 12", hex("0100CF00400000"), 46, {0, 0, 0, 12}},
        {"High Pass full level reported as step 16", hex("0100E3007FE000"), 50, {0, 0, 0, 16}},
        {"address 0000 reaches nothing, not even Range", hex("010000007FE000"), 62, {0, 0, 0, 0}},
        {"unknown address changes no parameter", hex("01123400000001"), 26, {0, 0, 0, 0}},
        {"stored settings fill the six assignable values",
         hex("03"
             "003FC000"
             "00400000"
             "00000000"
             "00000001"
             "00000000"
             "00000000"),
         66,
         {0, 0x3F, 0xC0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"assignments",
         hex("040100000001000AFFFFFFFFFFFFFFFE"),
         5,
         {1, 0, 0, 0, 1, 0, 0x0A, 255, 255, 255, 255, 255, 255, 255, 0xFE}},
        {"footswitch: change preset short, bypass long", hex("080101"), 4, {3}},
        {"footswitch: bypass both", hex("080001"), 4, {1}},
        {"footswitch code out of range ignored", hex("080201"), 4, {0}},
        {"tuning with semitone down", hex("0901FF"), 20, {1, 255}},
        {"bypass on", hex("0D01"), 22, {1}},
        {"bypass storage on", hex("1001"), 23, {1}},
        {"bypass storage on then off", hex("100110FF"), 23, {0}},
        {"bass with a good checksum", hex("0FBA0203040506B3"), 24, {186}},
        {"bass with a bad checksum is refused", hex("0FBA020304050600"), 24, {255}},
        {"MIDI channel 10", hex("070A"), 25, {10}},
    };
    for (const auto &c : cases) {
        VirtualPedal fresh;
        fresh.hostWrite(c.messages, Framing{});
        const QList<int> v = decodeReply(fresh.statusReply());
        EXPECT_EQ(v.mid(c.firstIndex, c.expected.size()), c.expected) << c.name;
    }
}

TEST_F(FirmwareFace, KeepsUnreportedSettings)
{
    write(hex("1101"));
    EXPECT_EQ(pedal.state().trackingLimit, 1);
    QByteArray tuning(641, char(0x11));
    tuning[0] = 0x0E;
    write(tuning);
    EXPECT_EQ(pedal.state().tuningCoefficients, tuning.mid(1));
}

TEST_F(FirmwareFace, AnUploadedImageReplacesTheAlgorithm)
{
    const QByteArray image = syntheticImage(4512, 0x0013, 0x0100);
    write(image);
    EXPECT_EQ(answer(17), QByteArray("Upload complete\r\n"));
    EXPECT_EQ(pedal.installedImage(), image);
    EXPECT_EQ(pedal.parameterAddresses()[0], 0x0100);
    EXPECT_EQ(pedal.parameterAddresses()[9], 0); // Range has no header word

    write(hex("010025003FC000")); // the old Dry address means nothing now
    write(hex("010100007FE000"));
    const QList<int> v = status();
    EXPECT_EQ(v.mid(1, 2), (QList<int>{0, 0x13}));
    EXPECT_EQ(v.mid(26, 4), (QList<int>{0, 0x7F, 0xE0, 0}));
}

TEST_F(FirmwareFace, DefaultAddressesAreThoseOfVersion0012)
{
    const std::array<quint16, 16> expected{0x0025, 0x00ED, 0x00A5, 0x007B, 0x0002, 0x00CF, 0x00E3, 0x00A6,
                                           0x00EE, 0x0000, 0x000A, 0x0078, 0x00EC, 0x001B, 0x000C, 0x0006};
    EXPECT_EQ(pedal.parameterAddresses(), expected);
}

TEST_F(FirmwareFace, EepromReadDumpsAndEraseClears)
{
    QByteArray content(kEepromSize, 0);
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 7);
    pedal.setEeprom(0x51, content);

    write(hex("0C5100000000"));
    const QByteArray dump = answer(1 + kEepromSize);
    ASSERT_EQ(dump.size(), 1 + kEepromSize);
    EXPECT_EQ(quint8(dump[0]), 0xAB);
    EXPECT_EQ(dump.mid(1), content);

    write(hex("0B51000000"));
    EXPECT_EQ(pedal.eeprom(0x51), QByteArray(kEepromSize, char(0xFF)));
    EXPECT_EQ(pedal.eeprom(0x50), QByteArray(kEepromSize, char(0xFF)));
}

TEST_F(FirmwareFace, OnlyTheExactEntryMessageStartsTheBootloader)
{
    write(hex("0500010203040507"));
    EXPECT_EQ(pedal.face(), VirtualPedal::Face::Firmware);
    write(hex("0500010203040506"));
    EXPECT_EQ(pedal.face(), VirtualPedal::Face::Bootloader);
}

TEST_F(FirmwareFace, FirmwareIgnoresBytesSentWithEvenParity)
{
    Framing even;
    even.parity = 2;
    pedal.hostWrite(hex("0D01"), even);
    EXPECT_TRUE(pedal.received().isEmpty());
    EXPECT_EQ(pedal.state().bypass, 0);
}

TEST_F(FirmwareFace, StatusReplyFaults)
{
    const QByteArray full = pedal.statusReply();

    pedal.faults().cutReplyAfterBytes = 40;
    write(hex("0200"));
    QTest::qWait(50);
    EXPECT_EQ(fromPedal, full.left(40));

    pedal.faults() = Faults{};
    pedal.faults().garbleReply = true;
    fromPedal.clear();
    write(hex("0200"));
    const QByteArray garbled = answer(full.size());
    EXPECT_EQ(garbled.size(), full.size());
    EXPECT_FALSE(garbled.contains('\r'));
    EXPECT_FALSE(QRegularExpression("[0-9]").match(QString::fromLatin1(garbled)).hasMatch());

    pedal.faults() = Faults{};
    pedal.faults().splitReplyAtByte = 10;
    fromPedal.clear();
    QElapsedTimer clock;
    clock.start();
    write(hex("0200"));
    EXPECT_EQ(answer(10), full.left(10));
    EXPECT_EQ(answer(full.size()), full);
    EXPECT_GE(clock.elapsed(), 45);
}

TEST_F(FirmwareFace, SilenceAndSlowAnswers)
{
    pedal.faults().silent = true;
    write(hex("0200"));
    QTest::qWait(100);
    EXPECT_TRUE(fromPedal.isEmpty());
    EXPECT_EQ(pedal.received().size(), 1); // it still listens

    pedal.faults() = Faults{};
    pedal.faults().answerDelayMs = 150;
    QElapsedTimer clock;
    clock.start();
    write(hex("0200"));
    QTest::qWait(100);
    EXPECT_TRUE(fromPedal.isEmpty());
    EXPECT_FALSE(answer(1).isEmpty());
    EXPECT_GE(clock.elapsed(), 145);
}

TEST_F(FirmwareFace, UnplugsAfterTheChosenNumberOfMessages)
{
    QSignalSpy spy(&pedal, &VirtualPedal::unplugged);
    pedal.faults().unplugAfterMessages = 2;
    write(hex("0D01"));
    EXPECT_FALSE(pedal.isUnplugged());
    write(hex("0200"));
    EXPECT_TRUE(pedal.isUnplugged());
    EXPECT_EQ(spy.count(), 1);
    QTest::qWait(30);
    EXPECT_TRUE(fromPedal.isEmpty()); // the answer never left
    write(hex("0D00"));
    EXPECT_EQ(pedal.received().size(), 2);
}

TEST_F(FirmwareFace, RecordsEachMessageWithItsTime)
{
    QSignalSpy spy(&pedal, &VirtualPedal::messageReceived);
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    write(hex("0D010700"));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).value<ReceivedMessage>().bytes, hex("0700"));
    EXPECT_GE(pedal.received().at(0).msecsSinceEpoch, before);
    EXPECT_LE(pedal.received().at(0).msecsSinceEpoch, QDateTime::currentMSecsSinceEpoch());
}

TEST_F(FirmwareFace, LineRateTakesTheTimeOfTheBytes)
{
    pedal.setLineRate(true);
    QElapsedTimer clock;
    clock.start();
    write(syntheticImage(2048, 0x0012, 0x0025)); // 2048 bytes in, 17 out: about 180 ms
    EXPECT_TRUE(pedal.received().isEmpty());     // still on the wire
    EXPECT_EQ(answer(17, 3000), QByteArray("Upload complete\r\n"));
    const qint64 expectedMs = (2048 + 17) * 10 * 1000 / 115200;
    EXPECT_GE(clock.elapsed(), expectedMs - 2);
    EXPECT_LT(clock.elapsed(), expectedMs + 1000);
}

TEST(StepConversion, RoundsLevelsToTheNearestStep)
{
    const struct {
        quint32 value;
        int maxStep;
        quint32 step;
    } cases[] = {{0, 24, 0},         {0x7FE000, 24, 24}, {0x800000, 24, 24}, {21 * 8192, 24, 0},
                 {22 * 8192, 24, 1}, {0x7FE000, 16, 16}, {0x400000, 22, 11}};
    for (const auto &c : cases)
        EXPECT_EQ(levelValueToStep(c.value, c.maxStep), c.step) << c.value << " " << c.maxStep;
}

TEST_F(FirmwareFace, GarbledDigitsLeaveEveryLineWhereItWas)
{
    // Values that put every digit into the reply, so that none can slip through unchanged.
    for (int p = 0; p < 16; ++p)
        pedal.state().parameters[p] = 0x01234567u * quint32(p + 1);
    const QByteArray full = pedal.statusReply();
    for (char digit = '0'; digit <= '9'; ++digit)
        ASSERT_TRUE(full.contains(digit)) << digit;

    pedal.faults().garbleReplyDigits = true;
    write(hex("0200"));
    const QByteArray garbled = answer(full.size());
    ASSERT_EQ(garbled.size(), full.size());
    for (int i = 0; i < full.size(); ++i) {
        if (full[i] == '\r' || full[i] == '\n')
            EXPECT_EQ(garbled[i], full[i]) << "at " << i;
        else
            EXPECT_TRUE(garbled[i] != '\r' && garbled[i] != '\n' && !std::isdigit(quint8(garbled[i]))) << "at " << i;
    }
    // A reader splitting at CR LF finds all 90 fields, and not one of them a number.
    const QList<QByteArray> lines = garbled.split('\n');
    ASSERT_EQ(lines.size(), 91);
    for (const QByteArray &line : lines.mid(0, 90)) {
        bool number = false;
        line.trimmed().toInt(&number);
        EXPECT_FALSE(number) << line.constData();
    }
}

// A split status reply: where its pieces start and the quiet line before each.
struct SplitCase {
    const char *name;
    int splitAtByte; // the one-cut fault; -1 for none
    QList<int> splitAtBytes;
    int gapMs;         // -1 leaves the default
    int cutAfterBytes; // -1 for the whole reply
    bool lineRate;
    QList<int> pieceStarts; // past the first piece
    int expectedGapMs;
};
void PrintTo(const SplitCase &c, std::ostream *os)
{
    *os << c.name;
}

class SplitReply : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitReply, PiecesArriveWithTheChosenPauseBetweenThem)
{
    const SplitCase &c = GetParam();
    VirtualPedal pedal;
    pedal.setLineRate(c.lineRate);
    Faults &f = pedal.faults();
    f.splitReplyAtByte = c.splitAtByte;
    f.splitReplyAtBytes = c.splitAtBytes;
    if (c.gapMs >= 0)
        f.splitReplyGapMs = c.gapMs;
    f.cutReplyAfterBytes = c.cutAfterBytes;
    QByteArray expected = pedal.statusReply();
    if (c.cutAfterBytes >= 0)
        expected.truncate(c.cutAfterBytes);

    struct Arrival {
        int offset;
        qint64 ms;
    };
    QList<Arrival> arrivals;
    QByteArray got;
    QElapsedTimer clock;
    QObject::connect(&pedal, &VirtualPedal::toHost, &pedal, [&](const QByteArray &b) {
        arrivals.append({int(got.size()), clock.elapsed()});
        got += b;
    });
    clock.start();
    pedal.hostWrite(hex("0200"), Framing{});
    (void)QTest::qWaitFor([&] { return got.size() >= expected.size(); }, 3000);
    QTest::qWait(c.expectedGapMs + 20); // anything past the reply would show up now
    EXPECT_EQ(got, expected);

    QList<int> starts;
    for (const Arrival &a : arrivals.mid(1))
        starts << a.offset;
    if (!c.lineRate) { // at line rate the pieces come in line chunks too
        EXPECT_EQ(starts, c.pieceStarts);
    }
    for (int start : c.pieceStarts) {
        const int i = int(starts.indexOf(start)) + 1;
        ASSERT_GE(i, 1) << "no piece starts at " << start;
        const qint64 gap = arrivals[i].ms - arrivals[i - 1].ms;
        EXPECT_GE(gap, c.expectedGapMs - 2) << "before " << start;
        // Room for a busy machine, but not for the pause twice over.
        EXPECT_LT(gap, std::max(c.expectedGapMs + 40, 2 * c.expectedGapMs - 5)) << "before " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, SplitReply,
    ::testing::Values(SplitCase{"OneCutWithTheUsualPause", 10, {}, -1, -1, false, {10}, 50},
                      SplitCase{"OneCutWithAChosenPause", 10, {}, 120, -1, false, {10}, 120},
                      SplitCase{"SeveralCutsGivenInAnyOrder", -1, {200, 1, 100}, 60, -1, false, {1, 100, 200}, 60},
                      SplitCase{"BothKindsOfCutTogether", 37, {150}, 60, -1, false, {37, 150}, 60},
                      SplitCase{
                          "CutsAtTheEdgesOrTwiceMakeNoEmptyPiece", -1, {0, 50, 50, 5000}, 60, -1, false, {50}, 60},
                      SplitCase{"ACutShortReplySplitsWhatIsLeft", -1, {20, 60}, 60, 40, false, {20}, 60},
                      SplitCase{"PausesLongerThanATenthOfASecond", -1, {10, 120}, 250, -1, false, {10, 120}, 250},
                      // At line rate the pause is quiet line after the last byte of the piece before it.
                      SplitCase{"AtLineRateThePauseFollowsTheLastByte", -1, {200}, 30, -1, true, {200}, 30}),
    [](const ::testing::TestParamInfo<SplitCase> &info) { return std::string(info.param.name); });

namespace {

// The lines of the default status reply, each with its CR LF.
QList<QByteArray> replyLines()
{
    QList<QByteArray> lines;
    const QByteArray reply = buildStatusReply(PedalState{});
    for (qsizetype from = 0; from < reply.size();) {
        const qsizetype end = reply.indexOf("\r\n", from) + 2;
        lines << reply.mid(from, end - from);
        from = end;
    }
    return lines;
}

// A pedal whose every byte to the host is kept with the time it came, for the tables below.
class Listener {
public:
    explicit Listener(VirtualPedal &pedal)
    {
        clock.start();
        QObject::connect(&pedal, &VirtualPedal::toHost, &pedal, [this](const QByteArray &b) {
            arrivals.append({clock.elapsed(), b});
            bytes += b;
        });
        QObject::connect(&pedal, &VirtualPedal::unplugged, &pedal, [this] { unpluggedMs = clock.elapsed(); });
    }
    // The bytes once `count` came, and anything that follows within `quietMs`.
    std::string waitFor(qsizetype count, int quietMs = 100)
    {
        (void)QTest::qWaitFor([&] { return bytes.size() >= count; }, 3000);
        QTest::qWait(quietMs);
        return bytes.toStdString();
    }

    struct Arrival {
        qint64 ms;
        QByteArray bytes;
    };
    QElapsedTimer clock;
    QList<Arrival> arrivals;
    QByteArray bytes;
    qint64 unpluggedMs = -1;
};

} // namespace

TEST(SplitReplyPauses, APieceHeldUpByABusyEventLoopStillHasTheWholePauseAfterIt)
{
    VirtualPedal pedal;
    pedal.faults().splitReplyAtBytes = {10, 20};
    pedal.faults().splitReplyGapMs = 150;
    Listener listener(pedal);
    bool held = false;
    QObject::connect(&pedal, &VirtualPedal::toHost, &pedal, [&held] {
        if (!std::exchange(held, true))
            QThread::msleep(250); // the second piece, due at 150 ms, can only go at 250
    });
    pedal.hostWrite(hex("0200"), Framing{});
    const std::string full = pedal.statusReply().toStdString();
    ASSERT_EQ(listener.waitFor(qsizetype(full.size()), 200), full);
    ASSERT_EQ(listener.arrivals.size(), 3);
    EXPECT_GE(listener.arrivals[1].ms - listener.arrivals[0].ms, 248);
    EXPECT_GE(listener.arrivals[2].ms - listener.arrivals[1].ms, 148) << "the late piece ate into the pause after it";
}

// What a status request brings under the faults that change the reply's text.
struct ReplyTextCase {
    const char *name;
    std::function<void(Faults &)> fault;
    std::function<QByteArray(QList<QByteArray> lines)> expected; // from the default reply's lines
};
void PrintTo(const ReplyTextCase &c, std::ostream *os)
{
    *os << c.name;
}

class ReplyText : public ::testing::TestWithParam<ReplyTextCase> {};

TEST_P(ReplyText, IsWhatTheFaultMakesOfIt)
{
    VirtualPedal pedal;
    GetParam().fault(pedal.faults());
    Listener listener(pedal);
    pedal.hostWrite(hex("0200"), Framing{});
    const QByteArray expected = GetParam().expected(replyLines());
    EXPECT_EQ(listener.waitFor(expected.size()), expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, ReplyText,
    ::testing::Values(ReplyTextCase{"OnlyTheFirstValues", [](Faults &f) { f.replyValueCount = 3; },
                                    [](QList<QByteArray> lines) { return lines.mid(0, 3).join(); }},
                      ReplyTextCase{"NoValueAtAll", [](Faults &f) { f.replyValueCount = 0; },
                                    [](QList<QByteArray>) { return QByteArray(); }},
                      ReplyTextCase{"AllValuesWhenAskedForMore", [](Faults &f) { f.replyValueCount = 91; },
                                    [](QList<QByteArray> lines) { return lines.join(); }},
                      ReplyTextCase{"ValueTextsInTheirPlaces",
                                    [](Faults &f) {
                                        f.replyValueTexts = {{0, "x1"}, {25, "-1"}, {89, "300"}, {3, "007"}};
                                    },
                                    [](QList<QByteArray> lines) {
                                        lines[0] = "x1\r\n";
                                        lines[3] = "007\r\n";
                                        lines[25] = "-1\r\n";
                                        lines[89] = "300\r\n";
                                        return lines.join();
                                    }},
                      ReplyTextCase{"AnEmptyValueTextKeepsItsLine",
                                    [](Faults &f) {
                                        f.replyValueTexts = {{7, ""}};
                                    },
                                    [](QList<QByteArray> lines) {
                                        lines[7] = "\r\n";
                                        return lines.join();
                                    }},
                      ReplyTextCase{"ValueTextsPastTheReplyAddNothing",
                                    [](Faults &f) {
                                        f.replyValueTexts = {{-1, "7"}, {90, "7"}, {4, "x"}};
                                        f.replyValueCount = 3;
                                    },
                                    [](QList<QByteArray> lines) { return lines.mid(0, 3).join(); }},
                      ReplyTextCase{
                          "PrefixAndSuffixAroundTheReply",
                          [](Faults &f) {
                              f.replyPrefix = "\r\n";
                              f.replySuffix = QByteArray("ab\0\xFF", 4);
                          },
                          [](QList<QByteArray> lines) { return "\r\n" + lines.join() + QByteArray("ab\0\xFF", 4); }},
                      ReplyTextCase{"GarblingLeavesPrefixAndSuffixAlone",
                                    [](Faults &f) {
                                        f.replyPrefix = "1";
                                        f.replySuffix = "2";
                                        f.replyValueCount = 1;
                                        f.garbleReplyDigits = true;
                                    },
                                    [](QList<QByteArray>) { return QByteArray("1kk\r\n2"); }},
                      ReplyTextCase{"ACutCountsThePrefix",
                                    [](Faults &f) {
                                        f.replyPrefix = "\r\n";
                                        f.cutReplyAfterBytes = 5;
                                    },
                                    [](QList<QByteArray>) { return QByteArray("\r\n11\r"); }},
                      ReplyTextCase{"ACutCanTakeTheSuffix",
                                    [](Faults &f) {
                                        f.replyValueCount = 2;
                                        f.replySuffix = "xyz";
                                        f.cutReplyAfterBytes = 8;
                                    },
                                    [](QList<QByteArray>) { return QByteArray("11\r\n0\r\nx"); }}),
    [](const ::testing::TestParamInfo<ReplyTextCase> &info) { return std::string(info.param.name); });

// Only the first status requests get an answer; every other message is still handled.
struct AnsweredCase {
    const char *name;
    int answered;
    QList<QByteArray> messages;
    int replies;
};
void PrintTo(const AnsweredCase &c, std::ostream *os)
{
    *os << c.name;
}

class StatusRequestsAnswered : public ::testing::TestWithParam<AnsweredCase> {};

TEST_P(StatusRequestsAnswered, AreTheFirstOnes)
{
    const AnsweredCase &c = GetParam();
    VirtualPedal pedal;
    pedal.faults().statusRequestsAnswered = c.answered;
    Listener listener(pedal);
    for (const QByteArray &m : c.messages)
        pedal.hostWrite(m, Framing{});
    pedal.hostWrite(hex("0C5000000000"), Framing{}); // an EEPROM read, answered whatever the count

    const QByteArray dump = QByteArray(1, char(0xAB)) + QByteArray(kEepromSize, char(0xFF));
    const QByteArray expected = pedal.statusReply().repeated(c.replies) + dump;
    EXPECT_EQ(listener.waitFor(expected.size()), expected.toStdString());
    pedal.hostWrite(hex("0D01"), Framing{});
    EXPECT_EQ(pedal.state().bypass, 1);
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, StatusRequestsAnswered,
    ::testing::Values(AnsweredCase{"NoneWhenZero", 0, {hex("0200"), hex("0200")}, 0},
                      AnsweredCase{"TheFirstTwoOfThree", 2, {hex("0200"), hex("0200"), hex("0200")}, 2},
                      AnsweredCase{
                          "OnlyStatusRequestsCount", 1, {hex("0201"), hex("0D01"), hex("0200"), hex("0200")}, 1},
                      AnsweredCase{"EveryOneWithoutTheFault", -1, {hex("0200"), hex("0200"), hex("0200")}, 3}),
    [](const ::testing::TestParamInfo<AnsweredCase> &info) { return std::string(info.param.name); });

// Chatter: bytes nobody asked for, every period, for as long as the pedal is plugged in.
struct ChatterCase {
    const char *name;
    std::function<void(VirtualPedal &)> setUp;
    bool chatters;
};
void PrintTo(const ChatterCase &c, std::ostream *os)
{
    *os << c.name;
}

class Chatter : public ::testing::TestWithParam<ChatterCase> {};

TEST_P(Chatter, ComesUnaskedEveryPeriod)
{
    VirtualPedal pedal;
    Listener listener(pedal);
    GetParam().setUp(pedal);
    QTest::qWait(640);
    if (!GetParam().chatters) {
        EXPECT_EQ(listener.bytes.toStdString(), "");
        return;
    }
    // 80 ms apart: about 8 bursts, each a whole one; a busy machine may lose one or two.
    ASSERT_GE(listener.arrivals.size(), 5);
    EXPECT_LE(listener.arrivals.size(), 9);
    EXPECT_GE(listener.arrivals[0].ms, 70) << "the first burst comes a period after the fault";
    for (int i = 0; i < listener.arrivals.size(); ++i) {
        EXPECT_EQ(listener.arrivals[i].bytes.toStdString(), "abc\n") << "burst " << i;
        if (i > 0) {
            EXPECT_GE(listener.arrivals[i].ms - listener.arrivals[i - 1].ms, 60) << "burst " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, Chatter,
    ::testing::Values(ChatterCase{"FromAnIdlePedal",
                                  [](VirtualPedal &p) {
                                      p.faults().chatter = "abc\n";
                                      p.faults().chatterEveryMs = 80;
                                  },
                                  true},
                      ChatterCase{"EvenFromASilentOne",
                                  [](VirtualPedal &p) {
                                      p.faults().chatter = "abc\n";
                                      p.faults().chatterEveryMs = 80;
                                      p.faults().silent = true;
                                  },
                                  true},
                      ChatterCase{"WhileItAnswersLateRequests",
                                  [](VirtualPedal &p) {
                                      p.faults().chatter = "abc\n";
                                      p.faults().chatterEveryMs = 80;
                                      p.faults().answerDelayMs = 5000;
                                      p.hostWrite(hex("0200"), Framing{});
                                  },
                                  true},
                      ChatterCase{"NotWithoutBytes", [](VirtualPedal &p) { p.faults().chatterEveryMs = 80; }, false},
                      ChatterCase{"NotWithoutAPeriod", [](VirtualPedal &p) { p.faults().chatter = "abc\n"; }, false},
                      ChatterCase{"NotFromAPedalPulledOut",
                                  [](VirtualPedal &p) {
                                      p.faults().chatter = "abc\n";
                                      p.faults().chatterEveryMs = 80;
                                      p.unplug();
                                  },
                                  false},
                      ChatterCase{"NotWhenChosenForAPedalAlreadyPulledOut",
                                  [](VirtualPedal &p) {
                                      p.unplug();
                                      p.faults().chatter = "abc\n";
                                      p.faults().chatterEveryMs = 80;
                                  },
                                  false}),
    [](const ::testing::TestParamInfo<ChatterCase> &info) { return std::string(info.param.name); });

TEST(ChatterFaults, StopWhenClearedAndStartAgainWhenSet)
{
    VirtualPedal pedal;
    Listener listener(pedal);
    const auto chatter = [&pedal](int everyMs) {
        pedal.faults().chatter = "xy";
        pedal.faults().chatterEveryMs = everyMs;
    };
    chatter(40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.bytes.size() >= 4; }, 2000));
    pedal.faults() = Faults{};
    QTest::qWait(10); // a burst due in this moment may still come
    const qsizetype before = listener.bytes.size();
    QTest::qWait(200);
    EXPECT_EQ(listener.bytes.size(), before) << "chatter after the fault was cleared";
    chatter(40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return listener.bytes.size() >= before + 4; }, 2000)) << "no chatter again";
}

// Dying mid-reply: the first bytes of the status reply, then the pedal is pulled out.
struct DyingCase {
    const char *name;
    std::function<void(Faults &)> fault;
    QByteArray expected;
};
void PrintTo(const DyingCase &c, std::ostream *os)
{
    *os << c.name;
}

class DyingMidReply : public ::testing::TestWithParam<DyingCase> {};

TEST_P(DyingMidReply, SendsTheFirstBytesAndThenGoes)
{
    const DyingCase &c = GetParam();
    VirtualPedal pedal;
    c.fault(pedal.faults());
    Listener listener(pedal);
    pedal.hostWrite(hex("1101"), Framing{}); // a setting the reply does not report
    EXPECT_FALSE(pedal.isUnplugged()) << "only a status request kills it";
    pedal.hostWrite(hex("0200"), Framing{});
    EXPECT_TRUE(QTest::qWaitFor([&] { return pedal.isUnplugged(); }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(listener.bytes.toStdString(), c.expected.toStdString());
    if (!listener.arrivals.isEmpty()) {
        EXPECT_GE(listener.unpluggedMs - listener.arrivals.last().ms, kDyingPauseMs - 2)
            << "a host reading as bytes come had no time for the last of them";
    }
    pedal.hostWrite(hex("0200"), Framing{});
    QTest::qWait(50);
    EXPECT_EQ(listener.bytes.toStdString(), c.expected.toStdString());
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, DyingMidReply,
    ::testing::Values(DyingCase{"AfterSevenBytes", [](Faults &f) { f.dieAfterReplyBytes = 7; }, "11\r\n0\r\n"},
                      DyingCase{"BeforeItsFirstByte", [](Faults &f) { f.dieAfterReplyBytes = 0; }, ""},
                      DyingCase{"AfterAWholeReply", [](Faults &f) { f.dieAfterReplyBytes = 100000; },
                                buildStatusReply(PedalState{})},
                      DyingCase{"CountingThePrefix",
                                [](Faults &f) {
                                    f.replyPrefix = "\r\n";
                                    f.dieAfterReplyBytes = 4;
                                },
                                "\r\n11"},
                      DyingCase{"AfterThePiecesOfASplitReply",
                                [](Faults &f) {
                                    f.splitReplyAtBytes = {3};
                                    f.splitReplyGapMs = 120;
                                    f.dieAfterReplyBytes = 7;
                                },
                                "11\r\n0\r\n"},
                      DyingCase{"AfterALateAnswer",
                                [](Faults &f) {
                                    f.answerDelayMs = 150;
                                    f.dieAfterReplyBytes = 2;
                                },
                                "11"}),
    [](const ::testing::TestParamInfo<DyingCase> &info) { return std::string(info.param.name); });

// Stopping reading: after its messages the pedal takes nothing more, yet stays plugged in and
// sends what it has to.
struct StopReadingCase {
    const char *name;
    int stopAfter;
    bool lineRate;
    QList<QByteArray> writes;
    QList<QByteArray> read;  // the messages the pedal took
    int replies;             // status replies it sends
    QByteArray otherAnswers; // after them
};
void PrintTo(const StopReadingCase &c, std::ostream *os)
{
    *os << c.name;
}

class StopReading : public ::testing::TestWithParam<StopReadingCase> {};

TEST_P(StopReading, AfterTheChosenMessages)
{
    const StopReadingCase &c = GetParam();
    VirtualPedal pedal;
    pedal.setLineRate(c.lineRate);
    pedal.faults().stopReadingAfterMessages = c.stopAfter;
    pedal.faults().chatter = "z";
    pedal.faults().chatterEveryMs = 30;
    Listener listener(pedal);
    Framing eitherFace; // as on the pty, so that the bootloader takes bytes too
    eitherFace.parityKnown = false;
    for (const QByteArray &w : c.writes)
        pedal.hostWrite(w, eitherFace);
    QTest::qWait(200);

    QList<QByteArray> read;
    for (const auto &m : pedal.received())
        read << m.bytes;
    EXPECT_EQ(read, c.read);
    EXPECT_FALSE(pedal.isReading());
    EXPECT_FALSE(pedal.isUnplugged());
    EXPECT_EQ(QByteArray(listener.bytes).replace("z", "").toStdString(),
              (pedal.statusReply().repeated(c.replies) + c.otherAnswers).toStdString());
    EXPECT_TRUE(listener.bytes.contains('z')) << "a pedal that stops reading is still alive";
}

INSTANTIATE_TEST_SUITE_P(
    FirmwareFace, StopReading,
    ::testing::Values(
        StopReadingCase{"NeverWhenZero", 0, false, {hex("0200")}, {}, 0, {}},
        StopReadingCase{"AfterTwoButAnsweringTheSecond",
                        2,
                        false,
                        {hex("0D01"), hex("0200"), hex("0200"), hex("0D00")},
                        {hex("0D01"), hex("0200")},
                        1,
                        {}},
        StopReadingCase{"NotTheRestOfTheSameWrite", 1, false, {hex("020002000D00")}, {hex("0200")}, 1, {}},
        StopReadingCase{"NotWhatWasStillOnTheLine", 1, true, {hex("0200"), hex("0200")}, {hex("0200")}, 1, {}},
        StopReadingCase{"NorInTheBootloader",
                        3,
                        false,
                        {hex("0500010203040506"), hex("7F01FE01FE")},
                        {hex("0500010203040506"), hex("7F"), hex("01FE")},
                        0,
                        hex("797922000079")}),
    [](const ::testing::TestParamInfo<StopReadingCase> &info) { return std::string(info.param.name); });

TEST(StopReadingFaults, WhatCameMeanwhileIsLostAndWhatComesOnceClearedIsRead)
{
    VirtualPedal pedal;
    pedal.setLineRate(true); // so that a write can still be on the line when reading stops
    pedal.faults().stopReadingAfterMessages = 1;
    pedal.hostWrite(hex("0700"), Framing{});
    pedal.hostWrite(hex("0D01"), Framing{});
    pedal.hostWrite(hex("0D01"), Framing{});
    QTest::qWait(50);
    EXPECT_FALSE(pedal.isReading());
    pedal.faults().stopReadingAfterMessages = -1;
    EXPECT_TRUE(pedal.isReading());
    pedal.hostWrite(hex("0701"), Framing{});
    QTest::qWait(50);

    QList<QByteArray> read;
    for (const auto &m : pedal.received())
        read << m.bytes;
    EXPECT_EQ(read, (QList<QByteArray>{hex("0700"), hex("0701")}));
    EXPECT_EQ(pedal.state().bypass, 0);
}
