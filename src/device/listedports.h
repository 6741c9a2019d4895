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

private:
    QList<PortInfo> ports_;
    QStringList skipped_;
};

} // namespace vadrelon
