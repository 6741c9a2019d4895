#include "cli/answers.h"

#include "base/hexcodec.h"
#include "cli/report.h"
#include "content/tuning.h"
#include "effect/valuetext.h"
#include "support/versioncheck.h"

#include <QJsonArray>

namespace vadrelon::cli {

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QList<int> assignableIndexes()
{
    return {ParInputLevel, ParHarmonicPitch, ParWaveClip, ParDominantNotesCut, ParHighNotesCut, ParDryHPF};
}

QString lines(const QStringList &list)
{
    return list.isEmpty() ? QString() : list.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

Result<Answer> coefficientAnswer(const QString &note, double gainDb, double q)
{
    const int index = static_cast<int>(calculatorNoteNames().indexOf(note));
    const QStringList table = coefficientTableLines(note, kCalculatorFirstNote + index, gainDb, q);
    if (table.first().startsWith(QLatin1String("warning:")))
        return Error{ErrorCode::BadInput, table.join(QLatin1Char(' '))};
    const Biquad design = peakingBiquad(noteFrequency(kCalculatorFirstNote + index), gainDb, q);
    static const char *const kNames[] = {"b0", "b1", "b2", "a1", "a2"};
    QJsonArray coefficients;
    QJsonArray bytes;
    for (size_t i = 0; i < design.coefficients.size(); ++i) {
        coefficients.append(QJsonObject{{QStringLiteral("name"), QLatin1String(kNames[i])},
                                        {QStringLiteral("value"), design.coefficients[i]},
                                        {QStringLiteral("fixed"), design.fixed[i]}});
        const quint32 word = static_cast<quint32>(design.fixed[i]);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(static_cast<int>((word >> shift) & 0xFF));
    }
    return Answer{lines(table), QJsonObject{{QStringLiteral("note"), note},
                                            {QStringLiteral("gainDb"), gainDb},
                                            {QStringLiteral("q"), q},
                                            {QStringLiteral("coefficients"), coefficients},
                                            {QStringLiteral("bytes"), bytes}}};
}

Answer pedalListAnswer(const QList<PortInfo> &ports)
{
    return {lines(pedalLines(ports)), pedalListJson(ports)};
}

Answer presetListAnswer(const QString &folder, const QList<LibraryPreset> &presets, bool match, std::optional<int> held)
{
    QStringList text;
    QJsonArray list;
    for (int i = 0; i < presets.size(); ++i) {
        const LibraryPreset &p = presets[i];
        const QString date = p.modified.toString(Qt::ISODate);
        // One line a preset, whatever the note holds.
        const QString note =
            QString(p.note).replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        QStringList fields{p.bank, p.name, date, p.values ? note : QStringLiteral("unreadable: ") + p.problem, p.path};
        if (match)
            fields.prepend(held == i ? QStringLiteral("*") : QString());
        text << fields.join(QLatin1Char('\t'));
        QJsonObject o{{QStringLiteral("bank"), p.bank}, {QStringLiteral("name"), p.name},
                      {QStringLiteral("path"), p.path}, {QStringLiteral("date"), date},
                      {QStringLiteral("note"), p.note}, {QStringLiteral("readable"), p.values.has_value()}};
        if (match)
            o.insert(QStringLiteral("held"), held == i);
        list.append(o);
    }
    return {lines(text), QJsonObject{{QStringLiteral("folder"), folder}, {QStringLiteral("presets"), list}}};
}

Answer updateAnswer(const QVersionNumber &own, const QVersionNumber &newest, const QString &downloadPage)
{
    const bool newer = isNewerVersion(newest, own);
    return {QStringLiteral("Editor version: %1\nServer version: %2\n%3\n")
                .arg(own.toString(), newest.toString(),
                     newer ? QStringLiteral("An update is available: ") + downloadPage
                           : QStringLiteral("No update available.")),
            QJsonObject{{QStringLiteral("editorVersion"), own.toString()},
                        {QStringLiteral("serverVersion"), newest.toString()},
                        {QStringLiteral("updateAvailable"), newer},
                        {QStringLiteral("downloadPage"), downloadPage}}};
}

Answer parameterSetAnswer(int parameter, quint32 value)
{
    return {parameterText(parameter, value, true) + QLatin1Char('\n'),
            QJsonObject{{QStringLiteral("parameter"), parameterObject(parameter, value, true)}}};
}

Answer storedAnswer(const PresetValues &values)
{
    return {lines(parameterLines(values, assignableIndexes())),
            QJsonObject{{QStringLiteral("stored"), parameterJson(values, assignableIndexes())}}};
}

Answer assignAnswer(int control, int entry)
{
    const char *const words[] = {"I", "II", "III", "IV", "remote"};
    const QString name = QLatin1String(words[control]);
    const QString what = entry == 0 ? QString() : controlListEntries(control).value(entry);
    const QString shown = control == CtrlRemote ? what.toLower() : what;
    return {QStringLiteral("%1: %2\n")
                .arg(control == CtrlRemote ? QStringLiteral("Remote footswitch") : QStringLiteral("Control ") + name,
                     shown.isEmpty() ? QStringLiteral("none") : shown),
            QJsonObject{{QStringLiteral("control"), name},
                        {QStringLiteral("parameter"), shown.isEmpty() ? QJsonValue() : QJsonValue(shown)}}};
}

Answer footswitchAnswer(const FootswitchButtons &buttons)
{
    const auto word = [](bool bypass) { return bypass ? QStringLiteral("bypass") : QStringLiteral("preset"); };
    return {
        QStringLiteral("Footswitch: short press %1, long press %2\n")
            .arg(word(buttons.bypassShort), word(buttons.bypassLong)),
        QJsonObject{{QStringLiteral("footswitch"), QJsonObject{{QStringLiteral("short"), word(buttons.bypassShort)},
                                                               {QStringLiteral("long"), word(buttons.bypassLong)}}}}};
}

Answer bypassAnswer(bool on)
{
    return {QStringLiteral("Bypass: %1\n").arg(onOff(on)), QJsonObject{{QStringLiteral("bypass"), on}}};
}

Answer versionAnswer(const QString &version)
{
    return {QStringLiteral("vadrelon %1\n").arg(version), QJsonObject{{QStringLiteral("version"), version}}};
}

Answer presetSavedAnswer(const QString &file, const PresetValues &values)
{
    return {QStringLiteral("Saved %1\n").arg(file),
            QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("parameters"), parameterJson(values)}}};
}

Answer presetLoadedAnswer(const QString &file, const QList<ParameterChange> &changes)
{
    const ParameterSet names;
    QStringList text;
    QJsonArray changed;
    for (const ParameterChange &c : changes) {
        const QString name = names.row(c.index).name;
        // Both are values as a preset and the status reply carry them: a stepped knob's step.
        text << QStringLiteral("%1: %2 -> %3").arg(name, valueWithRaw(c.index, c.from), valueWithRaw(c.index, c.to));
        changed.append(QJsonObject{{QStringLiteral("name"), name},
                                   {QStringLiteral("from"), parameterObject(c.index, c.from)},
                                   {QStringLiteral("to"), parameterObject(c.index, c.to)}});
    }
    const QJsonObject json{{QStringLiteral("file"), file}, {QStringLiteral("changed"), changed}};
    if (changes.isEmpty())
        return {QStringLiteral("The pedal already holds the preset's values; nothing was sent.\n"), json};
    return {lines(text), json};
}

Answer tuningAnswer(int tuningIndex, int semitoneShift)
{
    const QString name = tuningNames().value(tuningIndex);
    const QString shift = semitoneShift > 0 ? QStringLiteral("+%1").arg(semitoneShift) : QString::number(semitoneShift);
    return {QStringLiteral("Tuning: %1 %2\nSemitone shift: %3\n").arg(tuningIndex).arg(name, shift),
            QJsonObject{{QStringLiteral("tuning"),
                         QJsonObject{{QStringLiteral("index"), tuningIndex}, {QStringLiteral("name"), name}}},
                        {QStringLiteral("semitoneShift"), semitoneShift}}};
}

Answer tuningDataAnswer(qsizetype bytes, quint8 bypass)
{
    const QString word = bypass <= 1 ? onOff(bypass == 1) : QStringLiteral("unknown (%1)").arg(bypass);
    return {QStringLiteral("Tuning data sent (%1 bytes)\nBypass: %2\n").arg(bytes).arg(word),
            QJsonObject{{QStringLiteral("bytes"), static_cast<int>(bytes)},
                        {QStringLiteral("bypass"), bypass <= 1 ? QJsonValue(bypass == 1) : QJsonValue()}}};
}

Answer instrumentAnswer(bool guitar)
{
    const QString word = guitar ? QStringLiteral("guitar") : QStringLiteral("bass");
    return {QStringLiteral("Instrument: %1\n").arg(word), QJsonObject{{QStringLiteral("instrument"), word}}};
}

Answer midiChannelAnswer(const QString &item)
{
    const QString word = item == QLatin1String("OMNI") ? QStringLiteral("omni") : item;
    // Omni is channel 0 in JSON, as in status.
    return {QStringLiteral("MIDI channel: %1\n").arg(word),
            QJsonObject{{QStringLiteral("midiChannel"), item == QLatin1String("OMNI") ? 0 : item.toInt()}}};
}

Answer bypassStorageAnswer(bool store)
{
    return {QStringLiteral("Bypass storage: %1\n").arg(onOff(store)),
            QJsonObject{{QStringLiteral("bypassStorage"), store}}};
}

Answer algorithmAnswer(const QString &file, qsizetype bytes, const QString &pedalSaid)
{
    const QString said = pedalSaid.trimmed();
    return {said + QLatin1Char('\n'), QJsonObject{{QStringLiteral("file"), file},
                                                  {QStringLiteral("bytes"), static_cast<int>(bytes)},
                                                  {QStringLiteral("answer"), said}}};
}

Answer firmwareAnswer(const QString &file, qsizetype bytes, int version)
{
    return {QStringLiteral("Firmware %1 installed, verified and started\n").arg(version),
            QJsonObject{{QStringLiteral("file"), file},
                        {QStringLiteral("bytes"), static_cast<int>(bytes)},
                        {QStringLiteral("version"), version},
                        {QStringLiteral("verified"), true}}};
}

Answer memoryErasedAnswer(const QString &i2cAddress)
{
    return {QStringLiteral("Memory %1 erased\n").arg(i2cAddress.toUpper()),
            QJsonObject{{QStringLiteral("erased"), i2cAddress.toUpper().toInt(nullptr, 16)}}};
}

Answer memoryReadAnswer(const QString &i2cAddress, const QString &file, qsizetype bytes)
{
    return {QStringLiteral("%1 bytes of memory %2 written to %3\n").arg(bytes).arg(i2cAddress.toUpper(), file),
            QJsonObject{{QStringLiteral("file"), file},
                        {QStringLiteral("address"), i2cAddress.toUpper().toInt(nullptr, 16)},
                        {QStringLiteral("bytes"), static_cast<int>(bytes)}}};
}

} // namespace vadrelon::cli
