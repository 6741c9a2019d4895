#pragma once
// The messages of the effect to the pedal, built as hex text (command byte first, fields
// big-endian with fixed widths) together with the console lines that go with them.
#include "effect/parameters.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace vadrelon {

// A message text and the lines to trace before it is written.
struct TracedMessage {
    QString text;
    QStringList trace;
};

// "01", the address as 4 digits, the value as 8: seven bytes.
QString buildParameterMessage(quint16 address, quint32 value);
// The parameter message for row i of the set, or nothing while no address header has been
// read: the record still holds a placeholder that is no address on the pedal.
std::optional<QString> parameterMessageFor(const ParameterSet &set, int i, quint32 value);
// "Send <name> string (standard par): <message>", the trace of a dial or switch message.
QString parameterSendTrace(const QString &name, const QString &message);
// "Send Harmonic Pitch string: <message>", the trace of the pitch list's message.
QString harmonicPitchSendTrace(const QString &message);

// "0D01" bypass on, "0D00" off.
QString buildBypassMessage(bool on);

// The five control lists, in the order of the assign message.
enum ControlId : int { CtrlI, CtrlII, CtrlIII, CtrlIV, CtrlRemote };
constexpr int kControlCount = 5;
// The entries of a control list; entry 0 is always "Not Assigned".
QStringList controlListEntries(int control);

// What a control list shows.
struct ListSelection {
    int index = 0;
    QString text;
};

// "04", five flags from ControlAssigned, then the address of each control's parameter
// (FFFF for none; FFFE "Bypass" and FFFD "Preset" for the Remote Footswitch). The
// parameter is found by name among the entries of its list.
TracedMessage buildAssignMessage(const std::array<ListSelection, kControlCount> &lists, const EffectState &state,
                                 const ParameterSet &set);

// The two footswitch radio groups. The defaults are the window's initial choice.
struct FootswitchButtons {
    bool bypassShort = true;
    bool changePresetShort = false;
    bool bypassLong = false;
    bool changePresetLong = true;
    bool operator==(const FootswitchButtons &o) const;
};
// "08", short-press code (00 Bypass, 01 Change Preset), long-press code (00 Change Preset,
// 01 Bypass). Nothing when a group does not have exactly one button checked: there is no
// code to send for it.
std::optional<TracedMessage> buildFootswitchMessage(const FootswitchButtons &buttons);

// "03" and the values of the six assignable parameters, 25 bytes.
TracedMessage buildStoredSettingsMessage(const ParameterSet &set);

} // namespace vadrelon
