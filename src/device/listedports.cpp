#include "device/listedports.h"

#include <algorithm>
#include <cstring>

namespace vadrelon {

quint32 ListedPorts::rescan()
{
    Discovered found = discoverPorts();
    ports_ = std::move(found.ports);
    skipped_ = std::move(found.skipped);
    return static_cast<quint32>(ports_.size());
}

FT_STATUS ListedPorts::answer(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE]) const
{
    if (index >= static_cast<quint32>(ports_.size()))
        return FT_DEVICE_NOT_FOUND;
    const PortInfo &port = ports_[static_cast<int>(index)];
    QByteArray text;
    switch (what & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION)) {
    case FT_OPEN_BY_SERIAL_NUMBER:
        text = port.serialNumber;
        break;
    case FT_OPEN_BY_DESCRIPTION:
        text = port.description;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    std::memset(answer, 0, sizeof answer);
    std::memcpy(answer, text.constData(), std::min<size_t>(static_cast<size_t>(text.size()), sizeof answer));
    return FT_OK;
}

const PortInfo *ListedPorts::at(quint32 index)
{
    if (index >= static_cast<quint32>(ports_.size()))
        rescan();
    return index < static_cast<quint32>(ports_.size()) ? &ports_[static_cast<int>(index)] : nullptr;
}

const PortInfo *ListedPorts::bySerial(const QByteArray &serial)
{
    const auto lookUp = [&]() -> const PortInfo * {
        const auto it =
            std::find_if(ports_.cbegin(), ports_.cend(), [&](const PortInfo &p) { return p.serialNumber == serial; });
        return it == ports_.cend() ? nullptr : &*it;
    };
    if (const PortInfo *port = lookUp())
        return port;
    rescan();
    return lookUp();
}

} // namespace vadrelon
