#include "device/qtserialdriver.h"

#include "device/portaccess.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vadrelon {

FT_STATUS serialPortStatus(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return FT_OK;
    case QSerialPort::DeviceNotFoundError:
        return FT_DEVICE_NOT_FOUND;
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
        return FT_DEVICE_NOT_OPENED;
    // A hung-up terminal answers reads with nothing at all, which QSerialPort reports as a read
    // error (on every pass of the event loop), not as the resource error of a pulled cable.
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        return FT_IO_ERROR;
    case QSerialPort::UnsupportedOperationError:
        return FT_INVALID_PARAMETER;
    case QSerialPort::TimeoutError:
    case QSerialPort::UnknownError:
        break;
    }
    return FT_OTHER_ERROR;
}

struct QtSerialDriver::Port {
    std::unique_ptr<PortHold> hold; // given up after the port is closed
    std::unique_ptr<QSerialPort> serial;
    bool virtualPedal = false;
    bool gone = false;
    // A write was cut short by the bound: writable() is owed once the port has room.
    bool full = false;
    // What had arrived when the port went, still to be read before the loss is reported.
    QByteArray left;
    // Closed from its own readyRead, the QSerialPort is still on the stack: it goes later.
    bool deleteLater = false;

    Port() = default;
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;
    ~Port()
    {
        if (!serial)
            return;
        // Closing drops what QSerialPort still holds: what the system takes now is not lost.
        if (serial->isOpen() && serial->bytesToWrite() > 0)
            serial->flush();
        // The device and its lock are let go of at once, whenever the object goes.
        serial->close();
        if (deleteLater)
            serial.release()->deleteLater();
    }
};

namespace {

// Why QSerialPort did not open a port that this program holds. A port has no permissions of
// its own on Windows, which answers "access denied" only while another program has it open;
// elsewhere the hold has already opened it, so a permission error can only be the lock file of
// another program on Qt Serial Port.
OpenFailure::Cause whyNotOpened(QSerialPort::SerialPortError error)
{
    using Cause = OpenFailure::Cause;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return Cause::Gone;
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
        return Cause::InUse;
    case QSerialPort::UnsupportedOperationError: // the terminal calls on anything else
        return Cause::NotASerialPort;
    default:
        return Cause::Unknown;
    }
}

// What a failed call says. QSerialPort does not always name an error for it, and a call that
// failed must still fail.
FT_STATUS callFailed(QSerialPort &serial, FT_STATUS otherwise)
{
    const FT_STATUS status = serialPortStatus(serial.error());
    serial.clearError();
    return status == FT_OK || status == FT_OTHER_ERROR ? otherwise : status;
}

} // namespace

QtSerialDriver::QtSerialDriver(QObject *parent) : ListedPortDriver(parent) {}

QtSerialDriver::~QtSerialDriver() = default;

QtSerialDriver::Port *QtSerialDriver::find(FT_HANDLE handle)
{
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second.get();
}

FT_STATUS QtSerialDriver::openPort(const PortInfo &info, FT_HANDLE &handle)
{
    lastOpenFailure_ = {};
    auto port = std::make_unique<Port>();
    port->virtualPedal = info.virtualPedal;
    OpenFailure::Cause why = OpenFailure::Cause::Unknown;
    port->hold = holdPort(info.path, why);
    if (!port->hold)
        return openFailed(why == OpenFailure::Cause::Gone ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED, why, info.path);
    port->serial = std::make_unique<QSerialPort>();
    QSerialPort &serial = *port->serial;
    // The discovered location, not the short name: a device path on POSIX systems, the
    // \\.\COMn form on Windows, which also reaches ports numbered above 9.
    serial.setPortName(info.path);
    serial.setFlowControl(QSerialPort::NoFlowControl);
    if (!serial.open(QIODevice::ReadWrite)) {
        const OpenFailure::Cause cause = whyNotOpened(serial.error());
        return openFailed(cause == OpenFailure::Cause::Gone ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED, cause,
                          info.path);
    }

    const FT_HANDLE newHandle = nextHandle_++;
    // The wake-up comes straight from readyRead: a queued one made the status request's round
    // trip three times as long. Whatever it leads to may close the port (close() defers the
    // object's deletion then); the rest is queued, so that its handlers run outside
    // QSerialPort's own.
    connect(&serial, &QSerialPort::readyRead, this, [this] {
        ++inReadyRead_;
        emit bytesArrived();
        --inReadyRead_;
    });
    connect(
        &serial, &QSerialPort::bytesWritten, this,
        [this, newHandle] {
            Port *p = find(newHandle);
            if (p && p->full && !p->gone && p->serial->bytesToWrite() < kWriteBound) {
                p->full = false;
                emit writable();
            }
        },
        Qt::QueuedConnection);
    connect(
        &serial, &QSerialPort::errorOccurred, this,
        [this, newHandle](QSerialPort::SerialPortError error) { portFailed(newHandle, error); }, Qt::QueuedConnection);
    open_.emplace(newHandle, std::move(port));
    handle = newHandle;
    return FT_OK;
}

void QtSerialDriver::portFailed(FT_HANDLE handle, QSerialPort::SerialPortError error)
{
    Port *port = find(handle);
    // Errors of a call are answered by that call; only those that leave the port unusable are
    // news here, and only the first of them.
    if (!port || port->gone || serialPortStatus(error) != FT_IO_ERROR)
        return;
    port->gone = true;
    port->left = port->serial->readAll();
    // A hung-up port reports its error again on every pass of the event loop until closed.
    port->serial->close();
    // Waiters wake once, and their next read reports the loss.
    emit bytesArrived();
}

FT_STATUS QtSerialDriver::close(FT_HANDLE handle)
{
    const auto it = open_.find(handle);
    if (it == open_.end())
        return FT_INVALID_HANDLE;
    it->second->deleteLater = inReadyRead_ > 0;
    open_.erase(it);
    return FT_OK;
}

FT_STATUS QtSerialDriver::queueStatus(FT_HANDLE handle, quint32 &waiting)
{
    waiting = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (port->gone) {
        waiting = static_cast<quint32>(port->left.size());
        return waiting > 0 ? FT_OK : FT_IO_ERROR;
    }
    waiting = static_cast<quint32>(std::max<qint64>(port->serial->bytesAvailable(), 0));
    return FT_OK;
}

FT_STATUS QtSerialDriver::read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead)
{
    bytesRead = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (toRead > 0 && !buffer)
        return FT_INVALID_PARAMETER;
    if (port->gone) {
        if (port->left.isEmpty())
            return FT_IO_ERROR;
        const qsizetype n = std::min<qsizetype>(port->left.size(), toRead);
        std::memcpy(buffer, port->left.constData(), static_cast<size_t>(n));
        port->left.remove(0, n);
        bytesRead = static_cast<quint32>(n);
        return FT_OK;
    }
    const qint64 n = port->serial->read(static_cast<char *>(buffer), toRead);
    if (n < 0)
        return callFailed(*port->serial, FT_IO_ERROR);
    bytesRead = static_cast<quint32>(n);
    return FT_OK;
}

FT_STATUS QtSerialDriver::write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten)
{
    bytesWritten = 0;
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (toWrite > 0 && !buffer)
        return FT_INVALID_PARAMETER;
    if (port->gone)
        return FT_IO_ERROR;
    const qint64 room = std::max<qint64>(kWriteBound - port->serial->bytesToWrite(), 0);
    const qint64 n = std::min<qint64>(room, toWrite);
    if (n > 0 && port->serial->write(static_cast<const char *>(buffer), n) != n)
        return callFailed(*port->serial, FT_IO_ERROR);
    // QSerialPort writes from the event loop; handing the bytes to the system now (without
    // waiting) spares a live message that pass, and lets a command that ends after its last
    // message end without taking that message with it.
    if (n > 0)
        port->serial->flush();
    bytesWritten = static_cast<quint32>(n);
    if (bytesWritten < toWrite)
        port->full = true;
    return FT_OK;
}

FT_STATUS QtSerialDriver::purge(FT_HANDLE handle, quint32 mask)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if ((mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0)
        return FT_INVALID_PARAMETER;
    if (port->gone)
        return FT_IO_ERROR;
    QSerialPort::Directions directions;
    if (mask & FT_PURGE_RX)
        directions |= QSerialPort::Input;
    if (mask & FT_PURGE_TX)
        directions |= QSerialPort::Output;
    if (directions != QSerialPort::Directions() && !port->serial->clear(directions))
        return callFailed(*port->serial, FT_IO_ERROR);
    return FT_OK;
}

FT_STATUS QtSerialDriver::setBaudRate(FT_HANDLE handle, quint32 baud)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    if (port->gone)
        return FT_IO_ERROR;
    if (baud == 0 || baud > static_cast<quint32>(std::numeric_limits<qint32>::max()))
        return FT_INVALID_BAUD_RATE;
    if (!port->serial->setBaudRate(static_cast<qint32>(baud)))
        return callFailed(*port->serial, FT_INVALID_BAUD_RATE);
    return FT_OK;
}

FT_STATUS QtSerialDriver::setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity)
{
    Port *port = find(handle);
    if (!port)
        return FT_INVALID_HANDLE;
    QSerialPort::DataBits dataBits{};
    switch (bits) {
    case 7:
        dataBits = QSerialPort::Data7;
        break;
    case 8:
        dataBits = QSerialPort::Data8;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    QSerialPort::StopBits stop{};
    switch (stopBits) {
    case 0:
        stop = QSerialPort::OneStop;
        break;
    case 2:
        stop = QSerialPort::TwoStop;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    QSerialPort::Parity wanted{};
    switch (parity) {
    case 0:
        wanted = QSerialPort::NoParity;
        break;
    case 1:
        wanted = QSerialPort::OddParity;
        break;
    case 2:
        wanted = QSerialPort::EvenParity;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    if (port->gone)
        return FT_IO_ERROR;
    QSerialPort &serial = *port->serial;
    // On a real port a framing that did not take would garble every byte: the port is as good
    // as gone, as the termios driver says too. A pseudo-terminal has no line and refuses
    // parity; a virtual pedal knows that.
    const bool taken =
        serial.setDataBits(dataBits) && serial.setStopBits(stop) && (serial.setParity(wanted) || port->virtualPedal);
    serial.clearError();
    return taken ? FT_OK : FT_IO_ERROR;
}

FT_STATUS QtSerialDriver::setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs)
{
    // Nothing here waits, so there is nothing for a timeout to bound.
    Q_UNUSED(readMs);
    Q_UNUSED(writeMs);
    return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FT_STATUS QtSerialDriver::resetDevice(FT_HANDLE handle)
{
    return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

} // namespace vadrelon
