#pragma once
// What the pedal is told about the instrument: the tuning and its semitone shift, the table of
// note-centred filter coefficients, and guitar or bass. The coefficients come from one rule,
// shared with the coefficient calculator of the debug console.
#include "base/error.h"
#include "effect/messages.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace vadrelon {

// The tunings of the effect window's list, by the index the pedal knows them by.
constexpr int kTuningCount = 9; // "No Tuning Selected" (0) .. "Bass Guitar" (8)
constexpr int kLowestSemitoneShift = -5;
constexpr int kHighestSemitoneShift = 3;
// The tuning list's entries by index, as the pedal knows them: "No Tuning Selected" ..
// "Bass Guitar".
QStringList tuningNames();

// A peaking-equaliser biquad at 48 kHz, as the pedal's DSP takes it: b0, b1, b2, −a1, −a2, all
// divided by a0.
struct Biquad {
    std::array<double, 5> coefficients{};
    // In 5.23 fixed point (the value times 2^23, rounded to the nearest), as the DSP's words
    // carry them; meaningful only where inRange says so.
    std::array<qint32, 5> fixed{};
    // The DSP's words hold −16 up to (not including) +16; a value outside would wrap.
    std::array<bool, 5> inRange{};
};

// A coefficient as the DSP's 5.23 word holds it; nothing when it would wrap.
std::optional<qint32> dspFixedWord(double coefficient);

// Equal-tempered, A4 (note 69) = 440 Hz.
double noteFrequency(int noteNumber);
Biquad peakingBiquad(double frequencyHz, double gainDb, double q);

// The coefficient calculator of the debug console: the notes it offers, A1 (note 33, 55 Hz) to
// G#5, and the printed table of one design: a title, then the twenty bytes as quoted hex pairs
// over five lines, ready to paste into a table's source. A coefficient the DSP's word cannot
// hold gives a warning line instead of a table.
QStringList calculatorNoteNames();
constexpr int kCalculatorFirstNote = 33;
QStringList coefficientTableLines(const QString &noteName, int noteNumber, double gainDb, double q);

// The 32 rows the pedal keeps, 20 bytes each (five big-endian words), 640 bytes in all: notes
// D2 to G3 at −6 dB and Q 11, then C3 to C#4 at −20 dB and Q 12.
QByteArray tuningCoefficientTable();

// "09", the tuning index and the shift as a signed byte ("0907FB" for Open C, −5). A tuning
// or shift outside the list's range (only a status reply can bring one) is refused.
Result<QString> buildTuningMessage(int tuningIndex, int semitoneShift);
// "0E" and the table: 641 bytes.
QString buildTuningDataMessage();

// The instrument codes of the pedal's settings.
constexpr quint8 kGuitar = 0xFF;
constexpr quint8 kBass = 0xBA;
// "0F", the code, five fixed bytes and their XOR checksum; the trace is the checksum line.
TracedMessage buildInstrumentMessage(bool guitar);

} // namespace vadrelon
