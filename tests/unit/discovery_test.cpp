#include "device/discovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/scopedpedalsdir.h"

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
};

TEST(ParseAnnouncement, ReadsThreeLinesOrRefuses)
{
    const AnnouncementCase cases[] = {
        {"lf", "/dev/pts/7\nVP000001\nVadrelon MK3\n", true, "/dev/pts/7", "VP000001", "Vadrelon MK3"},
        {"crlf", "/dev/pts/7\r\nVP000001\r\nVadrelon MK3\r\n", true, "/dev/pts/7", "VP000001", "Vadrelon MK3"},
        {"no final newline", "/dev/pts/7\nVP1\nMK3", true, "/dev/pts/7", "VP1", "MK3"},
        {"later lines ignored", "/dev/pts/7\nVP1\nMK3\nextra\n", true, "/dev/pts/7", "VP1", "MK3"},
        {"blank around values", " /dev/pts/7 \n\tVP1\nMK3  \n", true, "/dev/pts/7", "VP1", "MK3"},
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

    // A stand-in for a device node: any existing path will do for discovery.
    QString device(const QString &name)
    {
        const QString path = devices_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }

    void put(const QString &fileName, const QByteArray &text)
    {
        QFile file(folder_.filePath(fileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTemporaryDir folder_;
    QTemporaryDir devices_;
};

TEST_F(AnnouncementFolder, ListsLivePedalsInFileNameOrder)
{
    put("VP2.port", QFile::encodeName(device("b")) + "\nVP2\nSecond\n");
    put("VP1.port", QFile::encodeName(device("a")) + "\nVP1\nFirst\n");
    put("VP3.port", QFile::encodeName(devices_.filePath("gone")) + "\nVP3\nLeft behind\n");
    put("VP4.port", "garbage");
    put("VP5.txt", QFile::encodeName(device("c")) + "\nVP5\nNot an announcement\n");

    const QList<PortInfo> ports = announcedPorts(folder_.path());
    ASSERT_EQ(ports.size(), 2);
    EXPECT_EQ(ports[0].serialNumber, "VP1");
    EXPECT_EQ(ports[0].path, devices_.filePath("a"));
    EXPECT_EQ(ports[1].serialNumber, "VP2");
    EXPECT_EQ(ports[1].description, "Second");
    EXPECT_TRUE(ports[0].virtualPedal && ports[1].virtualPedal);

    EXPECT_TRUE(announcedPorts(folder_.filePath("missing")).isEmpty());
    EXPECT_TRUE(announcedPorts(QString()).isEmpty());
}

TEST_F(AnnouncementFolder, DiscoveryFollowsTheEnvironmentFolder)
{
    {
        const ScopedPedalsDir unset{QString()};
        EXPECT_TRUE(virtualPedalsDir().endsWith(QStringLiteral("/vadrelon-virtual-pedals")));
    }
    const ScopedPedalsDir set(folder_.path());
    EXPECT_EQ(virtualPedalsDir(), folder_.path());
    put("VP9.port", QFile::encodeName(device("z")) + "\nVP9\nVirtual\n");
    // Real FTDI ports, if any are plugged in, come first; the announced pedal comes last.
    const QList<PortInfo> ports = discoverPorts();
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
