#include "session/pedalrules.h"

#include "effect/dialmapping.h"
#include "effect/messages.h"

namespace vadrelon {

std::optional<Error> refuseOutdated(VersionVerdict verdict, quint32 latestFirmware, quint32 latestAlgorithm)
{
    QString message;
    switch (verdict) {
    case VersionVerdict::Current:
        return std::nullopt;
    case VersionVerdict::FirmwareOutdated:
        message = firmwareUpgradeMessages(latestFirmware).constFirst();
        break;
    case VersionVerdict::AlgorithmOutdated:
        message = algorithmUploadMessage(latestAlgorithm).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        break;
    }
    return Error{ErrorCode::VersionsOutdated, message + QStringLiteral(". Nothing was sent.")};
}

quint32 liveValueFor(int index, quint32 reported)
{
    return messageValueFor(reported, ParameterSet().row(index).decodeScale);
}

Result<QList<ParameterChange>> presetChanges(const ParameterSet &pedal, const PresetValues &wanted)
{
    QList<ParameterChange> changes;
    for (int i = 0; i < kParameterCount; ++i) {
        const quint32 from = pedal.row(i).value;
        const quint32 to = wanted[static_cast<size_t>(i)];
        if (from == to)
            continue;
        const std::optional<QString> message = parameterMessageFor(pedal, i, liveValueFor(i, to));
        if (!message)
            return Error{ErrorCode::AddressUnknown, pedal.row(i).name};
        changes.append({i, from, to, *message});
    }
    return changes;
}

bool noteCutNeedsTuning(int parameter, quint8 currentTuning)
{
    return (parameter == ParDominantNotesCut || parameter == ParHighNotesCut) && currentTuning == 0;
}

bool entersBootloaderWhenAsked(int firmwareVersion)
{
    return firmwareVersion >= kFirstFirmwareEnteringBootloader;
}

std::optional<Error> refuseUploadAnswer(const QString &answer)
{
    const QString said = answer.trimmed();
    if (said.startsWith(QLatin1String("Upload complete")))
        return std::nullopt;
    return Error{ErrorCode::UploadNotConfirmed, said};
}

} // namespace vadrelon
