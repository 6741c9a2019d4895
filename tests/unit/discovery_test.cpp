#include "base/consolelog.h"
#include "device/discovery.h"
#include "device/link.h"
#include "device/posixdriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/printers.h"
#include "support/scopedpedalsdir.h"
#include "unit/unprivileged.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <optional>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vadrelon {
namespace {

using test::ScopedPedalsDir;

struct AnnouncementCase {
    const char *name;
    QByteArray text;
    bool valid;
    const char *path = "";
    const char *serial = "";
    const char *description = "";
    qint64 processId = 0;
};

TEST(ParseAnnouncement, ReadsThreeLinesOrRefuses)
{
    const AnnouncementCase cases[] = {
        {"lf", "/dev/pts/7\nVP000001\nVadrelon MK3\n", true, "/dev/pts/7", "VP000001", "Vadrelon MK3"},
        {"crlf", "/dev/pts/7\r\nVP000001\r\nVadrelon MK3\r\n", true, "/dev/pts/7", "VP000001", "Vadrelon MK3"},
        {"no final newline", "/dev/pts/7\nVP1\nMK3", true, "/dev/pts/7", "VP1", "MK3"},
        {"later lines ignored", "/dev/pts/7\nVP1\nMK3\nextra\n", true, "/dev/pts/7", "VP1", "MK3"},
        {"blank around values", " /dev/pts/7 \n\tVP1\nMK3  \n", true, "/dev/pts/7", "VP1", "MK3"},
        {"process id", "/dev/pts/7\nVP1\nMK3\n4242\n", true, "/dev/pts/7", "VP1", "MK3", 4242},
        {"process id, crlf", "/dev/pts/7\r\nVP1\r\nMK3\r\n4242\r\n", true, "/dev/pts/7", "VP1", "MK3", 4242},
        {"process id, later lines ignored", "/dev/pts/7\nVP1\nMK3\n17\n99\n", true, "/dev/pts/7", "VP1", "MK3", 17},
        // Zero and below name process groups; a check of those would find them alive.
        {"process id zero", "/dev/pts/7\nVP1\nMK3\n0\n", true, "/dev/pts/7", "VP1", "MK3", 0},
        {"process id negative", "/dev/pts/7\nVP1\nMK3\n-1\n", true, "/dev/pts/7", "VP1", "MK3", 0},
        {"process id beyond any", "/dev/pts/7\nVP1\nMK3\n99999999999\n", true, "/dev/pts/7", "VP1", "MK3", 0},
        {"process id with text", "/dev/pts/7\nVP1\nMK3\n42x\n", true, "/dev/pts/7", "VP1", "MK3", 0},
        {"description missing", "/dev/pts/7\nVP1\n", false},
        {"description empty", "/dev/pts/7\nVP1\n\n", false},
        {"serial empty", "/dev/pts/7\n\nMK3\n", false},
        {"path only", "/dev/pts/7\n", false},
        {"path empty", "\nVP1\nMK3\n", false},
        {"path relative", "pts/7\nVP1\nMK3\n", false},
        {"empty file", "", false},
    };
    for (const AnnouncementCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<PortInfo> port = parseAnnouncement(c.text);
        ASSERT_EQ(port.has_value(), c.valid);
        if (!port)
            continue;
        EXPECT_EQ(port->path, QString::fromLatin1(c.path));
        EXPECT_EQ(port->serialNumber, QByteArray(c.serial));
        EXPECT_EQ(port->description, QByteArray(c.description));
        EXPECT_EQ(port->processId, c.processId);
        EXPECT_TRUE(port->virtualPedal);
    }
}

class AnnouncementFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        ASSERT_TRUE(devices_.isValid());
    }

    void TearDown() override
    {
        for (int fd : descriptors_)
            ::close(fd);
    }

    // A pseudo-terminal, as a virtual pedal serves one; the test holds both of its ends.
    QString terminal()
    {
        int master = -1;
        int slave = -1;
        char name[128] = {};
        EXPECT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        descriptors_ << master << slave;
        return QString::fromLocal8Bit(name);
    }

    void put(const QString &fileName, const QByteArray &text)
    {
        QFile file(folder_.filePath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir folder_;
    QTemporaryDir devices_;
    QList<int> descriptors_;
};

TEST_F(AnnouncementFolder, ListsLivePedalsInFileNameOrder)
{
    const QString b = terminal();
    const QString a = terminal();
    put("VP2.port", QFile::encodeName(b) + "\nVP2\nSecond\n");
    put("VP1.port", QFile::encodeName(a) + "\nVP1\nFirst\n");
    put("VP3.port", QFile::encodeName(devices_.filePath("gone")) + "\nVP3\nLeft behind\n");
    put("VP4.port", "garbage");
    put("VP5.txt", QFile::encodeName(terminal()) + "\nVP5\nNot an announcement\n");

    const Discovered found = announcedPorts(folder_.path());
    const QList<PortInfo> &ports = found.ports;
    ASSERT_EQ(ports.size(), 2);
    EXPECT_EQ(ports[0].serialNumber, "VP1");
    EXPECT_EQ(ports[0].path, a);
    EXPECT_EQ(ports[1].serialNumber, "VP2");
    EXPECT_EQ(ports[1].description, "Second");
    EXPECT_TRUE(ports[0].virtualPedal && ports[1].virtualPedal);
    // Each passed over once, in file name order; a file of another name is no announcement.
    ASSERT_EQ(found.skipped.size(), 2) << found.skipped.join('|').toStdString();
    EXPECT_TRUE(found.skipped[0].startsWith('"' + folder_.filePath("VP3.port") + "\": "));
    EXPECT_TRUE(found.skipped[1].startsWith('"' + folder_.filePath("VP4.port") + "\": "));

    EXPECT_TRUE(announcedPorts(folder_.filePath("missing")).ports.isEmpty());
    EXPECT_TRUE(announcedPorts(QString()).ports.isEmpty());
}

// The process id of a process that has ended and been reaped.
qint64 endedProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    EXPECT_GT(child, 0);
    EXPECT_EQ(::waitpid(child, nullptr, 0), child);
    return child;
}

TEST_F(AnnouncementFolder, ListsOnlyWhatALivePedalAnnouncesOnATerminal)
{
    const auto announcement = [](const QString &device, const QByteArray &processId = {}) {
        return QFile::encodeName(device) + "\nVP1\nVirtual\n" + (processId.isEmpty() ? "" : processId + '\n');
    };
    const auto write = [](const QString &path, const QByteArray &text) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    struct Case {
        const char *name;
        // Puts the announcement at the path it is given.
        std::function<void(const QString &)> make;
        const char *skippedBecause; // nullptr: listed
        bool asAnotherUser = false; // looked at as a user the device's permissions bar
    };
    const Case cases[] = {
        {"three lines, on a terminal", [&](const QString &at) { write(at, announcement(terminal())); }, nullptr},
        {"a running process",
         [&](const QString &at) { write(at, announcement(terminal(), QByteArray::number(::getpid()))); }, nullptr},
        {"a process that has ended",
         [&](const QString &at) { write(at, announcement(terminal(), QByteArray::number(endedProcessId()))); },
         "has ended"},
        {"a terminal held by another program",
         [&](const QString &at) {
             const QString device = terminal();
             EXPECT_EQ(::ioctl(descriptors_.last(), TIOCEXCL), 0);
             write(at, announcement(device));
         },
         nullptr},
        // Linking says why it cannot open it; finding nothing would send the player looking
        // for a cable.
        {"a terminal this user may not open",
         [&](const QString &at) {
             const QString device = terminal();
             EXPECT_EQ(::chmod(QFile::encodeName(device).constData(), 0600), 0);
             write(at, announcement(device));
             // Readable to everyone but the device: the look below runs as another user.
             EXPECT_EQ(::chmod(QFile::encodeName(at).constData(), 0644), 0);
             EXPECT_EQ(::chmod(QFile::encodeName(QFileInfo(at).path()).constData(), 0755), 0);
         },
         nullptr, true},
        {"/dev/null", [&](const QString &at) { write(at, announcement("/dev/null")); }, "/dev/null is not a terminal"},
        {"/etc/passwd", [&](const QString &at) { write(at, announcement("/etc/passwd")); }, "/etc/passwd "},
        {"a regular file",
         [&](const QString &at) {
             write(devices_.filePath("plain"), "");
             write(at, announcement(devices_.filePath("plain")));
         },
         "plain is not a terminal"},
        {"a folder", [&](const QString &at) { write(at, announcement(devices_.path())); }, "cannot be opened"},
        {"a device path that is gone", [&](const QString &at) { write(at, announcement(devices_.filePath("gone"))); },
         "cannot be opened"},
        {"not an announcement", [&](const QString &at) { write(at, "garbage\n"); }, "no device path"},
        {"an announcement above its size",
         [&](const QString &at) { write(at, announcement(terminal()) + QByteArray(4096, '\n')); }, "larger than"},
        {"a link to an announcement",
         [&](const QString &at) {
             write(devices_.filePath("real.port"), announcement(terminal()));
             EXPECT_TRUE(QFile::link(devices_.filePath("real.port"), at));
         },
         nullptr},
        {"a named pipe", [&](const QString &at) { EXPECT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0600), 0); },
         "named pipe"},
        {"a link to /dev/zero", [&](const QString &at) { EXPECT_TRUE(QFile::link("/dev/zero", at)); }, "device"},
        {"a folder named as one", [&](const QString &at) { EXPECT_TRUE(QDir().mkpath(at)); }, "folder"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QTemporaryDir dir;
        const QString at = dir.filePath("VP1.port");
        c.make(at);
        // On a thread of its own, so that a look that blocks fails the test instead of hanging
        // it (a writer that comes and goes sets a pipe's reader free), and as an ordinary user
        // looks: root may open a terminal that another program holds.
        auto look = std::async(std::launch::async, [&] {
            const test::WithoutAdminPower withoutAdminPower;
            std::optional<test::AsAnotherUser> user;
            if (c.asAnotherUser)
                user.emplace();
            return announcedPorts(dir.path());
        });
        if (look.wait_for(std::chrono::seconds(2)) == std::future_status::timeout) {
            ADD_FAILURE() << "the look blocked";
            const int writer = ::open(QFile::encodeName(at).constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        const Discovered found = look.get();
        if (!c.skippedBecause) {
            EXPECT_EQ(found.ports.size(), 1) << found.skipped.join('|').toStdString();
            for (const PortInfo &port : found.ports)
                EXPECT_EQ(port.serialNumber, "VP1");
            EXPECT_TRUE(found.skipped.isEmpty());
            continue;
        }
        EXPECT_TRUE(found.ports.isEmpty());
        EXPECT_EQ(found.skipped.size(), 1);
        for (const QString &reason : found.skipped) {
            EXPECT_TRUE(reason.startsWith('"' + at + "\": ")) << reason.toStdString();
            EXPECT_TRUE(reason.contains(QLatin1String(c.skippedBecause))) << reason.toStdString();
        }
    }
}

TEST_F(AnnouncementFolder, TheLinkTracesWhatItPassedOver)
{
    const ScopedPedalsDir set(folder_.path());
    put("VP1.port", "/dev/null\nVP1\nVirtual\n");
    PosixSerialDriver driver;
    UsbTransport transport(driver);
    ConsoleLog log;
    PedalLink link(transport, log);
    const QList<PedalLink::Device> devices = link.listDevices();
    EXPECT_FALSE(std::any_of(devices.cbegin(), devices.cend(), [](const auto &d) { return d.serialNumber == "VP1"; }));
    EXPECT_EQ(log.lines(), QStringList{"virtual pedal not listed: \"" + folder_.filePath("VP1.port") +
                                       "\": /dev/null is not a terminal"});
}

TEST_F(AnnouncementFolder, DiscoveryFollowsTheEnvironmentFolder)
{
    {
        const ScopedPedalsDir unset{QString()};
        EXPECT_TRUE(virtualPedalsDir().endsWith(QStringLiteral("/vadrelon-virtual-pedals")));
    }
    const ScopedPedalsDir set(folder_.path());
    EXPECT_EQ(virtualPedalsDir(), folder_.path());
    put("VP9.port", QFile::encodeName(terminal()) + "\nVP9\nVirtual\n");
    // Real FTDI ports, if any are plugged in, come first; the announced pedal comes last.
    const QList<PortInfo> ports = discoverPorts().ports;
    ASSERT_FALSE(ports.isEmpty());
    EXPECT_EQ(ports.last().serialNumber, "VP9");
    EXPECT_TRUE(ports.last().virtualPedal);
}

} // namespace
} // namespace vadrelon

// The shape of /sys for two USB serial ports and a plain serial port:
//   class/tty/ttyUSB0/device -> devices/usb1/1-2/1-2:1.0/ttyUSB0, with 1-2 holding idVendor …
TEST(FtdiPortsFromSysfs, ListsOnlyPortsOfFtdiUsbDevices)
{
    QTemporaryDir sys;
    const auto usbDevice = [&](const QString &name, const QByteArray &vendor, const QByteArray &serial,
                               const QByteArray &product, const QString &tty) {
        const QString dev = sys.filePath("devices/usb1/" + name);
        QDir().mkpath(dev + "/" + name + ":1.0/" + tty);
        for (const auto &[file, text] : {std::pair{"idVendor", vendor}, {"serial", serial}, {"product", product}}) {
            QFile f(dev + "/" + file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text + "\n");
        }
        QDir().mkpath(sys.filePath("class/tty/" + tty));
        ASSERT_TRUE(QFile::link(dev + "/" + name + ":1.0/" + tty, sys.filePath("class/tty/" + tty + "/device")));
    };
    usbDevice("1-2", "0403", "A10KZ3B7", "Vadrelon MK3", "ttyUSB0");
    usbDevice("1-3", "10c4", "0001", "CP2102 USB to UART", "ttyUSB1");
    QDir().mkpath(sys.filePath("class/tty/ttyS0")); // no device link at all
    QDir().mkpath(sys.filePath("class/tty/tty1"));

    const QList<vadrelon::PortInfo> ports = vadrelon::ftdiPortsFromSysfs(sys.filePath("class/tty"), "/dev");
    ASSERT_EQ(ports.size(), 1);
    EXPECT_EQ(ports[0].path, "/dev/ttyUSB0");
    EXPECT_EQ(ports[0].serialNumber, "A10KZ3B7");
    EXPECT_EQ(ports[0].description, "Vadrelon MK3");
    EXPECT_FALSE(ports[0].virtualPedal);
}
