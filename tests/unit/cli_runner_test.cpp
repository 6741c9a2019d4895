// The command runner over the in-process virtual pedal, with a port that takes bytes slowly
// or not at all: the program's answer comes only once its last message is out, and a port
// that takes no more ends the command with one line instead of a hang.
#include "base/consolelog.h"
#include "cli/runner.h"
#include "content/tuning.h"
#include "device/jobs.h"
#include "device/transport.h"
#include "inprocessdriver.h"
#include "support/printers.h"
#include "support/synthetic_images.h"
#include "support/waitfor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vadrelon;
using namespace vadrelon::cli;

namespace {

// A port that takes a few bytes a write (one, unless told) and has room again a moment later,
// or (stalled) none.
class TricklingDriver : public sim::InProcessDriver {
public:
    using InProcessDriver::InProcessDriver;
    bool stalled = false;
    quint32 bytesPerWrite = 1;

    FT_STATUS write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten) override
    {
        bytesWritten = 0;
        if (stalled)
            return FT_OK;
        const FT_STATUS status = InProcessDriver::write(handle, buffer, std::min(toWrite, bytesPerWrite), bytesWritten);
        if (bytesWritten < toWrite)
            QTimer::singleShot(5, this, [this] { emit writable(); });
        return status;
    }
};

class CliRunner : public ::testing::Test {
protected:
    void SetUp() override { driver.attach(&pedal); }
    // Runs the command line to its end; the exit status, or -1 when it never ends.
    int run(const QStringList &args)
    {
        const auto parsed = parseCommandLine(args);
        const CommandLine *line = std::get_if<CommandLine>(&parsed);
        if (!line) {
            ADD_FAILURE() << "refused: " << std::get<UsageError>(parsed).message.toStdString();
            return -1;
        }
        Streams streams{[this](const QString &t) { out += t; }, [this](const QString &t) { err += t; }, false, {}};
        const auto discover = [this] {
            return Discovered{{PortInfo{QString(), pedal.serialNumber, pedal.description, true, 0}}, {}};
        };
        CommandRunner runner(*line, link, streams, discover);
        int exitCode = -1;
        QObject::connect(&runner, &CommandRunner::finished, [&](int code) { exitCode = code; });
        runner.start();
        test::waitFor([&] { return exitCode >= 0; }, 10000);
        return exitCode;
    }
    QStringList received() const
    {
        QStringList out;
        for (const sim::ReceivedMessage &m : pedal.received())
            out << QString::fromLatin1(m.bytes.toHex(' ').toUpper());
        return out;
    }

    sim::VirtualPedal pedal;
    TricklingDriver driver;
    UsbTransport transport{driver};
    ConsoleLog log;
    PedalLink link{transport, log};
    QString out, err;
};

TEST_F(CliRunner, TheAnswerWaitsUntilTheLastMessageIsOut)
{
    ASSERT_EQ(run({"--yes", "instrument", "bass"}), 0) << err.toStdString();
    EXPECT_EQ(received(), QStringList{"0F BA 02 03 04 05 06 B3"}) << "all eight bytes before the port closed";
    EXPECT_EQ(out, "Instrument: bass\n");
    EXPECT_EQ(err, "");
}

// A job cut off where it stands (the program quits, the cable is pulled) says how it leaves
// the pedal; the link keeps that for the next request's silence.
TEST_F(CliRunner, AJobCutOffSaysHowThePedalIsLeft)
{
    driver.bytesPerWrite = 8192;
    struct Case {
        const char *what;
        std::function<std::unique_ptr<Job>()> job;
        QString state;
    };
    const Case cases[] = {
        {"a tuning data upload whose table the port does not take", [] { return tuningDataUploadJob(); },
         "the tuning data upload was interrupted after 2 of 643 bytes; the pedal may hold only part of it: upload "
         "again"},
        {"an algorithm image the port does not take",
         [] { return UploadJob::fromFile(MakeAlgorithmImage(0x0012), QByteArray::fromHex("0D01")); },
         "the algorithm upload was interrupted after 0 of 4512 bytes; the pedal may wait for the rest: upload again"},
        {"a message and its pause", [] { return std::make_unique<SendJob>(QByteArray::fromHex("0D01"), 600); }, ""},
    };
    QString remembered;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        driver.stalled = false;
        ASSERT_TRUE(link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false)));
        pedal.clearReceived();
        ASSERT_TRUE(link.run(c.job()));
        ASSERT_TRUE(test::waitFor([&] { return pedal.received().size() == 1; })) << "the bypass";
        driver.stalled = true;
        QTest::qWait(500); // past the pause after the bypass: the rest is handed to the port
        EXPECT_EQ(link.interruptedState(), c.state);
        link.unlink();
        // Nothing at stake leaves what an earlier cut left, for the pedal may still wait for it.
        if (!c.state.isEmpty())
            remembered = c.state;
        EXPECT_EQ(link.lastInterruption(), remembered);
    }
}

TEST_F(CliRunner, APortThatTakesNoMoreEndsTheCommandInOneLine)
{
    driver.stalled = true;
    link.setTiming(Timing{0.05}); // the write bound in a tenth of a second
    EXPECT_EQ(run({"midi", "omni"}), kFailureExitCode);
    EXPECT_EQ(err, "vadrelon: The pedal stopped taking data (2 bytes not sent). Check the cable and run the command "
                   "again.\n");
    EXPECT_EQ(out, "");
    EXPECT_FALSE(link.isLinked());
}

// An upload with the pauses and bounds shortened: the pedal's answer is the command's answer,
// and a pedal that gives none fails the command.
TEST_F(CliRunner, AnAlgorithmUploadEndsWithThePedalsAnswerOrFails)
{
    link.setTiming(Timing{0.05});
    driver.bytesPerWrite = 4096;
    QTemporaryDir dir;
    QFile image(dir.filePath("0012.dat"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(MakeAlgorithmImage(0x0012));
    image.close();
    const QStringList command{"--yes", "algorithm", "upload", image.fileName()};

    ASSERT_EQ(run(command), 0) << err.toStdString();
    EXPECT_EQ(out, "Upload complete\n");
    ASSERT_EQ(received().size(), 2);
    EXPECT_EQ(received()[0], "0D 01");

    out.clear();
    pedal.clearReceived();
    pedal.faults().silent = true;
    EXPECT_EQ(run(command), kFailureExitCode);
    EXPECT_EQ(err, "vadrelon: The pedal did not answer the algorithm upload. Check that it is powered and its cable "
                   "plugged in, then run the command again.\n");
    EXPECT_EQ(out, "");
    EXPECT_EQ(received().size(), 2) << "the bypass and the image went out";

    // An answer that is not "Upload complete" is a failure that says what the pedal said.
    err.clear();
    pedal.faults().silent = false;
    pedal.faults().uploadAnswer = "Checksum error!\r\n";
    EXPECT_EQ(run(command), kFailureExitCode);
    EXPECT_EQ(err, "vadrelon: The pedal answered \"Checksum error!\", not \"Upload complete\": it may not have taken "
                   "the algorithm. Run the command again.\n");
    EXPECT_EQ(out, "");
}

} // namespace
