#pragma once
// What `vadrelon` answers when a command has done its work: the text for a person and the
// object for --json, built from what the command sent and what the pedal said.
#include "base/error.h"
#include "cli/commandline.h"
#include "content/preset.h"
#include "content/presetlibrary.h"
#include "device/discovery.h"
#include "effect/messages.h"
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

// The calculator's table for a note; a design the DSP's word cannot hold fails with the
// calculator's warning.
Result<Answer> coefficientAnswer(const QString &note, double gainDb, double q);
Answer pedalListAnswer(const QList<PortInfo> &ports);
// The library's presets, a tab between fields; with match, the one at held marked.
Answer presetListAnswer(const QString &folder, const QList<LibraryPreset> &presets, bool match,
                        std::optional<int> held);
Answer updateAnswer(const QVersionNumber &own, const QVersionNumber &newest, const QString &downloadPage);

// value: as the parameter's message carried it.
Answer parameterSetAnswer(int parameter, quint32 value);
// entry: of the control's list, 0 for none.
Answer assignAnswer(int control, int entry);
Answer footswitchAnswer(const FootswitchButtons &buttons);
Answer bypassAnswer(bool on);
Answer versionAnswer(const QString &version);
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
