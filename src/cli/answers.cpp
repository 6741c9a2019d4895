#include "cli/answers.h"

#include "base/hexcodec.h"
#include "cli/report.h"
#include "content/tuning.h"
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
    return Answer{lines(table), QJsonObject{{QStringLiteral("note"), note},
                                            {QStringLiteral("lines"), QJsonArray::fromStringList(table)}}};
}

Answer pedalListAnswer(const QList<PortInfo> &ports)
{
    return {lines(pedalLines(ports)), pedalListJson(ports)};
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

Answer parameterSetAnswer(const QString &name, quint32 value)
{
    return {QStringLiteral("%1: %2\n").arg(name, hex8(value)),
            QJsonObject{{QStringLiteral("parameter"), name}, {QStringLiteral("value"), hex8(value)}}};
}

Answer storedAnswer(const PresetValues &values)
{
    const ParameterSet names;
    QJsonObject stored;
    for (int i : assignableIndexes())
        stored.insert(names.row(i).name, hex8(values[static_cast<size_t>(i)]));
    return {lines(parameterLines(values, assignableIndexes())), QJsonObject{{QStringLiteral("stored"), stored}}};
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
    QJsonObject changed;
    for (const ParameterChange &c : changes) {
        const QString name = names.row(c.index).name;
        text << QStringLiteral("%1: %2 -> %3").arg(name, hex8(c.from), hex8(c.to));
        changed.insert(name, QJsonObject{{QStringLiteral("from"), hex8(c.from)}, {QStringLiteral("to"), hex8(c.to)}});
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
            QJsonObject{{QStringLiteral("bytes"), static_cast<int>(bytes)}, {QStringLiteral("bypass"), word}}};
}

Answer instrumentAnswer(bool guitar)
{
    const QString word = guitar ? QStringLiteral("guitar") : QStringLiteral("bass");
    return {QStringLiteral("Instrument: %1\n").arg(word), QJsonObject{{QStringLiteral("instrument"), word}}};
}

Answer midiChannelAnswer(const QString &item)
{
    const QString word = item == QLatin1String("OMNI") ? QStringLiteral("omni") : item;
    return {QStringLiteral("MIDI channel: %1\n").arg(word), QJsonObject{{QStringLiteral("midiChannel"), word}}};
}

Answer bypassStorageAnswer(bool store)
{
    return {QStringLiteral("Bypass storage: %1\n").arg(onOff(store)),
            QJsonObject{{QStringLiteral("bypassStorage"), onOff(store)}}};
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
            QJsonObject{{QStringLiteral("erased"), i2cAddress.toUpper()}}};
}

Answer memoryReadAnswer(const QString &i2cAddress, const QString &file, qsizetype bytes)
{
    return {QStringLiteral("%1 bytes of memory %2 written to %3\n").arg(bytes).arg(i2cAddress.toUpper(), file),
            QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("bytes"), static_cast<int>(bytes)}}};
}

} // namespace vadrelon::cli
