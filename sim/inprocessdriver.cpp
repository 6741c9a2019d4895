#include "inprocessdriver.h"

#include <algorithm>
#include <cstring>

namespace vadrelon::sim {

namespace {
// What the kernel and the bridge hold for a pedal that takes no more bytes.
constexpr quint32 kLineBufferBytes = 4096;
} // namespace

InProcessDriver::~InProcessDriver()
{
    for (auto &entry : ports_)
        QObject::disconnect(entry.second.link);
}

void InProcessDriver::attach(VirtualPedal *pedal)
{
    if (!pedal || attached_.contains(pedal))
        return;
    attached_.append(pedal);
    // A port hangs up when its device goes: whoever waits on it hears of it at once.
    connect(pedal, &VirtualPedal::unplugged, this, [this, pedal] { wakeWaitersOn(pedal); });
}

void InProcessDriver::detach(VirtualPedal *pedal)
{
    attached_.removeAll(pedal);
    if (pedal)
        disconnect(pedal, &VirtualPedal::unplugged, this, nullptr);
    wakeWaitersOn(pedal);
}

void InProcessDriver::wakeWaitersOn(const VirtualPedal *pedal)
{
    for (const auto &entry : ports_) {
        if (entry.second.pedal == pedal) {
            emit bytesArrived();
            return;
        }
    }
}

bool InProcessDriver::present(const VirtualPedal *pedal) const
{
    if (!pedal || pedal->isUnplugged())
        return false;
    for (const auto &p : attached_) {
        if (p == pedal)
            return true;
    }
    return false;
}

FT_STATUS InProcessDriver::listCount(quint32 &count)
{
    listed_.clear();
    for (const auto &p : attached_) {
        if (present(p))
            listed_.append(p);
    }
    count = quint32(listed_.size());
    return FT_OK;
}

FT_STATUS InProcessDriver::listByIndex(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE])
{
    if (index >= quint32(listed_.size()) || !present(listed_[int(index)]))
        return FT_DEVICE_NOT_FOUND;
    const VirtualPedal *pedal = listed_[int(index)];
    QByteArray text;
    if (what & FT_OPEN_BY_SERIAL_NUMBER)
        text = pedal->serialNumber;
    else if (what & FT_OPEN_BY_DESCRIPTION)
        text = pedal->description;
    else
        return FT_INVALID_PARAMETER;
    // Like D2XX: zero-terminated when shorter than the buffer, filling it without a zero
    // when exactly as long.
    std::memset(answer, 0, sizeof answer);
    std::memcpy(answer, text.constData(), std::min<size_t>(size_t(text.size()), sizeof answer));
    return FT_OK;
}

FT_STATUS InProcessDriver::open(VirtualPedal *pedal, FT_HANDLE &handle)
{
    for (const auto &entry : ports_) {
        if (entry.second.pedal == pedal)
            return FT_DEVICE_NOT_OPENED; // one handle per device, as with the real chip
    }
    const FT_HANDLE h = nextHandle_++;
    Port &p = ports_[h];
    p.pedal = pedal;
    p.link = connect(pedal, &VirtualPedal::toHost, this, [this, h](const QByteArray &bytes) {
        auto it = ports_.find(h);
        if (it == ports_.end())
            return;
        it->second.rx += bytes;
        emit bytesArrived();
    });
    handle = h;
    return FT_OK;
}

FT_STATUS InProcessDriver::openByIndex(quint32 index, FT_HANDLE &handle)
{
    if (index >= quint32(listed_.size()) || !present(listed_[int(index)]))
        return FT_DEVICE_NOT_FOUND;
    return open(listed_[int(index)], handle);
}

FT_STATUS InProcessDriver::openBySerial(const char *serial, FT_HANDLE &handle)
{
    if (!serial)
        return FT_INVALID_PARAMETER;
    for (const auto &p : attached_) {
        if (present(p) && p->serialNumber == QByteArray(serial))
            return open(p, handle);
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS InProcessDriver::port(FT_HANDLE handle, Port *&out)
{
    auto it = ports_.find(handle);
    if (it == ports_.end())
        return FT_INVALID_HANDLE;
    if (forced_) {
        const FT_STATUS s = *forced_;
        forced_.reset();
        return s;
    }
    if (!present(it->second.pedal))
        return FT_IO_ERROR;
    out = &it->second;
    return FT_OK;
}

FT_STATUS InProcessDriver::close(FT_HANDLE handle)
{
    auto it = ports_.find(handle);
    if (it == ports_.end())
        return FT_INVALID_HANDLE;
    QObject::disconnect(it->second.link);
    ports_.erase(it);
    return FT_OK;
}

FT_STATUS InProcessDriver::queueStatus(FT_HANDLE handle, quint32 &waiting)
{
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    waiting = quint32(p->rx.size());
    return FT_OK;
}

FT_STATUS InProcessDriver::read(FT_HANDLE handle, void *buffer, quint32 toRead, quint32 &bytesRead)
{
    bytesRead = 0;
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    const int n = int(std::min<qint64>(toRead, p->rx.size()));
    std::memcpy(buffer, p->rx.constData(), size_t(n));
    p->rx.remove(0, n);
    bytesRead = quint32(n);
    return FT_OK;
}

FT_STATUS InProcessDriver::write(FT_HANDLE handle, const void *buffer, quint32 toWrite, quint32 &bytesWritten)
{
    bytesWritten = 0;
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    const QPointer<VirtualPedal> pedal = p->pedal;
    const Framing framing = p->framing;
    if (!pedal->isReading()) {
        bytesWritten = std::min(toWrite, kLineBufferBytes - std::min(p->unread, kLineBufferBytes));
        p->unread += bytesWritten;
        return FT_OK;
    }
    bytesWritten = toWrite; // before the pedal runs: an unplug it causes must not touch *p
    pedal->hostWrite(QByteArray(static_cast<const char *>(buffer), int(toWrite)), framing);
    return FT_OK;
}

FT_STATUS InProcessDriver::purge(FT_HANDLE handle, quint32 mask)
{
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    if (mask & FT_PURGE_RX)
        p->rx.clear();
    // Writes reach a reading pedal at once; only what a pedal that stopped reading left in the
    // line's buffers is there to purge on the way out.
    if (mask & FT_PURGE_TX)
        p->unread = 0;
    return FT_OK;
}

FT_STATUS InProcessDriver::setBaudRate(FT_HANDLE handle, quint32 baud)
{
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    if (baud == 0)
        return FT_INVALID_BAUD_RATE;
    p->framing.baud = baud;
    return FT_OK;
}

FT_STATUS InProcessDriver::setDataCharacteristics(FT_HANDLE handle, quint8 bits, quint8 stopBits, quint8 parity)
{
    Port *p = nullptr;
    if (FT_STATUS s = port(handle, p))
        return s;
    if ((bits != 7 && bits != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FT_INVALID_PARAMETER;
    p->framing.dataBits = bits;
    p->framing.stopBits = stopBits;
    p->framing.parity = parity;
    p->framing.parityKnown = true;
    return FT_OK;
}

FT_STATUS InProcessDriver::setTimeouts(FT_HANDLE handle, quint32, quint32)
{
    Port *p = nullptr;
    return port(handle, p);
}

FT_STATUS InProcessDriver::resetDevice(FT_HANDLE handle)
{
    Port *p = nullptr;
    return port(handle, p);
}

} // namespace vadrelon::sim
