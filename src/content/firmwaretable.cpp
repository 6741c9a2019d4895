#include "content/firmwaretable.h"

#include <QRegularExpression>

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

std::optional<int> firmwareVersionFromFileName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("FIRMWARE_([0-9]{1,3})\\.BIN")),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const int version = match.captured(1).toInt();
    if (version < 1 || version > 255)
        return std::nullopt;
    return version;
}

} // namespace vadrelon
