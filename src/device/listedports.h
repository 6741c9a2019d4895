#pragma once
// The ports of the last listing, as the D2XX calls of a driver over the system's serial ports
// see them: counting lists afresh, the by-index queries answer from that listing, and an open
// lists afresh once when its port is not in it (a pedal plugged in since the last count).
#include "device/d2xx.h"
#include "device/discovery.h"

#include <QList>
#include <QStringList>

namespace vadrelon {

class ListedPorts {
public:
    // Lists the ports again; the number found.
    quint32 rescan();
    // FT_ListDevices by index: the serial number or the description, cut to the answer's size
    // and zero-terminated when shorter.
    FT_STATUS answer(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE]) const;
    // The port at the index, or null when there is none even after listing again.
    const PortInfo *at(quint32 index);
    const PortInfo *bySerial(const QByteArray &serial);
    // What the last listing passed over and why.
    QStringList skipped() const { return skipped_; }
    // Listed after the found ports at every listing, unless one of them has its path.
    void addNamed(const PortInfo &port);

private:
    QList<PortInfo> named_;
    QList<PortInfo> ports_;
    QStringList skipped_;
};

// A driver over the system's listed serial ports: listing and opening by index or by serial
// number come down to openPort once the port is found, and a failed open says why.
class ListedPortDriver : public SerialDriver {
public:
    using SerialDriver::SerialDriver;

    FT_STATUS listCount(quint32 &count) override;
    FT_STATUS listByIndex(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE]) override;
    FT_STATUS openByIndex(quint32 index, FT_HANDLE &handle) override;
    FT_STATUS openBySerial(const char *serial, FT_HANDLE &handle) override;
    OpenFailure lastOpenFailure() const override { return lastOpenFailure_; }
    QStringList skippedInLastList() const override { return listed_.skipped(); }
    void addNamedPort(const PortInfo &port) override { listed_.addNamed(port); }

    // Opens the given port, listed or not, for this program alone.
    virtual FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) = 0;

protected:
    FT_STATUS openFailed(FT_STATUS status, OpenFailure::Cause cause, const QString &port);

    OpenFailure lastOpenFailure_;

private:
    ListedPorts listed_;
};

} // namespace vadrelon
