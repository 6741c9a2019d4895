#pragma once
// A parameter's value in a player's terms, one place for every front end: a level as a
// percentage of full scale ("50.0 %"), Low Pass, High Pass and Range as the step the pedal
// reports ("12"), the harmonic's pitch in semitones as its list shows it ("+3"), a switch as
// "on" or "off". Typed text is read back here too, into the exact value a message carries.
#include "base/error.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace vadrelon {

// A level, 0 to 1023, as a percentage of full scale with one decimal.
QString levelText(int level);
// The steps of a stepped knob (24, 16 or 22) against its levels: a step is sent as the level
// its knob shows for it, and a level reads as the nearest step.
int levelForStep(int step, int steps);
int stepForLevel(int level, int steps);

// A message's value as the pedal reports it back: a stepped knob's level as its step, every
// other value as it is.
quint32 reportedValueFor(int parameter, quint32 message);

// What a knob at this level shows for its parameter: a percentage, or a step.
QString knobText(int parameter, int level);
// A value as the pedal reports it (a status reply, a preset file). A value the parameter
// does not take (a pitch outside the list, a switch neither on nor off) reads "unknown (hex)".
QString reportedValueText(int parameter, quint32 reported);

// The kinds of value a player reads, and the unit a script is told beside the number.
enum class ValueKind { Level, Step, Pitch, Switch };
ValueKind valueKind(int parameter);
// A reported value as a number in the same terms as its text: the percentage as shown (one
// decimal), the step, the semitones, 1 or 0 for a switch; nothing for a value the parameter
// does not take.
std::optional<double> reportedValueNumber(int parameter, quint32 reported);

// Whether a message of the parameter may carry this value: a level up to the top one (the
// stepped knobs send levels too), an entry of the pitch list, one of a switch's two values.
bool isSendableValue(int parameter, quint32 value);

// Typed text, in the form the parameter is shown, as the value its message carries: a level
// exact ("50", "50 %", "12.5%"; 100 % is the top level), a step as its knob's level, a pitch
// as its list entry's value, a switch from "on" or "off". A tool may give the value as its
// message carries it ("0x003FC000"), and only a sendable one is taken. Anything else is
// BadInput, whose detail says what the parameter takes.
Result<quint32> parseValueText(int parameter, const QString &text);

} // namespace vadrelon
