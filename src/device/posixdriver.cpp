#include "device/posixdriver.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vadrelon {

namespace {

struct BaudCode {
    quint32 baud;
    speed_t code;
};

constexpr BaudCode kBaudCodes[] = {
    {300, B300},       {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

std::optional<speed_t> speedCode(quint32 baud)
{
    for (const BaudCode &entry : kBaudCodes)
        if (entry.baud == baud)
            return entry.code;
    return std::nullopt;
}

// For the write bound only: a rate we do not know counts as slow, which gives more time.
quint32 baudOf(speed_t code)
{
    for (const BaudCode &entry : kBaudCodes)
        if (entry.code == code)
            return entry.baud;
    return 9600;
}

// EIO and its kin mean the device went away under us (cable pulled, pedal switched off):
// the transport closes the port and unlinks on FT_IO_ERROR.
FT_STATUS errnoStatus(int error)
{
    switch (error) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
    case EBADF:
        return FT_IO_ERROR;
    default:
        return FT_OTHER_ERROR;
    }
}

// What an open's errno says about the port, for the person linking.
OpenFailure::Cause openFailureCause(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return OpenFailure::Cause::Gone;
    case EBUSY:
        return OpenFailure::Cause::InUse;
    case EACCES:
    case EPERM:
        return OpenFailure::Cause::PermissionDenied;
    case ENOTTY: // the terminal calls on anything else
    case EISDIR:
    case ENOTDIR:
        return OpenFailure::Cause::NotASerialPort;
    default:
        return OpenFailure::Cause::Unknown;
    }
}

// A terminal whose other end has gone answers reads with 0 bytes, never with EOF as such;
// poll() is what tells "nothing yet" from "nothing ever again".
bool hangUpPending(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// tcsetattr succeeds when any part of a change was made, and fails with EINVAL when some part
// was dropped (a pseudo-terminal drops parity) though the rest was made; only reading the
// settings back tells what the line runs at. False for the failures that left nothing done.
bool applyTermios(int fd, const termios &tio)
{
    return ::tcsetattr(fd, TCSANOW, &tio) == 0 || errno == EINVAL;
}

// Unread bytes keep a descriptor readable; the notifier rests this long before it looks again
// so that bytes nobody reads yet do not keep the event loop spinning.
constexpr int kNotifierRestMs = 10;

} // namespace

struct PosixSerialDriver::Port {
    int fd = -1;
    bool exclusive = false;
    bool virtualPedal = false;
    bool hungUp = false;
    quint32 baud = 9600;
    int frameBits = 10;
    quint32 readTimeoutMs = 0;
    quint32 writeTimeoutMs = 0;
    std::optional<int> flagsBeforeLowLatency; // the serial flags to put back
    QSocketNotifier *notifier = nullptr;      // owned by the driver; deleted later, as it may be
                                              // the sender of the signal that closes the port
    QSocketNotifier *writeNotifier = nullptr; // on only while bytes wait for room

    Port() = default;
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;
    ~Port()
    {
        for (QSocketNotifier *n : {notifier, writeNotifier}) {
            if (n) {
                n->setEnabled(false);
                n->deleteLater();
            }
        }
        if (fd < 0)
            return;
        // The exclusive flag lives on the terminal, not on our descriptor: a virtual pedal
        // that keeps its end open would otherwise refuse the next open of its port.
        if (exclusive)
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
};

PosixSerialDriver::PosixSerialDriver(QObject *parent) : ListedPortDriver(parent) {}

PosixSerialDriver::~PosixSerialDriver() = default;

PosixSerialDriver::Port *PosixSerialDriver::find(FT_HANDLE handle)
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FT_STATUS PosixSerialDriver::openPort(const PortInfo &info, FT_HANDLE &handle)
{
    using Cause = OpenFailure::Cause;
    lastOpenFailure_ = {};
    const QByteArray path = QFile::encodeName(info.path);
    auto port = std::make_unique<Port>();
    port->virtualPedal = info.virtualPedal;
    port->fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->fd < 0) {
        const Cause cause = openFailureCause(errno);
        return openFailed(cause == Cause::Gone ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED, cause, info.path);
    }
    // One user at a time, as with the FTDI library: TIOCEXCL keeps other programs from opening
    // the terminal (unless privileged), flock also refuses a second open from this process, and
    // from another editor that runs privileged.
    if (::flock(port->fd, LOCK_EX | LOCK_NB) != 0)
        return openFailed(FT_DEVICE_NOT_OPENED, errno == EWOULDBLOCK ? Cause::InUse : Cause::Unknown, info.path);
    if (::ioctl(port->fd, TIOCEXCL) != 0)
        return openFailed(FT_DEVICE_NOT_OPENED, openFailureCause(errno), info.path);
    port->exclusive = true;

    termios tio{};
    if (::tcgetattr(port->fd, &tio) != 0)
        return openFailed(FT_DEVICE_NOT_OPENED, openFailureCause(errno), info.path);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
#ifdef CRTSCTS
    tio.c_cflag &= ~CRTSCTS;
#endif
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(port->fd, TCSANOW, &tio) != 0)
        return openFailed(FT_DEVICE_NOT_OPENED, Cause::Unknown, info.path);
    port->baud = baudOf(::cfgetospeed(&tio));

    const FT_HANDLE newHandle = nextHandle_++;
    port->notifier = new QSocketNotifier(port->fd, QSocketNotifier::Read, this);
    connect(port->notifier, &QSocketNotifier::activated, this, [this, newHandle] { portReadable(newHandle); });
    port->writeNotifier = new QSocketNotifier(port->fd, QSocketNotifier::Write, this);
    port->writeNotifier->setEnabled(false);
    connect(port->writeNotifier, &QSocketNotifier::activated, this, [this, newHandle] {
        if (Port *p = find(newHandle))
            p->writeNotifier->setEnabled(false);
        emit writable();
    });
    open_.emplace(newHandle, std::move(port));
    handle = newHandle;
    return FT_OK;
}

void PosixSerialDriver::portReadable(FT_HANDLE handle)
{
    Port *port = find(handle);
    if (!port)
        return;
    port->notifier->setEnabled(false);
    int waiting = 0;
    if (::ioctl(port->fd, FIONREAD, &waiting) != 0 || (waiting == 0 && hangUpPending(port->fd))) {
        // Hung up: a hung-up terminal stays readable for ever, so stay quiet from now on.
        // Waiters still get this one wake-up, and their next read reports the loss.
        port->hungUp = true;
    } else {
        QTimer::singleShot(kNotifierRestMs, port->notifier, [this, handle] {
            if (Port *p = find(handle))
                resumeNotifier(*p);
        });
    }
    emit bytesArrived();
}

void PosixSerialDriver::resumeNotifier(Port &port)
{
    if (!port.hungUp)
        port.notifier->setEnabled(true);
}

FT_STATUS PosixSerialDriver::close(FT_HANDLE handle)
{
    return open_.erase(handle) == 1 ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS PosixSerialDriver::queueStatus(FT_HANDLE handle, quint32 &waiting)
{
    waiting = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    int count = 0;
    if (::ioctl(port->fd, FIONREAD, &count) != 0)
        return errnoStatus(errno);
    if (count == 0 && hangUpPending(port->fd))
        return FT_IO_ERROR;
    waiting = static_cast<quint32>(std::max(count, 0));
    return FT_OK;
}

FT_STATUS PosixSerialDriver::read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead)
{
    bytesRead = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (toRead > 0 && !buffer)
        return FT_INVALID_PARAMETER;
    ssize_t n = 0;
    if (toRead > 0) {
        do {
            n = ::read(port->fd, buffer, toRead);
        } while (n < 0 && errno == EINTR);
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errnoStatus(errno);
        n = 0;
    }
    if (n == 0 && hangUpPending(port->fd)) {
        port->hungUp = true;
        port->notifier->setEnabled(false);
        return FT_IO_ERROR;
    }
    bytesRead = static_cast<quint32>(n);
    // What is left, or what comes next, should wake a waiter at once.
    resumeNotifier(*port);
    return FT_OK;
}

FT_STATUS PosixSerialDriver::write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten)
{
    bytesWritten = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (toWrite > 0 && !buffer)
        return FT_INVALID_PARAMETER;
    const auto *bytes = static_cast<const char *>(buffer);
    while (bytesWritten < toWrite) {
        const ssize_t n = ::write(port->fd, bytes + bytesWritten, toWrite - bytesWritten);
        if (n > 0) {
            bytesWritten += static_cast<quint32>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return errnoStatus(errno);
        // The kernel's buffer is full. Waiting here would freeze the window; the caller
        // writes the rest when the port says it can take more.
        if (hangUpPending(port->fd))
            return FT_IO_ERROR;
        port->writeNotifier->setEnabled(true);
        break;
    }
    return FT_OK;
}

FT_STATUS PosixSerialDriver::purge(FT_HANDLE handle, quint32 mask)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if ((mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0)
        return FT_INVALID_PARAMETER;
    const bool rx = (mask & FT_PURGE_RX) != 0;
    const bool tx = (mask & FT_PURGE_TX) != 0;
    if (!rx && !tx)
        return FT_OK;
    if (::tcflush(port->fd, rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH) != 0)
        return errnoStatus(errno);
    if (rx)
        resumeNotifier(*port);
    return FT_OK;
}

FT_STATUS PosixSerialDriver::setBaudRate(FT_HANDLE handle, quint32 baud)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    const std::optional<speed_t> code = speedCode(baud);
    if (!code)
        return FT_INVALID_BAUD_RATE;
    termios tio{};
    if (::tcgetattr(port->fd, &tio) != 0)
        return errnoStatus(errno);
    ::cfsetispeed(&tio, *code);
    ::cfsetospeed(&tio, *code);
    if (!applyTermios(port->fd, tio))
        return errnoStatus(errno);
    termios applied{};
    if (::tcgetattr(port->fd, &applied) != 0)
        return errnoStatus(errno);
    if (::cfgetospeed(&applied) != *code || ::cfgetispeed(&applied) != *code)
        return FT_INVALID_BAUD_RATE;
    port->baud = baud;
    return FT_OK;
}

FT_STATUS PosixSerialDriver::setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    tcflag_t wanted = 0;
    switch (bits) {
    case 7:
        wanted |= CS7;
        break;
    case 8:
        wanted |= CS8;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    switch (stopBits) {
    case 0:
        break;
    case 2:
        wanted |= CSTOPB;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    switch (parity) {
    case 0:
        break;
    case 1:
        wanted |= PARENB | PARODD;
        break;
    case 2:
        wanted |= PARENB;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    constexpr tcflag_t framing = CSIZE | CSTOPB | PARENB | PARODD;
    termios tio{};
    if (::tcgetattr(port->fd, &tio) != 0)
        return errnoStatus(errno);
    tio.c_cflag = (tio.c_cflag & ~framing) | wanted;
    if (!applyTermios(port->fd, tio))
        return errnoStatus(errno);
    termios applied{};
    if (::tcgetattr(port->fd, &applied) != 0)
        return errnoStatus(errno);
    // A pseudo-terminal has no line and drops parity; a virtual pedal knows that. On a real
    // port a framing that did not take would garble every byte, so it is an error.
    const tcflag_t checked = port->virtualPedal ? framing & ~(PARENB | PARODD) : framing;
    if ((applied.c_cflag & checked) != (wanted & checked))
        return FT_IO_ERROR;
    port->frameBits = 1 + bits + (parity != 0 ? 1 : 0) + (stopBits == 2 ? 2 : 1);
    return FT_OK;
}

FT_STATUS PosixSerialDriver::setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    port->readTimeoutMs = readMs;
    port->writeTimeoutMs = writeMs;
    return FT_OK;
}

FT_STATUS PosixSerialDriver::resetDevice(FT_HANDLE handle)
{
    return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

void PosixSerialDriver::setLowLatency(FT_HANDLE handle, bool on)
{
    Port *p = find(handle);
    if (!p)
        return;
    serial_struct serial{};
    // A pseudo-terminal has no such setting: the call fails and nothing changes.
    if (::ioctl(p->fd, TIOCGSERIAL, &serial) != 0)
        return;
    if (on) {
        if (!p->flagsBeforeLowLatency)
            p->flagsBeforeLowLatency = serial.flags;
        serial.flags |= ASYNC_LOW_LATENCY;
    } else {
        if (!p->flagsBeforeLowLatency)
            return;
        serial.flags = *p->flagsBeforeLowLatency;
        p->flagsBeforeLowLatency.reset();
    }
    ::ioctl(p->fd, TIOCSSERIAL, &serial);
}

} // namespace vadrelon
