#include "content/options.h"

#include "content/addressheader.h"
#include "content/firmwaretable.h"
#include "content/resources.h"
#include "device/hexcodec.h"
#include "support/consolelog.h"

namespace vadrelon {

std::optional<QString> buildMidiChannelMessage(const QString &item)
{
    if (item == QLatin1String("OMNI"))
        return QStringLiteral("0700");
    bool ok = false;
    const int channel = item.toInt(&ok, 10);
    if (!ok || channel < 1 || channel > 16)
        return std::nullopt;
    return QStringLiteral("07") + hex2(static_cast<quint32>(channel));
}

QString buildBypassStorageMessage(bool store)
{
    return store ? QStringLiteral("1001") : QStringLiteral("10FF");
}

std::optional<QString> loadCatalogue(ContentState &content)
{
    const Outcome<QStringList> catalogue = loadResourceLines(QString::fromLatin1(kCatalogueResourceName));
    if (!catalogue)
        return QStringLiteral("Error loading resource: ") + catalogue.error();
    content.resourceLines = *catalogue;
    if (catalogue->isEmpty())
        return std::nullopt;
    const Outcome<quint32> latest = latestAlgorithmVersionFrom(catalogue->first());
    if (!latest)
        return QStringLiteral("The effect catalogue is damaged: ") + latest.error();
    content.latestAlgorithmVersion = *latest;
    return std::nullopt;
}

std::optional<QString> selectEffect(ContentState &content, const QString &effectName, ConsoleLog &log)
{
    content.selectedEffectName = effectName;
    log.print(QStringLiteral("selected effect name: ") + effectName);
    const QString name = resourceNameFor(effectName);
    log.print(QStringLiteral("resource name: ") + name);
    const Outcome<QStringList> lines = loadResourceLines(name);
    if (!lines) {
        // This build may carry no product images; the shipped address header still lets the
        // effect be edited, so only a missing header too is worth a message.
        if (addressHeaderFor(effectName, QString()).source == AddressSource::ShippedHeader) {
            log.print(QStringLiteral("no image embedded for %1; parameter addresses from its shipped header").arg(name));
            return std::nullopt;
        }
        return QStringLiteral("Error loading resource: ") + lines.error();
    }
    content.resourceLines = *lines;
    log.print(QStringLiteral("filecontent (first 128 bytes): ") + content.resourceLines.value(0).left(256));
    return std::nullopt;
}

} // namespace vadrelon
