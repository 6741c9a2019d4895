#pragma once
// The small driver interface under the transport, shaped like FTDI's D2XX calls so that the
// transport keeps D2XX's arguments, results and status codes whichever driver sits below it:
// the POSIX serial driver, the Qt Serial Port driver, the in-process virtual pedal, or (later)
// FTDI's own library.
#include "device/discovery.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vadrelon {

using FT_STATUS = quint32;
using FT_HANDLE = quintptr;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
};

// FT_ListDevices flags
constexpr quint32 FT_LIST_NUMBER_ONLY = 0x80000000u;
constexpr quint32 FT_LIST_BY_INDEX = 0x40000000u;
constexpr quint32 FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr quint32 FT_OPEN_BY_DESCRIPTION = 2;
// FT_Purge masks
constexpr quint32 FT_PURGE_RX = 1;
constexpr quint32 FT_PURGE_TX = 2;
// FT_SetDataCharacteristics codes
constexpr quint8 FT_BITS_8 = 8;
constexpr quint8 FT_STOP_BITS_1 = 0;
constexpr quint8 FT_PARITY_NONE = 0;
constexpr quint8 FT_PARITY_EVEN = 2;

// D2XX answers list queries in 64-byte buffers.
constexpr int FT_LIST_ANSWER_SIZE = 64;

// Why an open failed, which D2XX's statuses do not tell: a port held by another program or
// barred to the user is nothing that trying again mends, and the person linking must hear which.
struct OpenFailure {
    enum class Cause { Unknown, Gone, NotASerialPort, InUse, PermissionDenied };
    Cause cause = Cause::Unknown;
    QString port; // the device path that was tried, when there was one
};

class SerialDriver : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialDriver() override = default;

    // FT_ListDevices(&count, null, FT_LIST_NUMBER_ONLY): also refreshes the list that the
    // by-index queries below answer from.
    virtual FT_STATUS listCount(quint32 &count) = 0;
    // FT_ListDevices(index, answer, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER or
    // FT_OPEN_BY_DESCRIPTION): fills the 64-byte answer, zero-terminated when shorter.
    virtual FT_STATUS listByIndex(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE]) = 0;
    // FT_Open(index, &handle)
    virtual FT_STATUS openByIndex(quint32 index, FT_HANDLE &handle) = 0;
    // FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle)
    virtual FT_STATUS openBySerial(const char *serial, FT_HANDLE &handle) = 0;
    virtual FT_STATUS close(FT_HANDLE handle) = 0;
    // FT_GetQueueStatus: received bytes waiting.
    virtual FT_STATUS queueStatus(FT_HANDLE handle, quint32 &waiting) = 0;
    // FT_Read: never blocks longer than it takes to copy what is already waiting.
    virtual FT_STATUS read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead) = 0;
    // FT_Write without the wait: takes what the port accepts now and says how much in
    // bytesWritten; the rest is for the caller to write once writable() is emitted.
    virtual FT_STATUS write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten) = 0;
    virtual FT_STATUS purge(FT_HANDLE handle, quint32 mask) = 0;
    virtual FT_STATUS setBaudRate(FT_HANDLE handle, quint32 baud) = 0;
    virtual FT_STATUS setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity) = 0;
    virtual FT_STATUS setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs) = 0;
    virtual FT_STATUS resetDevice(FT_HANDLE handle) = 0;

    // Beyond D2XX, for drivers that can tell more. After a failed openByIndex or openBySerial:
    // why it failed.
    virtual OpenFailure lastOpenFailure() const { return {}; }
    // After listCount: what it passed over and why, one sentence each, for the console.
    virtual QStringList skippedInLastList() const { return {}; }
    // A port named by its path that no listing finds (a serial adapter of another maker, a
    // pseudo-terminal nobody announced): listed after the found ones from now on, so that
    // it opens by the serial number it was given. A driver that lists no ports ignores it.
    virtual void addNamedPort(const PortInfo &) {}
    // Asks the port to hand over received bytes at once rather than after its latency timer
    // (16 ms on an FTDI bridge): a bootloader exchange is thousands of short answers. Off
    // puts back what the port had before. A port that knows no such setting ignores it.
    virtual void setLowLatency(FT_HANDLE handle, bool on)
    {
        Q_UNUSED(handle);
        Q_UNUSED(on);
    }

signals:
    // Received bytes became available on an open handle. Waits use it to wake up instead of
    // polling; a driver may emit it more often than needed, never less.
    void bytesArrived();
    // A port that took fewer bytes than it was given can take more now.
    void writable();
};

} // namespace vadrelon
