// The virtual pedal's bootloader, served on a pseudo-terminal, against stm32flash: read,
// write with verify, go; then the firmware it starts answers a status request on the same port.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kSim = QStringLiteral(VADRELON_BIN_DIR "/vadrelon-pedal-sim");

struct ToolRun {
    int exitCode = -1;
    QByteArray output;
};

ToolRun runTool(const QString &program, const QStringList &args, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.output = "timed out: " + p.readAll();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = p.readAll();
    return r;
}

// Writes bytes to the port and reads until `count` bytes came or `timeoutMs` passed.
QByteArray talk(const QString &port, const QByteArray &bytes, int count, int timeoutMs)
{
    const int fd = ::open(QFile::encodeName(port).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return {};
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    QByteArray got;
    if (::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size()) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (got.size() < count && elapsed.elapsed() < timeoutMs) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, int(timeoutMs - elapsed.elapsed())) <= 0)
                break;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
        }
    }
    ::close(fd);
    return got;
}

} // namespace

TEST(Stm32flash, WritesVerifiesReadsAndStartsTheVirtualPedal)
{
    const QString stm32flash = QStandardPaths::findExecutable(QStringLiteral("stm32flash"));
    if (stm32flash.isEmpty())
        GTEST_SKIP() << "stm32flash is not installed";
    ASSERT_TRUE(QFile::exists(kSim));

    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString logPath = tmp.filePath("received.log");
    const QString announceDir = tmp.filePath("announce");

    QProcess sim;
    sim.start(kSim, {"--bootloader", "--serial", "VPE2E001", "--log", logPath, "--announce-dir", announceDir});
    ASSERT_TRUE(sim.waitForStarted(5000));
    QByteArray firstLine;
    while (!firstLine.contains('\n') && sim.waitForReadyRead(5000))
        firstLine += sim.readAllStandardOutput();
    const QString port = QString::fromLocal8Bit(firstLine.left(firstLine.indexOf('\n')));
    ASSERT_TRUE(port.startsWith("/dev/")) << firstLine.constData();

    QFile announcement(announceDir + "/VPE2E001.port");
    ASSERT_TRUE(announcement.open(QIODevice::ReadOnly));
    EXPECT_EQ(announcement.readAll(),
              port.toLocal8Bit() + "\nVPE2E001\nVadrelon MK3 (virtual)\n" + QByteArray::number(sim.processId()) + '\n');
    announcement.close();

    QByteArray firmware(1024, 0);
    QRandomGenerator random(20261210);
    for (char &b : firmware)
        b = char(random.bounded(256));
    QFile image(tmp.filePath("firmware.bin"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(firmware);
    image.close();

    // A read of the blank flash first, then the upgrade the way a user would run it.
    const QString readBack = tmp.filePath("readback.bin");
    const ToolRun readRun =
        runTool(stm32flash, {"-m", "8n1", "-b", "115200", "-r", readBack, "-S", "0x08000000:1024", port});
    EXPECT_EQ(readRun.exitCode, 0) << readRun.output.constData();
    QFile blank(readBack);
    ASSERT_TRUE(blank.open(QIODevice::ReadOnly));
    EXPECT_EQ(blank.readAll(), QByteArray(1024, char(0xFF)));

    const ToolRun writeRun =
        runTool(stm32flash, {"-m", "8n1", "-b", "115200", "-w", image.fileName(), "-v", "-g", "0x08000000", port});
    EXPECT_EQ(writeRun.exitCode, 0) << writeRun.output.constData();

    // After Go the firmware of the version record (11 unless written) answers a status request.
    EXPECT_EQ(talk(port, QByteArray::fromHex("0200"), 4, 3000).left(4), QByteArray("11\r\n"));

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(announcement.fileName()));

    // The log: one timestamped line per message; the data blocks written rebuild the file.
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    const QRegularExpression linePattern(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} [0-9A-F]{2}( [0-9A-F]{2})*$");
    QList<QByteArray> messages;
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(linePattern.match(QString::fromLatin1(line)).hasMatch()) << line.constData();
        messages << QByteArray::fromHex(line.mid(24));
    }
    QByteArray written(1024, char(0xFF));
    for (int i = 0; i + 2 < messages.size(); ++i) {
        if (messages[i] != QByteArray::fromHex("31CE"))
            continue;
        const QByteArray address = messages[i + 1];
        const QByteArray block = messages[i + 2];
        const quint32 at = quint32(quint8(address[1])) << 16 | quint32(quint8(address[2])) << 8 | quint8(address[3]);
        written.replace(int(at), block.size() - 2, block.mid(1, block.size() - 2));
    }
    EXPECT_EQ(written, firmware);
    ASSERT_GE(messages.size(), 3);
    EXPECT_EQ(messages[messages.size() - 3], QByteArray::fromHex("21DE"));
    EXPECT_EQ(messages[messages.size() - 2], QByteArray::fromHex("0800000008"));
    EXPECT_EQ(messages.last(), QByteArray::fromHex("0200"));
}
