#pragma once
// The serial driver for POSIX systems: raw termios on the port that the kernel's FTDI driver
// creates (/dev/ttyUSB* on Linux, /dev/cu.usbserial* on macOS) or on a virtual pedal's
// pseudo-terminal. Every call returns at once: a write takes what the kernel accepts and
// emits writable() when there is room for the rest.
#include "device/d2xx.h"
#include "device/discovery.h"
#include "device/listedports.h"

#include <map>
#include <memory>

namespace vadrelon {

class PosixSerialDriver : public ListedPortDriver {
    Q_OBJECT
public:
    explicit PosixSerialDriver(QObject *parent = nullptr);
    ~PosixSerialDriver() override;

    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS queueStatus(FT_HANDLE handle, quint32 &waiting) override;
    FT_STATUS read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead) override;
    FT_STATUS write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten) override;
    FT_STATUS purge(FT_HANDLE handle, quint32 mask) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, quint32 baud) override;
    FT_STATUS setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs) override;
    FT_STATUS resetDevice(FT_HANDLE handle) override;
    void setLowLatency(FT_HANDLE handle, bool on) override;

    // Opens the given port, listed or not, for exclusive use in raw mode. The open calls
    // above come down to this once they have found the port in the list.
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override;

private:
    struct Port;

    Port *find(FT_HANDLE handle);
    void portReadable(FT_HANDLE handle);
    void resumeNotifier(Port &port);

    std::map<FT_HANDLE, std::unique_ptr<Port>> open_;
    // Handles are never reused, so a stale one is always recognised.
    FT_HANDLE nextHandle_ = 1;
};

} // namespace vadrelon
