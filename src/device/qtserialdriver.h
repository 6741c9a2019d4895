#pragma once
// The serial driver on Qt Serial Port, for the systems where the pedal's FTDI bridge is a
// virtual COM port of FTDI's or the system's own driver (macOS, Windows). On Linux it is chosen
// by VADRELON_SERIAL_DRIVER=qt, so that it is tested where the termios driver runs.
//
// Every call returns at once: reads answer from what QSerialPort has already taken in on
// readyRead, and a write hands its bytes to the system straight away, leaving no more than a
// small bound waiting in QSerialPort (writable() says when more fits), so that a pedal that
// stops reading stalls the link's write as it does on the termios driver instead of vanishing
// into an unbounded buffer.
//
// What QSerialPort cannot do that the termios driver does:
// - Low latency: it has no call for the FTDI latency timer (16 ms unless set otherwise), so
//   setLowLatency() does nothing; on Windows the timer is set in the port's advanced settings.
// - Reading the framing back: it only says whether the system took a setting. A
//   pseudo-terminal refuses parity outright, so a failed parity setting is excused on a
//   virtual pedal's port, and on a real port QSerialPort's answer is all there is to go on.
#include "device/d2xx.h"
#include "device/discovery.h"
#include "device/listedports.h"

#include <QSerialPort>
#include <map>
#include <memory>

namespace vadrelon {

// The driver status a QSerialPort error stands for. A read or resource error means the device
// went away under us (or is as good as gone): the transport unlinks on FT_IO_ERROR.
FT_STATUS serialPortStatus(QSerialPort::SerialPortError error);

class QtSerialDriver : public ListedPortDriver {
    Q_OBJECT
public:
    // What a port holds of written bytes not yet on the line before a write takes no more.
    static constexpr qint64 kWriteBound = 4096;

    explicit QtSerialDriver(QObject *parent = nullptr);
    ~QtSerialDriver() override;

    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS queueStatus(FT_HANDLE handle, quint32 &waiting) override;
    FT_STATUS read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead) override;
    FT_STATUS write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten) override;
    FT_STATUS purge(FT_HANDLE handle, quint32 mask) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, quint32 baud) override;
    FT_STATUS setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs) override;
    FT_STATUS resetDevice(FT_HANDLE handle) override;

    // Opens the given port, listed or not, for this program alone. The open calls above come
    // down to this once they have found the port in the list.
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override;

private:
    struct Port;

    Port *find(FT_HANDLE handle);
    void portFailed(FT_HANDLE handle, QSerialPort::SerialPortError error);

    std::map<FT_HANDLE, std::unique_ptr<Port>> open_;
    // Handles are never reused, so a stale one is always recognised.
    FT_HANDLE nextHandle_ = 1;
    // Inside a port's readyRead: a port closed now is deleted later.
    int inReadyRead_ = 0;
};

} // namespace vadrelon
