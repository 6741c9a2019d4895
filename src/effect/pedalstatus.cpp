#include "effect/pedalstatus.h"

#include "base/hexcodec.h"

namespace vadrelon {

Result<StatusSummary> summarizeStatus(const QByteArray &values, int effectCount)
{
    if (values.size() < kStatusValueCount)
        return Error{ErrorCode::ShortReply, QStringLiteral("%1 of %2").arg(values.size()).arg(kStatusValueCount)};
    const auto at = [&](int i) { return static_cast<quint8>(values[i]); };
    StatusSummary s;
    s.firmware = at(StatusIndex::Firmware);
    s.firmwareVersion = QString::number(s.firmware);
    s.algorithmVersion = hex2(at(StatusIndex::AlgorithmHigh)) + hex2(at(StatusIndex::AlgorithmLow));
    s.effectNumber = hex2(at(StatusIndex::Effect));
    // Both are hex digits read as decimal: a letter among them is not a version we know.
    try {
        s.algorithm = parseDecimal(s.algorithmVersion);
    } catch (const ConversionError &) {
        return Error{
            ErrorCode::UntrustedReply,
            QStringLiteral("The pedal reported an algorithm version that is not valid (%1).").arg(s.algorithmVersion)};
    }
    bool known = true;
    try {
        s.effectRow = parseDecimal(s.effectNumber);
    } catch (const ConversionError &) {
        known = false;
    }
    // A row beyond the catalogue would open the effect window on no effect at all.
    if (!known || s.effectRow > 9 || s.effectRow >= effectCount)
        return Error{ErrorCode::UntrustedReply,
                     QStringLiteral("The pedal reported an effect number that is not valid (%1).").arg(s.effectNumber)};
    return s;
}

VersionVerdict judgeVersions(const StatusSummary &s, quint32 latestFirmware, quint32 latestAlgorithm,
                             DeviceState &device, QStringList &trace)
{
    device.deviceFirmwareVersion = s.firmwareVersion;
    device.deviceAlgorithmVersion = s.algorithmVersion;
    device.deviceEffectNumber = s.effectNumber;
    trace << QStringLiteral("Firmware Version: ") + s.firmwareVersion
          << QStringLiteral("Algorithm version: ") + s.algorithmVersion
          << QStringLiteral("Current device firmware: ") + s.firmwareVersion
          << QStringLiteral("Most recent firmware: %1").arg(latestFirmware)
          << QStringLiteral("Effect Number: ") + s.effectNumber;
    if (static_cast<quint32>(s.firmware) < latestFirmware)
        return VersionVerdict::FirmwareOutdated;
    if (static_cast<quint32>(s.algorithm) < latestAlgorithm)
        return VersionVerdict::AlgorithmOutdated;
    return VersionVerdict::Current;
}

QStringList firmwareUpgradeMessages(quint32 latestFirmware)
{
    const QStringList steps{
        QStringLiteral("If current firmware is below 9 follow legacy firmware upgrade mode:"),
        QStringLiteral("1) close editor application and disconnect pedal from USB"),
        QStringLiteral("2) hold shift button while connecting pedal to USB"),
        QStringLiteral("3) start application, check Firmware Upgrade Mode in Firmware Upgrade menu"),
        QStringLiteral("4) clink Link under Connection menu"),
        QStringLiteral("5) go to Firmware Upgrade menu again and select Firmware Upgrade"),
        QString(),
        QStringLiteral("If current firmware is 9 or above go to Firmware Upgrade menu and follow instructions."),
    };
    return {QStringLiteral("A firmware upgrade is required. Upgrade to Firmware %1").arg(latestFirmware),
            steps.join(QStringLiteral("\r\n"))};
}

QString algorithmUploadMessage(quint32 latestAlgorithm)
{
    return QStringLiteral("Upload the latest version of Vadrelon MK3 algorithm:\r\nUpload Vadrelon MK3 00%1")
        .arg(latestAlgorithm);
}

StatusView applyPedalStatus(const QByteArray &values, DeviceState &device, EffectState &effect,
                            ParameterSet &parameters)
{
    StatusView view;
    device.statusValues = values;
    device.settingsRead = values.size() >= kStatusValueCount;
    if (const std::optional<FootswitchDecode> d = decodeFootswitchMode(values, StatusIndex::FootswitchMode)) {
        effect.footswitchMode = d->mode;
        view.footswitch = d->buttons;
        view.trace << d->trace;
    }
    if (const std::optional<AssignmentDecode> d = decodeAssignments(values, StatusIndex::Assignments, parameters))
        view.assignmentEntries = d->entries;
    if (const std::optional<TuningDecode> d = decodeTuning(values, StatusIndex::Tuning)) {
        view.trace << d->trace;
        if (d->tuningIndex) {
            effect.currentTuning = static_cast<quint8>(*d->tuningIndex);
            view.tuningEntry = d->tuningIndex;
        }
        if (d->semitoneIndex) {
            effect.semitoneVariation = d->semitone;
            view.semitoneEntry = d->semitoneIndex;
        }
    }
    const auto at = [&](int i) { return static_cast<quint8>(values[i]); };
    if (values.size() > StatusIndex::MidiChannel) {
        view.bypass = flagIsOn(at(StatusIndex::Bypass));
        if (view.bypass)
            effect.bypass = *view.bypass;
        view.storeBypass = flagIsOn(at(StatusIndex::BypassStorage));
        device.instrumentCode = at(StatusIndex::Instrument);
        if (device.instrumentCode == 255 || device.instrumentCode == 186)
            view.guitar = device.instrumentCode == 255;
        const quint8 midi = at(StatusIndex::MidiChannel);
        if (midi == 0 || midi == 255)
            view.midiChannelItem = 0;
        else if (midi <= 16)
            view.midiChannelItem = midi;
        view.trace << QStringLiteral("MIDI channel: %1").arg(midi);
    }
    if (const std::optional<ParameterBlock> block = decodeParameterBlock(values, StatusIndex::Parameters)) {
        parameters.setValues(block->values);
        view.trace << block->trace;
        view.parametersRead = true;
    }
    return view;
}

} // namespace vadrelon
