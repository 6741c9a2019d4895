#include "effect/messages.h"

#include "base/hexcodec.h"

namespace vadrelon {

QString buildParameterMessage(quint16 address, quint32 value)
{
    return QStringLiteral("01") + hex4(address) + hex8(value);
}

std::optional<QString> parameterMessageFor(const ParameterSet &set, int i, quint32 value)
{
    if (!set.addressesKnown())
        return std::nullopt;
    return buildParameterMessage(set.row(i).address, value);
}

QString parameterSendTrace(const QString &name, const QString &message)
{
    return QStringLiteral("Send ") + name + QStringLiteral(" string (standard par): ") + message;
}

QString harmonicPitchSendTrace(const QString &message)
{
    return QStringLiteral("Send Harmonic Pitch string: ") + message;
}

QString buildBypassMessage(bool on)
{
    return on ? QStringLiteral("0D01") : QStringLiteral("0D00");
}

QStringList controlListEntries(int control)
{
    const QString none = QStringLiteral("Not Assigned");
    switch (control) {
    case CtrlI:
    case CtrlII:
        return {none, QStringLiteral("Input Level"), QStringLiteral("1st Harmonic Pitch"), QStringLiteral("Wave Clip"),
                QStringLiteral("Dry HPF")};
    case CtrlIII:
    case CtrlIV:
        return {none, QStringLiteral("Dominant Notes Cut"), QStringLiteral("High Notes Cut")};
    case CtrlRemote:
        return {none, QStringLiteral("Bypass"), QStringLiteral("Preset")};
    }
    return {none};
}

namespace {

// The address a control list stands for, as four digits.
QString controlAddress(int control, const ListSelection &list, const ParameterSet &set)
{
    if (list.index == 0)
        return QStringLiteral("FFFF");
    if (control == CtrlRemote) {
        if (list.text == QLatin1String("Bypass"))
            return QStringLiteral("FFFE");
        if (list.text == QLatin1String("Preset"))
            return QStringLiteral("FFFD");
        return QStringLiteral("FFFF");
    }
    // Only the parameters that this list offers may be put on this control.
    const QStringList candidates = controlListEntries(control).mid(1);
    if (candidates.contains(list.text))
        if (const auto i = set.indexOf(list.text))
            return hex4(set.row(*i).address);
    // A text that names none of them keeps the message whole, as an unassigned slot.
    return QStringLiteral("FFFF");
}

} // namespace

TracedMessage buildAssignMessage(const std::array<ListSelection, kControlCount> &lists, const EffectState &state,
                                 const ParameterSet &set)
{
    QString text = QStringLiteral("04");
    for (bool assigned : state.controlAssigned)
        text += assigned ? QStringLiteral("01") : QStringLiteral("00");
    for (int c = 0; c < kControlCount; ++c)
        text += controlAddress(c, lists[c], set);
    return {text,
            {QStringLiteral("lenght of assign message in bytes: %1").arg(text.size() / 2),
             QStringLiteral("assign message: ") + text}};
}

bool FootswitchButtons::operator==(const FootswitchButtons &o) const
{
    return bypassShort == o.bypassShort && changePresetShort == o.changePresetShort && bypassLong == o.bypassLong &&
           changePresetLong == o.changePresetLong;
}

std::optional<TracedMessage> buildFootswitchMessage(const FootswitchButtons &b)
{
    if (b.bypassShort == b.changePresetShort || b.bypassLong == b.changePresetLong)
        return std::nullopt;
    // The two codes run opposite ways: 00 is Bypass for a short press, Change Preset for a
    // long one.
    const QString text = QStringLiteral("08") + (b.changePresetShort ? "01" : "00") + (b.bypassLong ? "01" : "00");
    return TracedMessage{text, {QStringLiteral("footswitch behaviour message: ") + text}};
}

TracedMessage buildStoredSettingsMessage(const ParameterSet &set)
{
    QString text = QStringLiteral("03");
    for (const AssignableParameter *p : set.assignables())
        text += hex8(p->value);
    return {text, {QStringLiteral("Store settings message (HEX): ") + text, QString::number(text.size() / 2)}};
}

} // namespace vadrelon
