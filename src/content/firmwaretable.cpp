#include "content/firmwaretable.h"

namespace vadrelon {

std::optional<FirmwareEntry> firmwareByVersion(int version)
{
    for (const FirmwareEntry &e : kFirmwareTable)
        if (e.version == version)
            return e;
    return std::nullopt;
}

std::optional<FirmwareEntry> firmwareByName(const QString &name)
{
    for (const FirmwareEntry &e : kFirmwareTable)
        if (name.compare(QLatin1String(e.resourceName), Qt::CaseInsensitive) == 0)
            return e;
    return std::nullopt;
}

QStringList firmwareListNames()
{
    QStringList names;
    for (const FirmwareEntry &e : kFirmwareTable)
        names << QStringLiteral("Firmware_%1").arg(e.version);
    return names;
}

} // namespace vadrelon
