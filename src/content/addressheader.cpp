#include "content/addressheader.h"

#include "content/resources.h"

#include <algorithm>

namespace vadrelon {

bool isAddressHeaderLine(const QString &line)
{
    if (line.size() < kAddressHeaderChars)
        return false;
    const auto head = QStringView(line).left(kAddressHeaderChars);
    return std::all_of(head.begin(), head.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}

AddressHeader addressHeaderFor(const QString &effectName, const QString &loadedImageText)
{
    if (isAddressHeaderLine(loadedImageText))
        return {AddressSource::LoadedImage, loadedImageText.left(kAddressHeaderChars), {}};

    if (!effectName.isEmpty()) {
        const Result<QByteArray> shipped = findResourceIn({QStringLiteral(":/headers")}, resourceNameFor(effectName));
        if (const QByteArray *bytes = std::get_if<QByteArray>(&shipped)) {
            const QString line = QString::fromLatin1(bytes->trimmed());
            if (isAddressHeaderLine(line))
                return {AddressSource::ShippedHeader, line.left(kAddressHeaderChars), {}};
        }
    }

    AddressHeader none;
    none.reason = effectName.isEmpty() ? QStringLiteral("no effect selected")
                                       : QStringLiteral("no parameter addresses for \"%1\": its image is not loaded "
                                                        "and no address header ships for it")
                                             .arg(effectName);
    return none;
}

AddressHeader addressHeaderFor(const QString &effectName, const QStringList &resourceLines)
{
    return addressHeaderFor(effectName, resourceLines.value(0));
}

} // namespace vadrelon
