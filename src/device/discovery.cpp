#include "device/discovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

namespace vadrelon {

namespace {
constexpr quint16 kFtdiVendorId = 0x0403;
// An announcement is three short lines; anything much larger is not one.
constexpr qint64 kMaxAnnouncementSize = 4096;
} // namespace

QString virtualPedalsDir()
{
    const QString fromEnvironment = qEnvironmentVariable("VADRELON_VIRTUAL_PEDALS_DIR");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return QString();
    return QDir(runtime).filePath(QStringLiteral("vadrelon-virtual-pedals"));
}

std::optional<PortInfo> parseAnnouncement(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 3)
        return std::nullopt;
    for (QByteArray &line : lines)
        line = line.trimmed();
    PortInfo port;
    port.path = QFile::decodeName(lines[0]);
    port.serialNumber = lines[1];
    port.description = lines[2];
    port.virtualPedal = true;
    if (!QDir::isAbsolutePath(port.path) || port.serialNumber.isEmpty() || port.description.isEmpty())
        return std::nullopt;
    return port;
}

QList<PortInfo> announcedPorts(const QString &dir)
{
    QList<PortInfo> ports;
    if (dir.isEmpty())
        return ports;
    const QFileInfoList files =
        QDir(dir).entryInfoList({QStringLiteral("*.port")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const std::optional<PortInfo> port = parseAnnouncement(file.read(kMaxAnnouncementSize));
        if (port && QFileInfo::exists(port->path))
            ports.append(*port);
    }
    return ports;
}

namespace {

QByteArray readSysfsLine(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readLine(256).trimmed() : QByteArray();
}

} // namespace

QList<PortInfo> ftdiPortsFromSysfs(const QString &ttyClassDir, const QString &devDir)
{
    QList<PortInfo> ports;
    const QStringList ttys = QDir(ttyClassDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name);
    for (const QString &tty : ttys) {
        // <tty>/device is the USB serial port; its parent's parent is the USB device with
        // the vendor id, serial number and product string the chip reports.
        const QString device = QDir(ttyClassDir).filePath(tty + QStringLiteral("/device"));
        if (!QFileInfo(device).exists())
            continue;
        const QString usb = QDir::cleanPath(QFileInfo(device).canonicalFilePath() + QStringLiteral("/../.."));
        bool ok = false;
        const quint16 vendor = readSysfsLine(usb + QStringLiteral("/idVendor")).toUShort(&ok, 16);
        if (!ok || vendor != kFtdiVendorId)
            continue;
        ports.append({QDir(devDir).filePath(tty), readSysfsLine(usb + QStringLiteral("/serial")),
                      readSysfsLine(usb + QStringLiteral("/product")), false});
    }
    return ports;
}

QList<PortInfo> discoverPorts()
{
    QList<PortInfo> ports;
#ifdef Q_OS_LINUX
    // QSerialPortInfo opens thousands of files to list the ports (10 ms and more at every
    // scan); the kernel's own listing of USB serial ports is a few reads.
    ports = ftdiPortsFromSysfs(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"));
#else
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : available) {
        if (!info.hasVendorIdentifier() || info.vendorIdentifier() != kFtdiVendorId)
            continue;
        ports.append({info.systemLocation(), info.serialNumber().toLatin1(), info.description().toLatin1(), false});
    }
#endif
    ports.append(announcedPorts(virtualPedalsDir()));
    return ports;
}

} // namespace vadrelon
