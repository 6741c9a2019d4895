#include "content/options.h"

#include "content/addressheader.h"
#include "content/firmwaretable.h"
#include "content/resources.h"
#include "device/hexcodec.h"
#include "support/consolelog.h"

namespace vadrelon {

std::optional<QString> BuildMidiChannelMessage(const QString &item)
{
    if (item == QLatin1String("OMNI"))
        return QStringLiteral("0700");
    bool ok = false;
    const int channel = item.toInt(&ok, 10);
    if (!ok || channel < 1 || channel > 16)
        return std::nullopt;
    return QStringLiteral("07") + hex2(static_cast<quint32>(channel));
}

QString BuildBypassStorageMessage(bool store)
{
    return store ? QStringLiteral("1001") : QStringLiteral("10FF");
}

std::optional<QString> LoadCatalogue(ContentState &content)
{
    const Outcome<QStringList> catalogue = LoadResourceLines(QString::fromLatin1(kCatalogueResourceName));
    if (!catalogue)
        return QStringLiteral("Error loading resource: ") + catalogue.error();
    content.ResourceLines = *catalogue;
    if (catalogue->isEmpty())
        return std::nullopt;
    const Outcome<quint32> latest = LatestAlgorithmVersionFrom(catalogue->first());
    if (!latest)
        return QStringLiteral("The effect catalogue is damaged: ") + latest.error();
    content.LatestAlgorithmVersion = *latest;
    return std::nullopt;
}

std::optional<QString> SelectEffect(ContentState &content, const QString &effectName, ConsoleLog &log)
{
    content.SelectedEffectName = effectName;
    log.ConsolePrint(QStringLiteral("selected effect name: ") + effectName);
    const QString name = ResourceNameFor(effectName);
    log.ConsolePrint(QStringLiteral("resource name: ") + name);
    const Outcome<QStringList> lines = LoadResourceLines(name);
    if (!lines) {
        // This build may carry no product images; the shipped address header still lets the
        // effect be edited, so only a missing header too is worth a message.
        if (AddressHeaderFor(effectName, QString()).source == AddressSource::ShippedHeader) {
            log.ConsolePrint(QStringLiteral("no image embedded for %1; parameter addresses from its shipped header").arg(name));
            return std::nullopt;
        }
        return QStringLiteral("Error loading resource: ") + lines.error();
    }
    content.ResourceLines = *lines;
    log.ConsolePrint(QStringLiteral("filecontent (first 128 bytes): ") + content.ResourceLines.value(0).left(256));
    return std::nullopt;
}

} // namespace vadrelon
