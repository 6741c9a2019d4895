#pragma once
// What `vadrelon` prints, and the decisions about the pedal's reply that do not need the pedal:
// pure functions of a status reply, a preset and the list of ports, tested without a link.
#include "base/error.h"
#include "content/preset.h"
#include "device/discovery.h"
#include "device/status.h"
#include "effect/parameters.h"
#include "effect/pedalstatus.h"
#include "session/pedalrules.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace vadrelon::cli {

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
};

// Reads a reply the status job has taken whole. Fails as the window does on a reply it cannot
// trust (too short, no BCD version, an effect the catalogue does not list).
Result<PedalReport> readPedalReport(const QByteArray &values, const QStringList &catalogue, quint32 latestFirmware,
                                    quint32 latestAlgorithm);

QString statusText(const PedalReport &report);
QJsonObject statusJson(const PedalReport &report);

// The sixteen values by the parameters' documented names, as 8 hex digits.
QJsonObject parameterJson(const PresetValues &values);
QStringList parameterLines(const PresetValues &values, const QList<int> &indexes);

// "VP000001<TAB>Vadrelon MK3 (virtual)<TAB>/dev/pts/3", one line a port.
QStringList pedalLines(const QList<PortInfo> &ports);
QJsonObject pedalListJson(const QList<PortInfo> &ports);

// The port the command line names: by serial number, by device path (links followed), or the
// only one there is. The error says why none was taken and lists what was found.
Result<PortInfo> choosePedal(const QList<PortInfo> &ports, const QString &serialNumber, const QString &path);

} // namespace vadrelon::cli
