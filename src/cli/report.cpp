#include "cli/report.h"

#include "base/hexcodec.h"
#include "content/tuning.h"
#include "effect/dialmapping.h"
#include "effect/messages.h"
#include "effect/statusblocks.h"
#include "effect/valuetext.h"

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

QString pressWord(bool bypass)
{
    return bypass ? QStringLiteral("bypass") : QStringLiteral("preset");
}

QString footswitchWords(const PedalReport &r)
{
    if (!r.footswitch)
        return unknown(static_cast<quint8>(r.footswitchMode));
    return QStringLiteral("short press %1, long press %2")
        .arg(pressWord(r.footswitch->bypassShort), pressWord(r.footswitch->bypassLong));
}

// The controls as the command line names them, and as status labels them.
QString controlWord(int control)
{
    const char *const words[] = {"I", "II", "III", "IV", "remote"};
    return QLatin1String(words[control]);
}

QString controlLabel(int control)
{
    return control == CtrlRemote ? QStringLiteral("Remote footswitch")
                                 : QStringLiteral("Control ") + controlWord(control);
}

// The remote's entries are actions, named as the command line takes them.
QString assignedWord(int control, const QString &entry)
{
    return control == CtrlRemote ? entry.toLower() : entry;
}

QString assignmentWord(int control, const PedalReport::Assignment &a)
{
    if (!a.address)
        return QStringLiteral("none");
    if (a.parameter.isEmpty())
        return QStringLiteral("unknown (%1)").arg(hex4(*a.address));
    return assignedWord(control, a.parameter);
}

QJsonValue switchJson(const QString &word)
{
    if (word == QLatin1String("on") || word == QLatin1String("off"))
        return word == QLatin1String("on");
    return QJsonValue();
}

// Omni is channel 0, as the JSON schema has it: the channel stays a number.
QJsonValue midiJson(const QString &word)
{
    if (word == QLatin1String("omni"))
        return 0;
    bool ok = false;
    const int channel = word.toInt(&ok);
    return ok ? QJsonValue(channel) : QJsonValue();
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

} // namespace

QList<int> allParameters()
{
    QList<int> all;
    for (int i = 0; i < kParameterCount; ++i)
        all << i;
    return all;
}

Result<PedalReport> readPedalReport(const QByteArray &values, const QStringList &catalogue, quint32 latestFirmware,
                                    quint32 latestAlgorithm, const ParameterSet &addresses)
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
    report.footswitchMode = at(StatusIndex::FootswitchMode);
    report.footswitch = footswitchButtonsForMode(report.footswitchMode);
    // The window's own decoding, on a copy: it marks the parameters it finds on a control.
    ParameterSet marked = addresses;
    const std::optional<AssignmentDecode> decoded = decodeAssignments(values, StatusIndex::Assignments, marked);
    for (int c = 0; c < kControlCount; ++c) {
        PedalReport::Assignment &a = report.assignments[static_cast<size_t>(c)];
        if (at(StatusIndex::Assignments + c) == 0)
            continue;
        a.address = static_cast<quint16>(at(StatusIndex::Assignments + 5 + 2 * c) * 256 +
                                         at(StatusIndex::Assignments + 6 + 2 * c));
        if (decoded && decoded->entries[static_cast<size_t>(c)])
            a.parameter = controlListEntries(c).value(*decoded->entries[static_cast<size_t>(c)]);
    }
    return report;
}

std::optional<Answer> versionsAnswer(const QByteArray &values)
{
    if (values.size() <= StatusIndex::AlgorithmLow)
        return std::nullopt;
    const int firmware = static_cast<quint8>(values[StatusIndex::Firmware]);
    const QString algorithm = hex2(static_cast<quint8>(values[StatusIndex::AlgorithmHigh])) +
                              hex2(static_cast<quint8>(values[StatusIndex::AlgorithmLow]));
    QJsonObject json{{QStringLiteral("firmware"), firmware}};
    bool bcd = false;
    const int number = algorithm.toInt(&bcd, 10);
    json.insert(QStringLiteral("algorithm"), bcd ? QJsonValue(number) : QJsonValue());
    return Answer{QStringLiteral("Firmware: %1\nAlgorithm: %2\n").arg(firmware).arg(algorithm), json};
}

QString statusText(const PedalReport &r)
{
    QStringList lines{
        QStringLiteral("Firmware: ") + r.firmware,
        QStringLiteral("Algorithm: ") + r.algorithm,
        QStringLiteral("Versions: ") + versionsWord(r.verdict),
        QStringLiteral("Effect: %1 %2").arg(r.effectNumber, r.effectName),
    };
    lines << parameterLines(r.parameters, allParameters());
    lines << QStringLiteral("Footswitch: ") + footswitchWords(r);
    for (int c = 0; c < kControlCount; ++c)
        lines << QStringLiteral("%1: %2").arg(controlLabel(c),
                                              assignmentWord(c, r.assignments[static_cast<size_t>(c)]));
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
    QJsonObject footswitch{{QStringLiteral("mode"), r.footswitchMode}};
    footswitch.insert(QStringLiteral("short"),
                      r.footswitch ? QJsonValue(pressWord(r.footswitch->bypassShort)) : QJsonValue());
    footswitch.insert(QStringLiteral("long"),
                      r.footswitch ? QJsonValue(pressWord(r.footswitch->bypassLong)) : QJsonValue());
    QJsonArray assignments;
    for (int c = 0; c < kControlCount; ++c) {
        const PedalReport::Assignment &a = r.assignments[static_cast<size_t>(c)];
        assignments.append(
            QJsonObject{{QStringLiteral("control"), controlWord(c)},
                        {QStringLiteral("parameter"),
                         a.parameter.isEmpty() ? QJsonValue() : QJsonValue(assignedWord(c, a.parameter))},
                        {QStringLiteral("address"), a.address ? QJsonValue(*a.address) : QJsonValue()}});
    }
    return QJsonObject{
        {QStringLiteral("firmware"), r.firmware.toInt()},
        {QStringLiteral("algorithm"), r.algorithm.toInt()},
        {QStringLiteral("versions"), versionsWord(r.verdict)},
        {QStringLiteral("effect"),
         QJsonObject{{QStringLiteral("number"), r.effectNumber.toInt()}, {QStringLiteral("name"), r.effectName}}},
        {QStringLiteral("parameters"), parameterJson(r.parameters)},
        {QStringLiteral("footswitch"), footswitch},
        {QStringLiteral("assignments"), assignments},
        {QStringLiteral("tuning"), tuning},
        {QStringLiteral("semitoneShift"), r.semitoneShift},
        {QStringLiteral("bypass"), switchJson(r.bypass)},
        {QStringLiteral("bypassStorage"), switchJson(r.bypassStorage)},
        {QStringLiteral("instrument"),
         r.instrument.startsWith(QLatin1String("unknown")) ? QJsonValue() : QJsonValue(r.instrument)},
        {QStringLiteral("midiChannel"), midiJson(r.midiChannel)},
    };
}

QString valueWithRaw(int index, quint32 value, bool sent)
{
    const QString shown = sent && valueKind(index) == ValueKind::Step ? knobText(index, static_cast<int>(value >> 13))
                                                                      : reportedValueText(index, value);
    // An unknown value shows its raw value already.
    return shown.startsWith(QLatin1String("unknown")) ? shown : QStringLiteral("%1 (%2)").arg(shown, hex8(value));
}

QString parameterText(int index, quint32 value, bool sent)
{
    return parameterName(index) + QStringLiteral(": ") + valueWithRaw(index, value, sent);
}

QJsonObject parameterObject(int index, quint32 value, bool sent)
{
    const ValueKind kind = valueKind(index);
    std::optional<double> number;
    if (sent && kind == ValueKind::Step)
        number = stepForLevel(static_cast<int>(value >> 13), static_cast<int>(parameterDecodeScale(index)));
    else
        number = reportedValueNumber(index, value);
    QJsonValue shown;
    if (number)
        shown = kind == ValueKind::Switch ? QJsonValue(*number != 0) : QJsonValue(*number);
    const char *unit = kind == ValueKind::Level   ? "%"
                       : kind == ValueKind::Step  ? "step"
                       : kind == ValueKind::Pitch ? "semitones"
                                                  : "switch";
    return QJsonObject{{QStringLiteral("name"), parameterName(index)},
                       {QStringLiteral("value"), shown},
                       {QStringLiteral("unit"), QLatin1String(unit)},
                       {QStringLiteral("raw"), static_cast<qint64>(value)}};
}

QJsonArray parameterJson(const PresetValues &values, const QList<int> &indexes)
{
    QJsonArray out;
    for (int i : indexes)
        out.append(parameterObject(i, values[static_cast<size_t>(i)]));
    return out;
}

QStringList parameterLines(const PresetValues &values, const QList<int> &indexes)
{
    QStringList lines;
    for (int i : indexes)
        lines << parameterText(i, values[static_cast<size_t>(i)]);
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
