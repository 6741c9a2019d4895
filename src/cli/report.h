#pragma once
// What `vadrelon` prints, and the decisions about the pedal's reply that do not need the pedal:
// pure functions of a status reply, a preset and the list of ports, tested without a link.
#include "base/error.h"
#include "cli/answers.h"
#include "content/preset.h"
#include "device/discovery.h"
#include "device/status.h"
#include "effect/parameters.h"
#include "effect/pedalstatus.h"
#include "session/pedalrules.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace vadrelon::cli {

// The sixteen parameters' indexes, in block order.
QList<int> allParameters();

// A whole status reply as the command line shows it. The enumerated settings are words
// ("on", "bass", "omni"); a byte the editor does not know reads "unknown (<byte>)".
struct PedalReport {
    QString firmware;  // "11"
    QString algorithm; // "0012"
    VersionVerdict verdict = VersionVerdict::Current;
    QString effectNumber; // "00"
    QString effectName;   // the catalogue's row
    PresetValues parameters{};
    int tuningIndex = 0;
    QString tuningName; // empty when the index names no tuning
    int semitoneShift = 0;
    QString bypass;
    QString bypassStorage;
    QString instrument;
    QString midiChannel;
    int footswitchMode = 0;
    std::optional<FootswitchButtons> footswitch; // nothing for a mode the pedal does not have
    // Control I .. IV and the remote footswitch.
    struct Assignment {
        std::optional<quint16> address; // nothing: not assigned
        QString parameter;              // the list's entry; empty when the address is none of them
    };
    std::array<Assignment, kControlCount> assignments;
};

// Reads a reply the status job has taken whole. Fails as the window does on a reply it cannot
// trust (too short, no BCD version, an effect the catalogue does not list). The assignments
// are named by the addresses of the set, when it has read them.
Result<PedalReport> readPedalReport(const QByteArray &values, const QStringList &catalogue, quint32 latestFirmware,
                                    quint32 latestAlgorithm, const ParameterSet &addresses = ParameterSet());
// The versions of a reply that is refused for what follows them (an effect number the
// editor does not know): what status can still say. Nothing when not even they can be read.
std::optional<Answer> versionsAnswer(const QByteArray &values);

QString statusText(const PedalReport &report);
QJsonObject statusJson(const PedalReport &report);

// A value in a player's terms, as status and a preset report it, or as a message carries it
// (a stepped knob's level reads as its step): "Dry: 50.0 % (00400000)", and the object
// {"name", "value", "unit", "raw"}.
QString parameterText(int index, quint32 value, bool sent = false);
// The value alone, "50.0 % (00400000)".
QString valueWithRaw(int index, quint32 value, bool sent = false);
QJsonObject parameterObject(int index, quint32 value, bool sent = false);
// The values of the parameters given, in block order.
QJsonArray parameterJson(const PresetValues &values, const QList<int> &indexes = allParameters());
QStringList parameterLines(const PresetValues &values, const QList<int> &indexes);

// "VP000001<TAB>Vadrelon MK3 (virtual)<TAB>/dev/pts/3", one line a port.
QStringList pedalLines(const QList<PortInfo> &ports);
QJsonObject pedalListJson(const QList<PortInfo> &ports);

// The port the command line names: by serial number, by device path (links followed), or the
// only one there is. The error says why none was taken and lists what was found.
Result<PortInfo> choosePedal(const QList<PortInfo> &ports, const QString &serialNumber, const QString &path);

} // namespace vadrelon::cli
