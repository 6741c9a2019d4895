#pragma once
// What `vadrelon` answers when a command has done its work: the text for a person and the
// object for --json, built from what the command sent and what the pedal said.
#include "cli/commandline.h"
#include "content/preset.h"
#include "effect/parameters.h"
#include "session/pedalrules.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVersionNumber>

namespace vadrelon::cli {

struct Answer {
    QString text; // ends with a newline unless empty
    QJsonObject json;
};

// The calculator's table, or its warning as a failure (empty lines).
Answer coefficientAnswer(const QString &note, const QStringList &lines);
Answer updateAnswer(const QVersionNumber &own, const QVersionNumber &newest, const QString &downloadPage);

Answer parameterSetAnswer(const QString &name, quint32 value);
Answer storedAnswer(const PresetValues &values);
Answer presetSavedAnswer(const QString &file, const PresetValues &values);
Answer presetLoadedAnswer(const QString &file, const QList<ParameterChange> &changes);

Answer tuningAnswer(int tuningIndex, int semitoneShift);
// bypass: the pedal's bypass byte read after the table went out.
Answer tuningDataAnswer(qsizetype bytes, quint8 bypass);
Answer instrumentAnswer(bool guitar);
Answer midiChannelAnswer(const QString &item);
Answer bypassStorageAnswer(bool store);

Answer algorithmAnswer(const QString &file, qsizetype bytes, const QString &pedalSaid);
Answer firmwareAnswer(const QString &file, qsizetype bytes, int version);
Answer memoryErasedAnswer(const QString &i2cAddress);
Answer memoryReadAnswer(const QString &i2cAddress, const QString &file, qsizetype bytes);

} // namespace vadrelon::cli
