#pragma once
// The one layer over the serial driver: one device handle and the serial settings. Each
// operation makes one driver call (two for a read), keeps D2XX's status codes, and names
// itself the way the driver's messages do ("FT_Write", "FT_Purge RX" …) so that a failure
// reads the same whichever driver is below. It never retries, waits, sleeps or reports:
// the link object owns every call and decides what a failure means.
#include "base/error.h"
#include "device/d2xx.h"

#include <QByteArray>
#include <QString>

namespace vadrelon {

// Reads take at most this many bytes; the rest stays queued for the next read.
constexpr quint32 kUsbBufferSize = 65536;
// Serial numbers handed to the driver are cut to this many characters.
constexpr int kSerialNumberMaxChars = 49;

// The text shown after an operation's name for a D2XX status (empty above 17).
QString usbStatusText(FT_STATUS status);
// "FT_Write - General IO error..." and its kin.
Error usbError(const char *operation, FT_STATUS status);
// True for the statuses that mean the device itself has gone.
bool isDeviceGone(FT_STATUS status);

enum class LinkMode { Normal, Bootloader };

class UsbTransport {
public:
    explicit UsbTransport(SerialDriver &driver);

    SerialDriver &driver() { return driver_; }

    FT_STATUS countDevices(quint32 &count);
    FT_STATUS serialNumberAt(quint32 index, QByteArray &serial);
    FT_STATUS descriptionAt(quint32 index, QByteArray &description);
    // Opens the device by serial number. The new handle is opened before the old one is
    // closed, so a failed open leaves a working link as it was.
    FT_STATUS open(const QString &serial);
    FT_STATUS close();
    FT_STATUS queueStatus(quint32 &waiting);
    // Everything waiting, at most kUsbBufferSize bytes.
    FT_STATUS read(QByteArray &bytes);
    // Hands the bytes to the driver; written tells how many it took (fewer when the port's
    // buffer is full: the caller writes the rest when the driver says it is writable).
    FT_STATUS write(const QByteArray &bytes, quint32 &written);
    FT_STATUS purgeRx();
    FT_STATUS purgeTx();
    // Stores the serial settings of a link mode: 115200 baud, 8 data bits, one stop bit, and
    // even parity for the bootloader, none for the running firmware.
    void selectLinkMode(LinkMode mode);
    FT_STATUS applyBaudRate();
    FT_STATUS applyDataCharacteristics();

    bool isOpen() const { return open_; }
    FT_HANDLE handle() const { return handle_; }
    quint32 baudRate() const { return baud_; }
    quint8 parity() const { return parity_; }

private:
    SerialDriver &driver_;
    FT_HANDLE handle_ = 0;
    bool open_ = false;
    quint32 baud_ = 115200;
    quint8 dataBits_ = FT_BITS_8;
    quint8 stopBits_ = FT_STOP_BITS_1;
    quint8 parity_ = FT_PARITY_NONE;
};

} // namespace vadrelon
