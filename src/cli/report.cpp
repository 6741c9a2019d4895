#include "cli/report.h"

#include "base/hexcodec.h"
#include "content/tuning.h"
#include "effect/dialmapping.h"
#include "effect/messages.h"
#include "effect/statusblocks.h"

#include <QFileInfo>
#include <QJsonArray>

namespace vadrelon::cli {

namespace {

QString unknown(quint8 byte)
{
    return QStringLiteral("unknown (%1)").arg(byte);
}

QString onOff(quint8 byte)
{
    if (byte > 1)
        return unknown(byte);
    return byte == 1 ? QStringLiteral("on") : QStringLiteral("off");
}

QString instrumentWord(quint8 byte)
{
    if (byte == kGuitar)
        return QStringLiteral("guitar");
    if (byte == kBass)
        return QStringLiteral("bass");
    return unknown(byte);
}

QString midiWord(quint8 byte)
{
    if (byte == 0 || byte == 255)
        return QStringLiteral("omni");
    if (byte <= 16)
        return QString::number(byte);
    return unknown(byte);
}

QString parameterName(int i)
{
    static const ParameterSet names;
    return names.row(i).name;
}

QString signedNumber(int n)
{
    return n > 0 ? QStringLiteral("+%1").arg(n) : QString::number(n);
}

QString versionsWord(VersionVerdict verdict)
{
    switch (verdict) {
    case VersionVerdict::FirmwareOutdated:
        return QStringLiteral("firmware upgrade required");
    case VersionVerdict::AlgorithmOutdated:
        return QStringLiteral("algorithm upload required");
    case VersionVerdict::Current:
        break;
    }
    return QStringLiteral("current");
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

Result<PedalReport> readPedalReport(const QByteArray &values, const QStringList &catalogue, quint32 latestFirmware,
                                    quint32 latestAlgorithm)
{
    const Result<StatusSummary> read = summarizeStatus(values, static_cast<int>(catalogue.size()));
    if (const Error *error = std::get_if<Error>(&read))
        return *error;
    const StatusSummary &summary = std::get<StatusSummary>(read);
    DeviceState device;
    QStringList trace;
    PedalReport report;
    report.verdict = judgeVersions(summary, latestFirmware, latestAlgorithm, device, trace);
    report.firmware = summary.firmwareVersion;
    report.algorithm = summary.algorithmVersion;
    report.effectNumber = summary.effectNumber;
    report.effectName = catalogue.value(summary.effectRow);
    if (const std::optional<ParameterBlock> block = decodeParameterBlock(values, StatusIndex::Parameters))
        report.parameters = block->values;
    const auto at = [&](int i) { return static_cast<quint8>(values[i]); };
    report.tuningIndex = at(StatusIndex::Tuning);
    report.tuningName = tuningNames().value(report.tuningIndex);
    report.semitoneShift = static_cast<qint8>(at(StatusIndex::Tuning + 1));
    report.bypass = onOff(at(StatusIndex::Bypass));
    report.bypassStorage = onOff(at(StatusIndex::BypassStorage));
    report.instrument = instrumentWord(at(StatusIndex::Instrument));
    report.midiChannel = midiWord(at(StatusIndex::MidiChannel));
    return report;
}

QString statusText(const PedalReport &r)
{
    QStringList lines{
        QStringLiteral("Firmware: ") + r.firmware,
        QStringLiteral("Algorithm: ") + r.algorithm,
        QStringLiteral("Versions: ") + versionsWord(r.verdict),
        QStringLiteral("Effect: %1 %2").arg(r.effectNumber, r.effectName),
    };
    QList<int> all;
    for (int i = 0; i < kParameterCount; ++i)
        all << i;
    lines << parameterLines(r.parameters, all);
    lines << QStringLiteral("Tuning: %1 %2")
                 .arg(r.tuningIndex)
                 .arg(r.tuningName.isEmpty() ? unknown(r.tuningIndex) : r.tuningName)
          << QStringLiteral("Semitone shift: ") + signedNumber(r.semitoneShift) << QStringLiteral("Bypass: ") + r.bypass
          << QStringLiteral("Bypass storage: ") + r.bypassStorage << QStringLiteral("Instrument: ") + r.instrument
          << QStringLiteral("MIDI channel: ") + r.midiChannel;
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QJsonObject statusJson(const PedalReport &r)
{
    QJsonObject tuning{{QStringLiteral("index"), r.tuningIndex}};
    tuning.insert(QStringLiteral("name"), r.tuningName.isEmpty() ? QJsonValue() : QJsonValue(r.tuningName));
    return QJsonObject{
        {QStringLiteral("firmware"), r.firmware},
        {QStringLiteral("algorithm"), r.algorithm},
        {QStringLiteral("versions"), versionsWord(r.verdict)},
        {QStringLiteral("effect"),
         QJsonObject{{QStringLiteral("number"), r.effectNumber}, {QStringLiteral("name"), r.effectName}}},
        {QStringLiteral("parameters"), parameterJson(r.parameters)},
        {QStringLiteral("tuning"), tuning},
        {QStringLiteral("semitoneShift"), r.semitoneShift},
        {QStringLiteral("bypass"), r.bypass},
        {QStringLiteral("bypassStorage"), r.bypassStorage},
        {QStringLiteral("instrument"), r.instrument},
        {QStringLiteral("midiChannel"), r.midiChannel},
    };
}

QJsonObject parameterJson(const PresetValues &values)
{
    QJsonObject out;
    for (int i = 0; i < kParameterCount; ++i)
        out.insert(parameterName(i), hex8(values[static_cast<size_t>(i)]));
    return out;
}

QStringList parameterLines(const PresetValues &values, const QList<int> &indexes)
{
    QStringList lines;
    for (int i : indexes)
        lines << parameterName(i) + QStringLiteral(": ") + hex8(values[static_cast<size_t>(i)]);
    return lines;
}

QStringList pedalLines(const QList<PortInfo> &ports)
{
    QStringList lines;
    for (const PortInfo &p : ports)
        lines << QString::fromLatin1(p.serialNumber) + QLatin1Char('\t') + QString::fromUtf8(p.description) +
                     QLatin1Char('\t') + p.path;
    return lines;
}

QJsonObject pedalListJson(const QList<PortInfo> &ports)
{
    QJsonArray list;
    for (const PortInfo &p : ports)
        list.append(QJsonObject{{QStringLiteral("serialNumber"), QString::fromLatin1(p.serialNumber)},
                                {QStringLiteral("description"), QString::fromUtf8(p.description)},
                                {QStringLiteral("port"), p.path},
                                {QStringLiteral("virtual"), p.virtualPedal}});
    return QJsonObject{{QStringLiteral("pedals"), list}};
}

Result<PortInfo> choosePedal(const QList<PortInfo> &ports, const QString &serialNumber, const QString &path)
{
    const auto refuse = [&](const QString &why) {
        QStringList lines{why};
        if (ports.isEmpty())
            lines.first() += QStringLiteral(" No pedal was found.");
        else
            lines << QStringLiteral("Pedals found (serial number, description, port):") << pedalLines(ports);
        return Error{ErrorCode::NoSuchPedal, lines.join(QLatin1Char('\n'))};
    };
    if (!serialNumber.isEmpty()) {
        for (const PortInfo &p : ports)
            if (QString::fromLatin1(p.serialNumber) == serialNumber)
                return p;
        return refuse(QStringLiteral("No pedal has the serial number %1.").arg(serialNumber));
    }
    if (!path.isEmpty()) {
        const QString wanted = canonical(path);
        for (int i = 0; i < ports.size(); ++i) {
            if (canonical(ports[i].path) != wanted)
                continue;
            // The driver opens by serial number: the first port that carries it is the one opened.
            for (int j = 0; j < i; ++j)
                if (ports[j].serialNumber == ports[i].serialNumber)
                    return refuse(QStringLiteral("The pedal at %1 has the same serial number as the one at %2, and "
                                                 "cannot be told from it.")
                                      .arg(path, ports[j].path));
            return ports[i];
        }
        return refuse(QStringLiteral("No pedal is at %1.").arg(path));
    }
    if (ports.size() == 1)
        return ports.first();
    if (ports.isEmpty())
        return Error{ErrorCode::NoSuchPedal,
                     QStringLiteral("No pedal was found: plug one in, or start a virtual pedal.")};
    return refuse(QStringLiteral("%1 pedals found; choose one with --serial or --port.").arg(ports.size()));
}

} // namespace vadrelon::cli
