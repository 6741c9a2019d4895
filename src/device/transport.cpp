#include "device/transport.h"

#include <algorithm>
#include <cstring>

namespace vadrelon {

QString usbStatusText(FT_STATUS status)
{
    static const char *const texts[] = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    return status < std::size(texts) ? QString::fromLatin1(texts[status]) : QString();
}

UsbTransport::UsbTransport(SerialDriver &driver, Prompt &prompt, QObject *parent)
    : QObject(parent), UsbRxBuffer(kUsbBufferSize, 0), UsbTxBuffer(kUsbBufferSize, 0),
      driver_(driver), prompt_(prompt)
{
}

void UsbTransport::ReportUsbError(const QString &operation, FT_STATUS status)
{
    if (!UsbErrorReporting || status == FT_OK)
        return;
    prompt_.message(operation + usbStatusText(status));
}

FT_STATUS UsbTransport::checked(FT_STATUS status, const char *name)
{
    ReportUsbError(QString::fromLatin1(name), status);
    return status;
}

// A read, write or queue query that fails with an I/O error on the open port means the
// device has gone (cable pulled). Say so once, close the port, and let the window unlink;
// without this every later tick would fail again with nobody the wiser.
void UsbTransport::noteIoFailure(FT_STATUS status)
{
    if (!open_ || (status != FT_IO_ERROR && status != FT_DEVICE_NOT_FOUND))
        return;
    driver_.close(UsbHandle);
    open_ = false;
    emit deviceLost();
}

FT_STATUS UsbTransport::GetFTDeviceCount()
{
    return checked(driver_.listCount(UsbDeviceCount), "GetFTDeviceCount");
}

FT_STATUS UsbTransport::listString(quint32 index, quint32 what, const char *name)
{
    char answer[FT_LIST_ANSWER_SIZE] = {};
    const FT_STATUS status = driver_.listByIndex(index, FT_LIST_BY_INDEX | what, answer);
    if (status == FT_OK)
        UsbDeviceString = QByteArray(answer, static_cast<int>(strnlen(answer, sizeof answer)));
    return checked(status, name);
}

FT_STATUS UsbTransport::GetFTDeviceSerialNo(quint32 index)
{
    return listString(index, FT_OPEN_BY_SERIAL_NUMBER, "GetFTDeviceSerialNo");
}

FT_STATUS UsbTransport::GetFTDeviceDescription(quint32 index)
{
    return listString(index, FT_OPEN_BY_DESCRIPTION, "GetFTDeviceDescription");
}

FT_STATUS UsbTransport::UsbOpen()
{
    if (open_)
        UsbClose();
    const FT_STATUS status = driver_.openByIndex(0, UsbHandle);
    open_ = status == FT_OK;
    return checked(status, "FT_Open");
}

FT_STATUS UsbTransport::Open_USB_Device_By_Serial_Number(const QString &serial)
{
    char buffer[kSerialNumberMaxChars + 1] = {};
    const QByteArray bytes = serial.toLatin1().left(kSerialNumberMaxChars);
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    // A second open closes the first handle rather than leaking it with the port held open.
    if (open_) {
        driver_.close(UsbHandle);
        open_ = false;
    }
    FT_HANDLE handle = 0;
    const FT_STATUS status = driver_.openBySerial(buffer, handle);
    if (status == FT_OK) {
        UsbHandle = handle;
        open_ = true;
    }
    return checked(status, "Open_USB_Device_By_Serial_Number");
}

FT_STATUS UsbTransport::UsbClose()
{
    const FT_STATUS status = driver_.close(UsbHandle);
    if (status == FT_OK)
        open_ = false;
    return checked(status, "FT_Close");
}

quint32 UsbTransport::UsbRead(quint32 /*requested*/)
{
    quint32 waiting = 0;
    driver_.queueStatus(UsbHandle, waiting);
    // The receive buffer holds 64 KiB; anything beyond stays queued for the next read.
    const quint32 toRead = std::min(waiting, kUsbBufferSize);
    quint32 got = 0;
    UsbIoStatus = driver_.read(UsbHandle, UsbRxBuffer.data(), toRead, got);
    if (UsbIoStatus != FT_OK)
        got = 0;
    lastReadCount_ = got;
    ReportUsbError(QStringLiteral("FT_Read"), UsbIoStatus);
    noteIoFailure(UsbIoStatus);
    return got;
}

quint32 UsbTransport::UsbWrite(quint32 count)
{
    count = std::min(count, kUsbBufferSize);
    quint32 written = 0;
    UsbIoStatus = driver_.write(UsbHandle, UsbTxBuffer.data(), count, written);
    if (UsbIoStatus != FT_OK)
        written = 0;
    ReportUsbError(QStringLiteral("FT_Write"), UsbIoStatus);
    noteIoFailure(UsbIoStatus);
    return written;
}

quint32 UsbTransport::writeBytes(const QByteArray &bytes)
{
    const auto n = std::min<quint32>(static_cast<quint32>(bytes.size()), kUsbBufferSize);
    std::memcpy(UsbTxBuffer.data(), bytes.constData(), n);
    return UsbWrite(n);
}

QByteArray UsbTransport::lastRead() const
{
    return QByteArray(reinterpret_cast<const char *>(UsbRxBuffer.data()),
                      static_cast<int>(lastReadCount_));
}

FT_STATUS UsbTransport::UsbReset()
{
    return checked(driver_.resetDevice(UsbHandle), "FT_ResetDevice");
}

FT_STATUS UsbTransport::UsbSetBaudRate()
{
    return checked(driver_.setBaudRate(UsbHandle, UsbBaudRate), "FT_SetBaudRate");
}

FT_STATUS UsbTransport::UsbSetDataCharacteristics()
{
    return checked(driver_.setDataCharacteristics(UsbHandle, UsbDataBits, UsbStopBits, UsbParity),
                   "FT_SetDataCharacteristics");
}

FT_STATUS UsbTransport::UsbPurgeRx()
{
    return checked(driver_.purge(UsbHandle, FT_PURGE_RX), "FT_Purge RX");
}

FT_STATUS UsbTransport::UsbPurgeTx()
{
    return checked(driver_.purge(UsbHandle, FT_PURGE_TX), "FT_Purge TX");
}

FT_STATUS UsbTransport::UsbSetTimeouts(quint32 readMs, quint32 writeMs)
{
    return checked(driver_.setTimeouts(UsbHandle, readMs, writeMs), "FT_SetTimeouts");
}

FT_STATUS UsbTransport::UsbQueueStatus()
{
    const FT_STATUS status = checked(driver_.queueStatus(UsbHandle, UsbQueuedBytes), "FT_GetQueueStatus");
    noteIoFailure(status);
    return status;
}

} // namespace vadrelon
