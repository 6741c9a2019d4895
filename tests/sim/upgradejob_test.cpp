// The firmware upgrade job against the in-process virtual pedal waiting in its bootloader:
// what reaches the pedal, in which order, what the flash holds afterwards, and how the job
// ends when a step is refused, the flash does not take a byte, or the pedal falls silent.
#include "base/consolelog.h"
#include "device/jobs.h"
#include "firmware/upgradejob.h"
#include "inprocessdriver.h"
#include "support/frames.h"
#include "support/printers.h"
#include "support/synthetic_images.h"
#include "support/waitfor.h"
#include "virtualpedal.h"

#include <QDateTime>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace vadrelon;
using Step = sim::BootloaderStep;

namespace {

using vadrelon::test::hex;
using vadrelon::test::withXor;

constexpr quint8 kNewVersion = 12; // the pedal runs 11 before the upgrade

QByteArray address(quint32 a)
{
    char bytes[4];
    qToBigEndian(a, bytes);
    return withXor(QByteArray(bytes, 4));
}

// What the bootloader should receive for an image, step by step: the erase, each block's
// write (the last one filled up with FF to whole words), each block's read of its own bytes,
// then the version record and Go.
struct Frames {
    QList<QByteArray> erase, write, read, start;
};

Frames framesFor(const QByteArray &image, quint8 version)
{
    Frames f;
    f.erase = {hex("43BC"), hex("FF00")};
    for (int at = 0; at < image.size(); at += 256) {
        const QByteArray block = image.mid(at, 256);
        QByteArray written = block;
        while (written.size() % 4 != 0)
            written += char(0xFF);
        const quint8 n = quint8(block.size() - 1);
        f.write << hex("31CE") << address(0x08000000u + quint32(at)) << withXor(char(written.size() - 1) + written);
        f.read << hex("11EE") << address(0x08000000u + quint32(at)) << (QByteArray(1, char(n)) + char(~n));
    }
    f.start = {hex("31CE"), address(0x0801FC00), withXor(hex("07") + QByteArray(7, '\0') + char(version)), hex("21DE"),
               address(0x08000000)};
    return f;
}

// A frame short enough to read whole, or its ends and length.
std::string shown(const QByteArray &frame)
{
    if (frame.size() <= 16)
        return frame.toHex(' ').toStdString();
    return frame.left(4).toHex(' ').toStdString() + " … " + frame.right(6).toHex(' ').toStdString() + " (" +
           std::to_string(frame.size()) + " bytes)";
}

::testing::AssertionResult sameFrames(const QList<sim::ReceivedMessage> &got, const QList<QByteArray> &want)
{
    for (int i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i].bytes != want[i])
            return ::testing::AssertionFailure() << "frame " << i << ": the pedal received " << shown(got[i].bytes)
                                                 << " where " << shown(want[i]) << " was due";
    }
    if (got.size() != want.size()) {
        const std::string extra =
            got.size() > want.size() ? "; the first extra one: " + shown(got[want.size()].bytes) : std::string();
        return ::testing::AssertionFailure()
               << "the pedal received " << got.size() << " frames, " << want.size() << " were due" << extra;
    }
    return ::testing::AssertionSuccess();
}

struct Case {
    const char *name;
    int imageSize;
    std::function<void(sim::Faults &)> fault;              // empty: the pedal does all it is asked
    int faultFrom = 0;                                     // the frame of the upgrade from which the fault holds
    std::function<QList<QByteArray>(const Frames &)> sent; // all that reaches the pedal
    const char *error = nullptr;                           // none: the upgrade goes through
    bool waitsOutTheBound = false;
    ErrorCode code = ErrorCode::UpgradeFailed; // with error: what kind of failure
};
void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

std::function<void(sim::Faults &)> nack(int command, Step step)
{
    return [=](sim::Faults &f) {
        f.nackAtBootloaderCommand = command;
        f.nackAtBootloaderStep = step;
    };
}

QList<QByteArray> everything(const Frames &f)
{
    return f.erase + f.write + f.read + f.start;
}

class Upgrade : public ::testing::Test {
protected:
    // A pedal that came up in its bootloader, greeted by the link that opened it.
    void SetUp() override
    {
        Timing timing;
        timing.scale = 0.1;
        link.setTiming(timing);
        driver.attach(&pedal);
        pedal.startInBootloader();
        ASSERT_TRUE(link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), true)));
        ASSERT_TRUE(test::waitFor([this] { return !link.busy(); }));
        ASSERT_EQ(link.state(), LinkState::Bootloader);
        pedal.clearReceived();
    }

    int answerBoundMs() const { return link.timing().scaled(link.timing().bootloaderAnswerBoundMs); }

    // Runs the upgrade to its end, and on a while after it to see whether it ends again.
    void upgrade(const QByteArray &image)
    {
        auto job = std::make_unique<FirmwareUpgradeJob>(image, kNewVersion);
        job->onProgress([this](const FirmwareUpgradeJob::Progress &p) { progress << p; });
        job->whenFinished([this](const std::optional<Error> &e) {
            ++results;
            error = e;
            endedAtMs = QDateTime::currentMSecsSinceEpoch();
        });
        ASSERT_TRUE(link.run(std::move(job)));
        ASSERT_TRUE(test::waitFor([this] { return results > 0; }, 20000));
        QTest::qWait(3 * answerBoundMs());
    }

    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    ConsoleLog log;
    UsbTransport transport{driver};
    PedalLink link{transport, log};

    int results = 0;
    std::optional<Error> error;
    qint64 endedAtMs = 0;
    QList<FirmwareUpgradeJob::Progress> progress;
};

class UpgradeJob : public Upgrade, public ::testing::WithParamInterface<Case> {};

// The upgrade goes on only while the pedal acknowledges, and ends exactly once: after Go with
// the new firmware running, or at the first step that fails, with nothing sent after it. A
// failed write or verify in particular is never followed by the version record or Go.
TEST_P(UpgradeJob, GoesOnOnlyWhileAcknowledgedAndEndsOnce)
{
    const Case &c = GetParam();
    const QByteArray image = MakeFirmwareImage(11, c.imageSize);
    ASSERT_EQ(image.size(), c.imageSize);
    if (c.fault) {
        QObject::connect(&pedal, &sim::VirtualPedal::messageReceived, &pedal, [this, &c](const sim::ReceivedMessage &) {
            if (pedal.received().size() == c.faultFrom + 1)
                c.fault(pedal.faults());
        });
    }
    upgrade(image);

    EXPECT_EQ(results, 1);
    EXPECT_FALSE(link.busy());
    const QList<sim::ReceivedMessage> got = pedal.received();
    EXPECT_TRUE(sameFrames(got, c.sent(framesFor(image, kNewVersion))));
    ASSERT_FALSE(got.isEmpty());
    // Ended within the answer bound of the last frame sent; a silent pedal only at the bound.
    const qint64 endedAfterMs = endedAtMs - got.last().msecsSinceEpoch;
    EXPECT_LE(endedAfterMs, answerBoundMs() + 400);
    if (c.waitsOutTheBound) {
        EXPECT_GE(endedAfterMs, answerBoundMs() - 5);
    }

    if (c.error) {
        EXPECT_EQ(error, (Error{c.code, c.error}));
        EXPECT_EQ(pedal.face(), sim::VirtualPedal::Face::Bootloader);
        return;
    }
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(pedal.face(), sim::VirtualPedal::Face::Firmware);
    EXPECT_EQ(pedal.state().firmwareVersion, kNewVersion);
    EXPECT_EQ(link.state(), LinkState::Linked);
    QByteArray flash(128 * 1024, char(0xFF));
    flash.replace(0, image.size(), image);
    flash.replace(0x1FC00, 8, QByteArray(7, '\0') + char(kNewVersion));
    EXPECT_EQ(pedal.flash(), flash);
    const int restOfLastWord = (4 - int(image.size()) % 4) % 4;
    EXPECT_EQ(pedal.flash().mid(image.size(), restOfLastWord), QByteArray(restOfLastWord, char(0xFF)));

    ASSERT_FALSE(progress.isEmpty());
    for (int i = 1; i < progress.size(); ++i) {
        EXPECT_LE(progress[i - 1].phase, progress[i].phase) << i;
        EXPECT_LE(progress[i - 1].percent, progress[i].percent) << i;
    }
    const auto hasPhase = [&](FirmwareUpgradeJob::Phase phase) {
        return std::any_of(progress.begin(), progress.end(), [&](const auto &p) { return p.phase == phase; });
    };
    for (auto phase : {FirmwareUpgradeJob::Phase::Erase, FirmwareUpgradeJob::Phase::Write,
                       FirmwareUpgradeJob::Phase::Verify, FirmwareUpgradeJob::Phase::Start})
        EXPECT_TRUE(hasPhase(phase)) << int(phase);
    EXPECT_EQ(progress.last().percent, 100);
}

// 1000 bytes: four blocks, the last of 232. Frames 0-1 are the erase, 2-13 the writes (three
// a block), 14-25 the reads, 26-28 the version record and 29-30 Go.
INSTANTIATE_TEST_SUITE_P(
    InProcessPedal, UpgradeJob,
    ::testing::Values(
        Case{"Succeeds", 1000, {}, 0, everything},
        // Write Memory takes whole words: the last block is filled up with FF for the write,
        // and only its own bytes are read back.
        Case{"LastBlockOneByteOverAWord", 1001, {}, 0, everything},
        Case{"LastBlockTwoBytesOverAWord", 1002, {}, 0, everything},
        Case{"LastBlockThreeBytesOverAWord", 1003, {}, 0, everything},
        Case{"ImageOf52377Bytes", 52377, {}, 0, everything},
        Case{"NackAtTheEraseCommand", 1000, nack(0x43, Step::Command), 0,
             [](const Frames &f) { return f.erase.mid(0, 1); }, "the erase command: the pedal answered NACK"},
        Case{"NackAtTheGlobalErase", 1000, nack(0x43, Step::Erase), 0, [](const Frames &f) { return f.erase; },
             "the erase of the whole flash: the pedal answered NACK"},
        Case{"NackAtTheFirstWriteCommand", 1000, nack(0x31, Step::Command), 0,
             [](const Frames &f) { return f.erase + f.write.mid(0, 1); },
             "the write command for block 0 (0x08000000): the pedal answered NACK"},
        Case{"NackAtTheAddressOfTheThirdBlock", 1000, nack(0x31, Step::Address), 9,
             [](const Frames &f) { return f.erase + f.write.mid(0, 8); },
             "the address of block 2 (0x08000200): the pedal answered NACK"},
        Case{"NackAtTheDataOfTheLastBlock", 1000, nack(0x31, Step::Data), 13,
             [](const Frames &f) { return f.erase + f.write; },
             "the data of block 3 (0x08000300): the pedal answered NACK"},
        Case{"NackAtTheFirstReadCommand", 1000, nack(0x11, Step::Command), 0,
             [](const Frames &f) { return f.erase + f.write + f.read.mid(0, 1); },
             "the read command for block 0 (0x08000000): the pedal answered NACK"},
        Case{"NackAtTheReadAddressOfTheSecondBlock", 1000, nack(0x11, Step::Address), 18,
             [](const Frames &f) { return f.erase + f.write + f.read.mid(0, 5); },
             "the read address of block 1 (0x08000100): the pedal answered NACK"},
        Case{"NackAtTheReadOfTheLastBlock", 1000, nack(0x11, Step::Count), 25,
             [](const Frames &f) { return f.erase + f.write + f.read; },
             "the read of block 3 (0x08000300): the pedal answered NACK"},
        Case{"NackAtTheVersionRecord", 1000, nack(0x31, Step::Data), 28,
             [](const Frames &f) { return f.erase + f.write + f.read + f.start.mid(0, 3); },
             "the version record (0x0801FC00): the pedal answered NACK"},
        Case{"NackAtGo", 1000, nack(0x21, Step::Command), 0,
             [](const Frames &f) { return f.erase + f.write + f.read + f.start.mid(0, 4); },
             "the start command: the pedal answered NACK", false, ErrorCode::StartNotConfirmed},
        Case{"NackAtTheGoAddress", 1000, nack(0x21, Step::Address), 0, everything,
             "the start address (0x08000000): the pedal answered NACK", false, ErrorCode::StartNotConfirmed},
        // The image has 00 at offset 10, which reads back 01: a check that fails writes the
        // image once more, and when that fails too nothing is started.
        Case{"VerifyFindsAByteThatDidNotTake", 1000, [](sim::Faults &f) { f.stuckBitOffset = 10; }, 0,
             [](const Frames &f) {
                 const QList<QByteArray> attempt = f.erase + f.write + f.read;
                 return attempt + attempt;
             },
             "the check of what was written: the flash at 0x0800000A reads back 01 where the image has 00, after "
             "writing it twice"},
        Case{"SilenceAtTheDataOfTheThirdBlock", 1000, [](sim::Faults &f) { f.silent = true; }, 10,
             [](const Frames &f) { return f.erase + f.write.mid(0, 9); },
             "the data of block 2 (0x08000200): the pedal did not answer", true},
        Case{"SilenceAtTheReadBack", 1000, [](sim::Faults &f) { f.silent = true; }, 20,
             [](const Frames &f) { return f.erase + f.write + f.read.mid(0, 7); },
             "the read command for block 2 (0x08000200): the pedal did not answer", true}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });

// The console shows the last block of an odd image as it goes out: its own bytes in the split,
// the whole words in the frame.
TEST_F(Upgrade, TracesTheLastBlockOfAnOddImageAsWritten)
{
    upgrade(MakeFirmwareImage(11, 52377));
    ASSERT_EQ(error, std::nullopt);
    const QStringList &lines = log.lines();
    EXPECT_TRUE(lines.contains("num of chunks: 204"));
    EXPECT_TRUE(lines.contains("num of bytes last chunk: 153"));
    const qsizetype last = lines.lastIndexOf("Address: 0800CC00");
    ASSERT_GE(last, 0);
    EXPECT_EQ(lines.mid(last + 2, 3), QStringList({"SEND N BYTE + DATA + CHECKSUM", "N_byte: 9B", "chunk size: 156"}));
}

} // namespace
