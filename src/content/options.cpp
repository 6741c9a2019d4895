#include "content/options.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "content/addressheader.h"
#include "content/firmwaretable.h"
#include "content/resources.h"

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

QString eraseSettingsQuestion()
{
    return QStringList{
        QStringLiteral("Are you sure you want to delete all settings?"),
        QStringLiteral("This action will delete the Vadrelon MK3 algorithm and any other settings like presets and "
                       "assignments"),
        QStringLiteral("Erase settings is suggested in the following cases:"),
        QStringLiteral("- the pedal is unresponsive/freezed after updates"),
        QStringLiteral("- you want to switch to the Tesvano MultiEfx"),
        QStringLiteral("If you proceed with erasing you can always restore algorithm by:"),
        QStringLiteral("- uploading the Vadrelon MK3 algorithm once again from \"Upload Selected\" button"),
        QStringLiteral("- click Request"),
        QStringLiteral("- set tuning and assignments as desired"),
        QStringLiteral("- click Save Parameters, Set Tuning, Assign"),
    }
        .join(QStringLiteral("\r\n"));
}

std::optional<Error> loadCatalogue(ContentState &content)
{
    const Result<QStringList> catalogue = loadResourceLines(QString::fromLatin1(kCatalogueResourceName));
    if (const Error *error = std::get_if<Error>(&catalogue))
        return *error;
    content.resourceLines = std::get<QStringList>(catalogue);
    if (content.resourceLines.isEmpty())
        return std::nullopt;
    const Result<quint32> latest = latestAlgorithmVersionFrom(content.resourceLines.first());
    if (const Error *error = std::get_if<Error>(&latest))
        return *error;
    content.latestAlgorithmVersion = std::get<quint32>(latest);
    return std::nullopt;
}

std::optional<Error> selectEffect(ContentState &content, const QString &effectName, ConsoleLog &log)
{
    content.selectedEffectName = effectName;
    log.print(QStringLiteral("selected effect name: ") + effectName);
    const QString name = resourceNameFor(effectName);
    log.print(QStringLiteral("resource name: ") + name);
    const Result<QStringList> lines = loadResourceLines(name);
    if (const Error *error = std::get_if<Error>(&lines)) {
        // This build may carry no product images; the shipped address header still lets the
        // effect be edited, so only a missing header too is worth a message.
        if (addressHeaderFor(effectName, QString()).source == AddressSource::ShippedHeader) {
            log.print(
                QStringLiteral("no image embedded for %1; parameter addresses from its shipped header").arg(name));
            return std::nullopt;
        }
        return *error;
    }
    content.resourceLines = std::get<QStringList>(lines);
    log.print(QStringLiteral("filecontent (first 128 bytes): ") + content.resourceLines.value(0).left(256));
    return std::nullopt;
}

} // namespace vadrelon
