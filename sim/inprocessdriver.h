#pragma once
// The D2XX-shaped driver over virtual pedals living in the same process, for fast tests: the
// editor's transport talks to it exactly as to a serial port, and the pedal sees the framing
// the editor sets (so its bootloader answers only at even parity).
#include "device/d2xx.h"
#include "virtualpedal.h"

#include <QList>
#include <QPointer>
#include <map>
#include <optional>

namespace vadrelon::sim {

class InProcessDriver : public SerialDriver {
    Q_OBJECT
public:
    using SerialDriver::SerialDriver;
    ~InProcessDriver() override;

    // The pedal is not owned; a detached or destroyed pedal behaves like a pulled cable on
    // the handles open on it.
    void attach(VirtualPedal *pedal);
    void detach(VirtualPedal *pedal);

    // Test hook: the next call that takes a handle returns this status and does nothing else.
    void failNextCall(FT_STATUS status) { forced_ = status; }

    FT_STATUS listCount(quint32 &count) override;
    FT_STATUS listByIndex(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE]) override;
    FT_STATUS openByIndex(quint32 index, FT_HANDLE &handle) override;
    FT_STATUS openBySerial(const char *serial, FT_HANDLE &handle) override;
    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS queueStatus(FT_HANDLE handle, quint32 &waiting) override;
    FT_STATUS read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead) override;
    FT_STATUS write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten) override;
    FT_STATUS purge(FT_HANDLE handle, quint32 mask) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, quint32 baud) override;
    FT_STATUS setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity) override;
    FT_STATUS setTimeouts(FT_HANDLE handle, quint32 readMs, quint32 writeMs) override;
    FT_STATUS resetDevice(FT_HANDLE handle) override;

private:
    struct Port {
        QPointer<VirtualPedal> pedal;
        QByteArray rx;
        // Bytes written since the pedal stopped reading: the line's buffers hold them until
        // they are full, and then the host's writes are taken no more.
        quint32 unread = 0;
        Framing framing;
        QMetaObject::Connection link;
    };
    // The port of an open handle, or the status to answer with.
    FT_STATUS port(FT_HANDLE handle, Port *&out);
    bool present(const VirtualPedal *pedal) const;
    void wakeWaitersOn(const VirtualPedal *pedal);
    FT_STATUS open(VirtualPedal *pedal, FT_HANDLE &handle);

    QList<QPointer<VirtualPedal>> attached_;
    QList<QPointer<VirtualPedal>> listed_; // the snapshot that listCount takes
    std::map<FT_HANDLE, Port> ports_;
    FT_HANDLE nextHandle_ = 1; // never reused, so a stale handle stays invalid
    std::optional<FT_STATUS> forced_;
};

} // namespace vadrelon::sim
