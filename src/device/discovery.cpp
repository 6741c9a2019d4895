#include "device/discovery.h"

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vadrelon {

namespace {

constexpr quint16 kFtdiVendorId = 0x0403;

bool processEnded(qint64 pid)
{
    // EPERM: it runs, under another user.
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Why path is no terminal the editor could link through, or nothing when it is one. The
// device is opened as the driver will open it and closed again at once.
std::optional<QString> notATerminal(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat seen {};
        // A terminal that a program holds for itself (TIOCEXCL: another editor linked to the
        // pedal, or this one), or that this user may not open, refuses the open; it is still
        // the pedal's, and linking to it must say why it cannot be opened rather than find
        // nothing.
        const bool refusedToUs = error == EBUSY || error == EACCES || error == EPERM;
        if (refusedToUs && ::stat(name.constData(), &seen) == 0 && S_ISCHR(seen.st_mode))
            return std::nullopt;
        return QStringLiteral("%1 cannot be opened: %2").arg(path, qt_error_string(error));
    }
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    if (!terminal)
        return QStringLiteral("%1 is not a terminal").arg(path);
    return std::nullopt;
}

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
    bool isNumber = false;
    const qint64 pid = lines.size() > 3 ? lines[3].toLongLong(&isNumber, 10) : 0;
    // 0 and below would name process groups, not a process.
    if (isNumber && pid > 0 && pid <= INT_MAX)
        port.processId = pid;
    return port;
}

Discovered announcedPorts(const QString &dir)
{
    Discovered found;
    if (dir.isEmpty())
        return found;
    // Named pipes, devices and folders are listed too, so that the console tells why they
    // are passed over.
    const QFileInfoList files = QDir(dir).entryInfoList(
        {QStringLiteral("*.port")}, QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : files) {
        const QString file = QDir::toNativeSeparators(info.filePath());
        const Result<QByteArray> text = readRegularFile(info.filePath(), kAnnouncementCap);
        if (const Error *failure = std::get_if<Error>(&text)) {
            found.skipped.append(failure->detail);
            continue;
        }
        const std::optional<PortInfo> port = parseAnnouncement(std::get<QByteArray>(text));
        if (!port) {
            found.skipped.append(
                QStringLiteral("\"%1\": no device path, serial number and description, one a line").arg(file));
            continue;
        }
        if (processEnded(port->processId)) {
            found.skipped.append(
                QStringLiteral("\"%1\": its virtual pedal (process %2) has ended").arg(file).arg(port->processId));
            continue;
        }
        if (const std::optional<QString> reason = notATerminal(port->path)) {
            found.skipped.append(QStringLiteral("\"%1\": %2").arg(file, *reason));
            continue;
        }
        found.ports.append(*port);
    }
    return found;
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

bool listsPath(const QList<PortInfo> &ports, const QString &path)
{
    const auto canonical = [](const QString &p) {
        const QString resolved = QFileInfo(p).canonicalFilePath();
        return resolved.isEmpty() ? p : resolved;
    };
    const QString wanted = canonical(path);
    return std::any_of(ports.cbegin(), ports.cend(), [&](const PortInfo &p) { return canonical(p.path) == wanted; });
}

std::variant<PortInfo, QString> namedTerminal(const QString &path)
{
    if (const std::optional<QString> why = notATerminal(path))
        return *why;
    return PortInfo{path, QFile::encodeName(path), QByteArrayLiteral("terminal device"), false, 0};
}

Discovered discoverPorts()
{
    Discovered found;
#ifdef Q_OS_LINUX
    // QSerialPortInfo opens thousands of files to list the ports (10 ms and more at every
    // scan); the kernel's own listing of USB serial ports is a few reads.
    found.ports = ftdiPortsFromSysfs(QStringLiteral("/sys/class/tty"), QStringLiteral("/dev"));
#else
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : available) {
        if (!info.hasVendorIdentifier() || info.vendorIdentifier() != kFtdiVendorId)
            continue;
        // macOS lists each port twice: the dial-in device /dev/tty.* is for a modem that
        // answers calls and waits for its carrier; the callout device /dev/cu.* is the one a
        // program that starts the talking opens. One pedal must not be listed as two.
        if (info.systemLocation().startsWith(QLatin1String("/dev/tty.")))
            continue;
        found.ports.append(
            {info.systemLocation(), info.serialNumber().toLatin1(), info.description().toLatin1(), false});
    }
#endif
    Discovered announced = announcedPorts(virtualPedalsDir());
    found.ports.append(announced.ports);
    found.skipped = std::move(announced.skipped);
    return found;
}

} // namespace vadrelon
