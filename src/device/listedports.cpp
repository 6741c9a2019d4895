#include "device/listedports.h"

#include <algorithm>
#include <cstring>

namespace vadrelon {

quint32 ListedPorts::rescan()
{
    Discovered found = discoverPorts();
    ports_ = std::move(found.ports);
    skipped_ = std::move(found.skipped);
    for (const PortInfo &named : named_)
        if (!listsPath(ports_, named.path))
            ports_.append(named);
    return static_cast<quint32>(ports_.size());
}

void ListedPorts::addNamed(const PortInfo &port)
{
    named_.append(port);
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

FT_STATUS ListedPortDriver::listCount(quint32 &count)
{
    count = listed_.rescan();
    return FT_OK;
}

FT_STATUS ListedPortDriver::listByIndex(quint32 index, quint32 what, char (&answer)[FT_LIST_ANSWER_SIZE])
{
    return listed_.answer(index, what, answer);
}

FT_STATUS ListedPortDriver::openByIndex(quint32 index, FT_HANDLE &handle)
{
    lastOpenFailure_ = {};
    const PortInfo *port = listed_.at(index);
    if (!port)
        return openFailed(FT_DEVICE_NOT_FOUND, OpenFailure::Cause::Gone, QString());
    return openPort(*port, handle);
}

FT_STATUS ListedPortDriver::openBySerial(const char *serial, FT_HANDLE &handle)
{
    lastOpenFailure_ = {};
    if (!serial)
        return FT_INVALID_PARAMETER;
    const PortInfo *port = listed_.bySerial(QByteArray(serial));
    if (!port)
        return openFailed(FT_DEVICE_NOT_FOUND, OpenFailure::Cause::Gone, QString());
    return openPort(*port, handle);
}

FT_STATUS ListedPortDriver::openFailed(FT_STATUS status, OpenFailure::Cause cause, const QString &port)
{
    lastOpenFailure_ = {cause, port};
    return status;
}

} // namespace vadrelon
