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

Error usbError(const char *operation, FT_STATUS status)
{
    return {ErrorCode::Transport, QString::fromLatin1(operation) + usbStatusText(status)};
}

bool isDeviceGone(FT_STATUS status)
{
    return status == FT_IO_ERROR || status == FT_DEVICE_NOT_FOUND;
}

UsbTransport::UsbTransport(SerialDriver &driver) : driver_(driver) {}

FT_STATUS UsbTransport::countDevices(quint32 &count)
{
    return driver_.listCount(count);
}

namespace {

FT_STATUS listString(SerialDriver &driver, quint32 index, quint32 what, QByteArray &out)
{
    char answer[FT_LIST_ANSWER_SIZE] = {};
    const FT_STATUS status = driver.listByIndex(index, FT_LIST_BY_INDEX | what, answer);
    if (status == FT_OK)
        out = QByteArray(answer, static_cast<int>(strnlen(answer, sizeof answer)));
    return status;
}

} // namespace

FT_STATUS UsbTransport::serialNumberAt(quint32 index, QByteArray &serial)
{
    return listString(driver_, index, FT_OPEN_BY_SERIAL_NUMBER, serial);
}

FT_STATUS UsbTransport::descriptionAt(quint32 index, QByteArray &description)
{
    return listString(driver_, index, FT_OPEN_BY_DESCRIPTION, description);
}

FT_STATUS UsbTransport::open(const QString &serial)
{
    char buffer[kSerialNumberMaxChars + 1] = {};
    const QByteArray bytes = serial.toLatin1().left(kSerialNumberMaxChars);
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    FT_HANDLE handle = 0;
    const FT_STATUS status = driver_.openBySerial(buffer, handle);
    if (status != FT_OK)
        return status;
    if (open_)
        driver_.close(handle_);
    handle_ = handle;
    open_ = true;
    return FT_OK;
}

FT_STATUS UsbTransport::close()
{
    // The handle is given up whatever the driver answers: a port that cannot be closed is
    // no port to keep talking to.
    const FT_STATUS status = driver_.close(handle_);
    open_ = false;
    return status;
}

FT_STATUS UsbTransport::queueStatus(quint32 &waiting)
{
    waiting = 0;
    return driver_.queueStatus(handle_, waiting);
}

FT_STATUS UsbTransport::read(QByteArray &bytes)
{
    bytes.clear();
    quint32 waiting = 0;
    FT_STATUS status = driver_.queueStatus(handle_, waiting);
    if (status != FT_OK)
        return status;
    const quint32 toRead = std::min(waiting, kUsbBufferSize);
    if (toRead == 0)
        return FT_OK;
    bytes.resize(static_cast<int>(toRead));
    quint32 got = 0;
    status = driver_.read(handle_, bytes.data(), toRead, got);
    bytes.truncate(status == FT_OK ? static_cast<int>(got) : 0);
    return status;
}

FT_STATUS UsbTransport::write(const QByteArray &bytes, quint32 &written)
{
    written = 0;
    const FT_STATUS status = driver_.write(handle_, bytes.constData(), static_cast<quint32>(bytes.size()), written);
    if (status != FT_OK)
        written = 0;
    return status;
}

FT_STATUS UsbTransport::purgeRx()
{
    return driver_.purge(handle_, FT_PURGE_RX);
}

FT_STATUS UsbTransport::purgeTx()
{
    return driver_.purge(handle_, FT_PURGE_TX);
}

void UsbTransport::selectLinkMode(LinkMode mode)
{
    baud_ = 115200;
    dataBits_ = FT_BITS_8;
    stopBits_ = FT_STOP_BITS_1;
    parity_ = mode == LinkMode::Bootloader ? FT_PARITY_EVEN : FT_PARITY_NONE;
}

FT_STATUS UsbTransport::applyBaudRate()
{
    return driver_.setBaudRate(handle_, baud_);
}

FT_STATUS UsbTransport::applyDataCharacteristics()
{
    return driver_.setDataCharacteristics(handle_, dataBits_, stopBits_, parity_);
}

} // namespace vadrelon
