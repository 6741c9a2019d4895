// vadrelon-pedal-sim's fault options seen from the editor's end of its pseudo-terminal, with
// nothing of the editor in between: plain POSIX opens, writes, reads and polls.
#include "virtualpedal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kSim = QStringLiteral(VADRELON_BIN_DIR "/vadrelon-pedal-sim");
const QString kSerial = QStringLiteral("VPFAULT1");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray withXor(const char *text)
{
    QByteArray bytes = hex(text);
    char x = 0;
    for (char b : bytes)
        x ^= b;
    return bytes + x;
}

// The status reply of a pedal started with the program's defaults.
QByteArray defaultReply()
{
    return vadrelon::sim::buildStatusReply(vadrelon::sim::PedalState{});
}

// The reply's lines, each with its CR LF.
QList<QByteArray> linesOf(const QByteArray &reply)
{
    QList<QByteArray> lines;
    for (qsizetype from = 0; from < reply.size();) {
        const qsizetype end = reply.indexOf("\r\n", from);
        const qsizetype next = end < 0 ? reply.size() : end + 2;
        lines << reply.mid(from, next - from);
        from = next;
    }
    return lines;
}

// The program, announced in a folder of the test's own; ended by SIGTERM unless it ended itself.
class Sim {
public:
    explicit Sim(const QStringList &args)
    {
        announceDir_ = dir_.filePath("announce");
        process_.start(kSim, QStringList{"--serial", kSerial, "--announce-dir", announceDir_} + args);
        QByteArray line;
        while (!line.contains('\n') && process_.waitForReadyRead(5000))
            line += process_.readAllStandardOutput();
        port_ = QString::fromLocal8Bit(line.left(line.indexOf('\n')));
    }
    ~Sim()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    QString port() const { return port_; }
    QString announcement() const { return announceDir_ + '/' + kSerial + ".port"; }
    QProcess &process() { return process_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString announceDir_, port_;
};

// The editor's end of the pseudo-terminal, raw and non-blocking.
class EditorEnd {
public:
    struct Piece {
        qint64 ms; // since the last write
        QByteArray bytes;
    };

    explicit EditorEnd(const QString &port)
    {
        fd_ = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~EditorEnd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int fd() const { return fd_; }

    bool write(const QByteArray &bytes)
    {
        clock_.start();
        return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // What arrives until `count` bytes came or `ms` passed since the last write, piece by piece.
    QList<Piece> read(int count, int ms)
    {
        QList<Piece> pieces;
        int total = 0;
        while (total < count && clock_.elapsed() < ms) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, int(ms - clock_.elapsed())) <= 0 || !(p.revents & POLLIN))
                break;
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pieces.append({clock_.elapsed(), QByteArray(buffer, int(n))});
            total += int(n);
        }
        return pieces;
    }
    // Writes and returns all that came once `count` bytes did, and a moment later for extras.
    QByteArray exchange(const QByteArray &bytes, int count)
    {
        if (!write(bytes))
            return "write failed";
        QByteArray got = joined(read(count, 2000));
        clock_.start();
        return got + joined(read(1, 50));
    }
    // What arrives in the next `ms`, unasked.
    QList<Piece> listen(int ms)
    {
        clock_.start();
        return read(std::numeric_limits<int>::max(), ms);
    }
    // What arrives until the port hangs up, and whether it did within `ms`.
    std::pair<QByteArray, bool> untilHangUp(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        QByteArray got;
        while (clock.elapsed() < ms) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, int(ms - clock.elapsed())) <= 0)
                break;
            char buffer[512];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) {
                got += QByteArray(buffer, int(n));
                continue;
            }
            if (n == 0 || errno == EIO)
                return {got, true};
            if (errno != EAGAIN && errno != EINTR)
                break;
        }
        return {got, false};
    }
    // The events poll reports within `ms`; 0 if none.
    short waitFor(short events, int ms)
    {
        pollfd p{fd_, events, 0};
        return poll(&p, 1, ms) > 0 ? p.revents : 0;
    }

    static QByteArray joined(const QList<Piece> &pieces)
    {
        QByteArray all;
        for (const Piece &p : pieces)
            all += p.bytes;
        return all;
    }
    // When the byte at `offset` arrived.
    static qint64 arrivalOf(const QList<Piece> &pieces, int offset)
    {
        for (const Piece &p : pieces) {
            if (offset < p.bytes.size())
                return p.ms;
            offset -= int(p.bytes.size());
        }
        return -1;
    }

private:
    int fd_ = -1;
    QElapsedTimer clock_;
};

} // namespace

// What a status request brings back under each fault, read for a second.
struct ReplyCase {
    const char *name;
    QStringList options;
    std::function<void(const QByteArray &full, const QList<EditorEnd::Piece> &got)> check;
    int moreThanTheReply = 0; // bytes to wait for beyond the reply's own
};
void PrintTo(const ReplyCase &c, std::ostream *os)
{
    *os << c.name;
}

class StatusReplyOverThePty : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(StatusReplyOverThePty, ArrivesAsTheFaultSays)
{
    Sim sim(GetParam().options);
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);
    ASSERT_TRUE(end.write(hex("0200")));
    const QByteArray full = defaultReply();
    GetParam().check(full, end.read(full.size() + GetParam().moreThanTheReply + 1, 1000));
}

INSTANTIATE_TEST_SUITE_P(
    PedalSim, StatusReplyOverThePty,
    ::testing::Values(
        ReplyCase{"Silent",
                  {"--silent"},
                  [](const QByteArray &, const QList<EditorEnd::Piece> &got) { EXPECT_TRUE(got.isEmpty()); }},
        ReplyCase{"CutShort",
                  {"--cut-reply", "40"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      EXPECT_EQ(EditorEnd::joined(got), full.left(40));
                  }},
        ReplyCase{"SplitWithPauses",
                  {"--split-reply", "100,10", "--split-gap", "150"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      EXPECT_EQ(EditorEnd::joined(got), full);
                      for (int cut : {10, 100}) {
                          const qint64 pause = EditorEnd::arrivalOf(got, cut) - EditorEnd::arrivalOf(got, cut - 1);
                          EXPECT_GE(pause, 145) << "before byte " << cut;
                          EXPECT_LT(pause, 400) << "before byte " << cut;
                      }
                  }},
        ReplyCase{"GarbledDigitsKeepTheLines",
                  {"--garble", "digits"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      const QByteArray garbled = EditorEnd::joined(got);
                      ASSERT_EQ(garbled.size(), full.size());
                      for (int i = 0; i < full.size(); ++i) {
                          const bool framing = full[i] == '\r' || full[i] == '\n';
                          EXPECT_EQ(garbled[i] == full[i], framing) << "at " << i;
                          EXPECT_FALSE(std::isdigit(quint8(garbled[i]))) << "at " << i;
                      }
                  }},
        ReplyCase{"GarbledAllLosesTheLinesToo",
                  {"--garble", "all"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      const QByteArray garbled = EditorEnd::joined(got);
                      EXPECT_EQ(garbled.size(), full.size());
                      for (char c : garbled)
                          EXPECT_TRUE(c != '\r' && c != '\n' && !std::isdigit(quint8(c))) << int(c);
                  }},
        ReplyCase{"Delayed",
                  {"--answer-delay", "300"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      EXPECT_EQ(EditorEnd::joined(got), full);
                      EXPECT_GE(EditorEnd::arrivalOf(got, 0), 295);
                  }},
        ReplyCase{"SplitWithPausesLongerThanATenthOfASecond",
                  {"--split-reply", "10,100", "--split-gap", "300"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      EXPECT_EQ(EditorEnd::joined(got).toStdString(), full.toStdString());
                      for (int cut : {10, 100}) {
                          const qint64 pause = EditorEnd::arrivalOf(got, cut) - EditorEnd::arrivalOf(got, cut - 1);
                          EXPECT_GE(pause, 295) << "before byte " << cut;
                          EXPECT_LT(pause, 550) << "before byte " << cut;
                      }
                  }},
        ReplyCase{"OnlyTheFirstValues",
                  {"--reply-values", "5"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      const QByteArray reply = EditorEnd::joined(got);
                      EXPECT_EQ(reply.count("\r\n"), 5);
                      EXPECT_EQ(reply.toStdString(), linesOf(full).mid(0, 5).join().toStdString());
                  }},
        ReplyCase{"ValueTextsVerbatimInTheirPlaces",
                  {"--value-text", "25=-1", "--value-text", "0=x1", "--value-text", "3=300", "--value-text", "4=007",
                   "--value-text", "7=", "--value-text", "89=a\\tb"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      QList<QByteArray> lines = linesOf(full);
                      lines[0] = "x1\r\n";
                      lines[3] = "300\r\n";
                      lines[4] = "007\r\n";
                      lines[7] = "\r\n";
                      lines[25] = "-1\r\n";
                      lines[89] = "a\tb\r\n";
                      EXPECT_EQ(EditorEnd::joined(got).toStdString(), lines.join().toStdString());
                  }},
        ReplyCase{"GarbageBeforeAndAfter",
                  {"--reply-prefix", "\\r\\n", "--reply-suffix", "zz\\xFF\\\\"},
                  [](const QByteArray &full, const QList<EditorEnd::Piece> &got) {
                      EXPECT_EQ(EditorEnd::joined(got).toStdString(), ("\r\n" + full + "zz\xFF\\").toStdString());
                  },
                  5}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });

TEST(PedalSimUnplug, ThePortHangsUpAtTheChosenMessageAndTheAnnouncementGoes)
{
    Sim sim({"--unplug-after", "3"});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    ASSERT_TRUE(QFile::exists(sim.announcement()));
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);

    const QByteArray full = defaultReply();
    EXPECT_EQ(end.exchange(hex("0200"), full.size()), full);
    ASSERT_TRUE(end.write(hex("0D01")));
    EXPECT_EQ(end.waitFor(POLLIN, 200), 0) << "still plugged in after the second message";

    ASSERT_TRUE(end.write(hex("0200"))); // the third: pulled out before it can answer
    EXPECT_TRUE(end.waitFor(POLLIN, 3000) & POLLHUP);
    char byte = 0;
    errno = 0;
    const ssize_t n = ::read(end.fd(), &byte, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << "read " << n << ", errno " << errno;
    EXPECT_FALSE(QFile::exists(sim.port())) << "the device node is gone";

    ASSERT_TRUE(sim.process().waitForFinished(3000)) << "the program ends once its pedal is gone";
    EXPECT_EQ(sim.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.process().exitCode(), 0);
    EXPECT_FALSE(QFile::exists(sim.announcement()));
}

// The pedal pulled out by a fault: what the editor's end gets before it hangs up, and whether
// the announcement stays behind as a crashed pedal's would.
struct PulledCase {
    const char *name;
    QStringList options;
    QByteArray beforeHangUp;
    bool announcementStays;
};
void PrintTo(const PulledCase &c, std::ostream *os)
{
    *os << c.name;
}

class PulledOutOverThePty : public ::testing::TestWithParam<PulledCase> {};

TEST_P(PulledOutOverThePty, HangsUpAfterWhatItSent)
{
    const PulledCase &c = GetParam();
    Sim sim(c.options);
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    ASSERT_TRUE(QFile::exists(sim.announcement()));
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);

    ASSERT_TRUE(end.write(hex("0200")));
    QThread::msleep(300); // an editor busy elsewhere still gets what was sent before the hang-up
    const auto [got, hungUp] = end.untilHangUp(3000);
    EXPECT_EQ(got.toStdString(), c.beforeHangUp.toStdString());
    EXPECT_TRUE(hungUp);
    ASSERT_TRUE(sim.process().waitForFinished(3000)) << "the program ends once its pedal is gone";
    EXPECT_EQ(sim.process().exitCode(), 0);
    EXPECT_EQ(QFile::exists(sim.announcement()), c.announcementStays);
}

INSTANTIATE_TEST_SUITE_P(
    PedalSim, PulledOutOverThePty,
    ::testing::Values(
        PulledCase{"DyingMidReply", {"--die-mid-reply", "7"}, "11\r\n0\r\n", false},
        PulledCase{"DyingMidReplyLeavingTheAnnouncement",
                   {"--die-mid-reply", "7", "--leave-announcement"},
                   "11\r\n0\r\n",
                   true},
        PulledCase{"DyingAfterItsPrefix", {"--reply-prefix", "\\r\\n", "--die-mid-reply", "2"}, "\r\n", false},
        PulledCase{"DyingAfterAPauseInItsReply",
                   {"--split-reply", "3", "--split-gap", "300", "--die-mid-reply", "7"},
                   "11\r\n0\r\n",
                   false},
        PulledCase{"UnpluggedLeavingTheAnnouncement", {"--unplug-after", "1", "--leave-announcement"}, "", true}),
    [](const ::testing::TestParamInfo<PulledCase> &info) { return std::string(info.param.name); });

TEST(PedalSimLeaveAnnouncement, StillGoesWhenThePedalIsStoppedRatherThanPulledOut)
{
    Sim sim({"--leave-announcement"});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    ASSERT_TRUE(QFile::exists(sim.announcement()));
    sim.process().terminate();
    ASSERT_TRUE(sim.process().waitForFinished(3000));
    EXPECT_FALSE(QFile::exists(sim.announcement()));
}

TEST(PedalSimStatusRequests, OnlyTheFirstAreAnsweredAndEverythingElseStillIs)
{
    Sim sim({"--answer-status-requests", "2"});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);

    const QByteArray full = defaultReply();
    EXPECT_EQ(end.exchange(hex("0200"), full.size()), full);
    EXPECT_EQ(end.exchange(hex("0200"), full.size()), full);
    ASSERT_TRUE(end.write(hex("0200")));
    EXPECT_TRUE(end.read(1, 500).isEmpty()) << "the third status request was answered";

    const QByteArray dump = end.exchange(hex("0C5000000000"), 1 + vadrelon::sim::kEepromSize);
    ASSERT_EQ(dump.size(), 1 + vadrelon::sim::kEepromSize) << "an EEPROM read went unanswered";
    EXPECT_EQ(quint8(dump[0]), 0xAB);
    ASSERT_TRUE(end.write(hex("0200")));
    EXPECT_TRUE(end.read(1, 300).isEmpty()) << "a later status request was answered";
}

// Chatter: bytes nobody asked for, about every period.
struct ChatterCase {
    const char *name;
    const char *option;
    QByteArray burst;
    int everyMs;
};
void PrintTo(const ChatterCase &c, std::ostream *os)
{
    *os << c.name;
}

class ChatterOverThePty : public ::testing::TestWithParam<ChatterCase> {};

TEST_P(ChatterOverThePty, ArrivesUnaskedAboutEveryPeriod)
{
    const ChatterCase &c = GetParam();
    Sim sim({"--chatter", c.option});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);
    tcflush(end.fd(), TCIFLUSH); // what came before the port was opened

    const QByteArray got = EditorEnd::joined(end.listen(1000));
    const int bursts = int(got.size() / c.burst.size());
    EXPECT_EQ(got.toStdString(), c.burst.repeated(bursts).toStdString());
    // A busy machine may lose a few periods, but never makes more of them.
    EXPECT_GE(bursts, 1000 / c.everyMs / 2);
    EXPECT_LE(bursts, 1000 / c.everyMs + 1);
}

INSTANTIATE_TEST_SUITE_P(PedalSim, ChatterOverThePty,
                         ::testing::Values(ChatterCase{"FourBytesEvery50Ms", "4,50", "abc\n", 50},
                                           ChatterCase{"SixBytesEvery100Ms", "6,100", "abc\nab", 100}),
                         [](const ::testing::TestParamInfo<ChatterCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(PedalSimStopReading, TheEditorsWritesStallOnceTheKernelBufferIsFull)
{
    Sim sim({"--stop-reading-after", "2"});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);

    const QByteArray full = defaultReply();
    EXPECT_EQ(end.exchange(hex("0200"), full.size()), full);
    EXPECT_EQ(end.exchange(hex("0200"), full.size()), full) << "the message it stops at goes unread";
    ASSERT_TRUE(end.write(hex("0200")));
    EXPECT_TRUE(end.read(1, 300).isEmpty()) << "a message after it was read";

    // Bypass messages, so that a pedal still reading has work with every pair. The kernel
    // makes a little room now and then as it moves bytes between its buffers, so the writes
    // have stalled only once the port stays unwritable.
    const QByteArray block = hex("0D00").repeated(2048);
    qint64 accepted = 0;
    bool stalled = false;
    while (!stalled && accepted < (qint64(2) << 20)) {
        const ssize_t n = ::write(end.fd(), block.constData(), size_t(block.size()));
        if (n > 0) {
            accepted += n;
            continue;
        }
        ASSERT_TRUE(n < 0 && errno == EAGAIN) << "write gave " << n << ", errno " << errno;
        stalled = end.waitFor(POLLOUT, 500) == 0;
    }
    EXPECT_TRUE(stalled) << "the port still takes bytes after " << accepted;
    EXPECT_LT(accepted, qint64(1) << 20) << "more went in than the kernel's buffers hold";
    EXPECT_EQ(end.waitFor(POLLHUP, 0), 0) << "the port hung up";
    EXPECT_EQ(sim.process().state(), QProcess::Running);
}

// A NACK chosen on the command line, over the pseudo-terminal (which carries no parity, so the
// bootloader takes the bytes as they come): the frames before the refused one are acknowledged,
// and the bootloader then waits for a command again.
struct NackCase {
    const char *name;
    const char *option;
    QList<QByteArray> frames; // up to the refused one, which is last
};
void PrintTo(const NackCase &c, std::ostream *os)
{
    *os << c.name;
}

class NackOverThePty : public ::testing::TestWithParam<NackCase> {};

TEST_P(NackOverThePty, ComesAtTheChosenStep)
{
    const NackCase &c = GetParam();
    Sim sim({"--bootloader", "--nack", c.option});
    ASSERT_TRUE(sim.port().startsWith("/dev/")) << "the virtual pedal did not start";
    EditorEnd end(sim.port());
    ASSERT_GE(end.fd(), 0);

    ASSERT_EQ(end.exchange(hex("7F"), 1), hex("79"));
    for (int i = 0; i + 1 < c.frames.size(); ++i)
        EXPECT_EQ(end.exchange(c.frames[i], 1), hex("79")) << "step " << i;
    EXPECT_EQ(end.exchange(c.frames.last(), 1), hex("1F"));
    EXPECT_EQ(end.exchange(hex("01FE"), 5), hex("7922000079"));
}

INSTANTIATE_TEST_SUITE_P(
    PedalSim, NackOverThePty,
    ::testing::Values(
        NackCase{"WriteAtItsAddress", "write:address", {hex("31CE"), withXor("08000000")}},
        NackCase{"WriteByItsByteAtItsData", "0x31:data", {hex("31CE"), withXor("08000000"), withXor("03DEADBEEF")}},
        NackCase{"EraseWithoutAStepAtItsPageList", "erase", {hex("43BC"), withXor("0000")}},
        NackCase{"EraseByItsByteAtItsCommand", "0x43:command", {hex("43BC")}},
        NackCase{"ReadWithoutAStepAtItsCount", "read", {hex("11EE"), withXor("08000000"), hex("0FF0")}},
        NackCase{"GoInCapitalsAtItsAddress", "GO:Address", {hex("21DE"), withXor("08000000")}}),
    [](const ::testing::TestParamInfo<NackCase> &info) { return std::string(info.param.name); });

// Fault options the program cannot make sense of: it says which and serves nothing.
struct BadOptionCase {
    const char *name;
    QStringList options;
};
void PrintTo(const BadOptionCase &c, std::ostream *os)
{
    *os << c.name;
}

class BadFaultOption : public ::testing::TestWithParam<BadOptionCase> {};

TEST_P(BadFaultOption, IsRefusedBeforeAnyPortIsServed)
{
    const QStringList &options = GetParam().options;
    QTemporaryDir dir;
    QProcess sim;
    sim.start(kSim, QStringList{"--announce-dir", dir.path()} + options);
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 1);
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
    const QString option = options[0].section('=', 0, 0);
    EXPECT_TRUE(QString::fromLocal8Bit(sim.readAllStandardError()).contains(option)) << qPrintable(option);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(PedalSim, BadFaultOption,
                         ::testing::Values(BadOptionCase{"NackAtAStepTheCommandHasNot", {"--nack", "get:address"}},
                                           BadOptionCase{"NackOfACommandThePedalHasNot", {"--nack", "0x44"}},
                                           BadOptionCase{"NackAtAnUnknownStep", {"--nack", "write:verify"}},
                                           BadOptionCase{"NackWithTooManyParts", {"--nack", "write:data:1"}},
                                           BadOptionCase{"SplitAtByteZero", {"--split-reply", "0"}},
                                           BadOptionCase{"SplitAtSomethingElse", {"--split-reply", "10,x"}},
                                           BadOptionCase{"NegativeSplitGap", {"--split-gap=-5"}},
                                           BadOptionCase{"NegativeCut", {"--cut-reply=-1"}},
                                           BadOptionCase{"UnknownGarbleMode", {"--garble", "some"}},
                                           BadOptionCase{"UnplugBeforeAnyMessage", {"--unplug-after", "0"}},
                                           BadOptionCase{"MoreValuesThanTheReplyHas", {"--reply-values", "91"}},
                                           BadOptionCase{"NegativeValues", {"--reply-values=-1"}},
                                           BadOptionCase{"ValueTextPastTheReply", {"--value-text", "90=1"}},
                                           BadOptionCase{"ValueTextWithoutAnIndex", {"--value-text", "x=1"}},
                                           BadOptionCase{"ValueTextWithoutEquals", {"--value-text", "25"}},
                                           BadOptionCase{"UnknownEscape", {"--reply-prefix", "\\q"}},
                                           BadOptionCase{"ShortHexEscape", {"--reply-suffix", "\\x4"}},
                                           BadOptionCase{"TrailingBackslash", {"--value-text", "1=a\\"}},
                                           BadOptionCase{"NegativeAnswerCount", {"--answer-status-requests=-1"}},
                                           BadOptionCase{"ChatterWithoutAPeriod", {"--chatter", "4"}},
                                           BadOptionCase{"ChatterOfNoBytes", {"--chatter", "0,50"}},
                                           BadOptionCase{"ChatterEveryZeroMs", {"--chatter", "4,0"}},
                                           BadOptionCase{"DyingBeforeByteZero", {"--die-mid-reply=-1"}},
                                           BadOptionCase{"StopReadingBeforeMessageZero", {"--stop-reading-after=-1"}}),
                         [](const ::testing::TestParamInfo<BadOptionCase> &info) {
                             return std::string(info.param.name);
                         });
