#pragma once
// The one layer over the serial driver: one device handle, one receive and one transmit
// buffer, shared by everything that talks to the pedal. Each operation makes one driver call
// (two for UsbRead), hands back the driver's status or a byte count, and reports a failure
// through the prompt while UsbErrorReporting is on. Nothing here retries, waits or sleeps.
#include "device/d2xx.h"
#include "support/prompt.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

namespace vadrelon {

constexpr quint32 kUsbBufferSize = 65536;
// Serial numbers handed to the driver are cut to this many characters.
constexpr int kSerialNumberMaxChars = 49;

// The text shown after an operation's name for a D2XX status (empty above 17).
QString usbStatusText(FT_STATUS status);

class UsbTransport : public QObject {
    Q_OBJECT
public:
    UsbTransport(SerialDriver &driver, Prompt &prompt, QObject *parent = nullptr);

    SerialDriver &driver() { return driver_; }

    FT_STATUS GetFTDeviceCount();
    FT_STATUS GetFTDeviceSerialNo(quint32 index);
    FT_STATUS GetFTDeviceDescription(quint32 index);
    FT_STATUS UsbOpen();
    FT_STATUS Open_USB_Device_By_Serial_Number(const QString &serial);
    FT_STATUS UsbClose();
    quint32 UsbRead(quint32 requested);
    quint32 UsbWrite(quint32 count);
    FT_STATUS UsbReset();
    FT_STATUS UsbSetBaudRate();
    FT_STATUS UsbSetDataCharacteristics();
    FT_STATUS UsbPurgeRx();
    FT_STATUS UsbPurgeTx();
    FT_STATUS UsbSetTimeouts(quint32 readMs, quint32 writeMs);
    FT_STATUS UsbQueueStatus();

    void ReportUsbError(const QString &operation, FT_STATUS status);

    // Copies bytes into the start of UsbTxBuffer and writes them in one write.
    quint32 writeBytes(const QByteArray &bytes);
    // The bytes of the last UsbRead, copied out of UsbRxBuffer.
    QByteArray lastRead() const;

    bool isOpen() const { return open_; }

    // One exchange with the pedal at a time: a status request, an upload, an upgrade or an
    // EEPROM read holds this while it runs; the periodic read and other commands stay away.
    bool exchangeRunning() const { return exchangeDepth_ > 0; }
    class Exchange {
    public:
        explicit Exchange(UsbTransport &t) : t_(t) { ++t_.exchangeDepth_; }
        ~Exchange() { --t_.exchangeDepth_; }
        Exchange(const Exchange &) = delete;
        Exchange &operator=(const Exchange &) = delete;
    private:
        UsbTransport &t_;
    };

    // Module state, under the names the rest of the editor knows it by.
    FT_HANDLE UsbHandle = 0;
    bool UsbErrorReporting = true;
    FT_STATUS UsbIoStatus = FT_OK;
    quint32 UsbBaudRate = 0;
    quint8 UsbDataBits = 0;
    quint8 UsbStopBits = 0;
    quint8 UsbParity = 0;
    quint32 UsbQueuedBytes = 0;
    std::vector<quint8> UsbRxBuffer;
    std::vector<quint8> UsbTxBuffer;
    quint32 UsbDeviceCount = 0;
    QByteArray UsbDeviceString;

signals:
    // The open device stopped answering (cable pulled): reported once, the port is closed.
    void deviceLost();

private:
    FT_STATUS listString(quint32 index, quint32 what, const char *name);
    FT_STATUS checked(FT_STATUS status, const char *name);
    void noteIoFailure(FT_STATUS status);

    SerialDriver &driver_;
    Prompt &prompt_;
    bool open_ = false;
    quint32 lastReadCount_ = 0;
    int exchangeDepth_ = 0;
};

} // namespace vadrelon
