#include "content/tuning.h"

#include "base/hexcodec.h"

#include <QtEndian>
#include <cmath>

namespace vadrelon {

namespace {

constexpr double kSampleRate = 48000.0;
constexpr double kFixedOne = 8388608.0; // 2^23
constexpr double kFixedLimit = 16.0;    // five integer bits, the sign among them

struct TableBand {
    int firstNote;
    int rows;
    double gainDb;
    double q;
};
constexpr TableBand kBands[] = {{38, 18, -6.0, 11.0}, {48, 14, -20.0, 12.0}};

} // namespace

double noteFrequency(int noteNumber)
{
    return 440.0 * std::pow(2.0, (noteNumber - 69) / 12.0);
}

std::optional<qint32> dspFixedWord(double coefficient)
{
    if (!std::isfinite(coefficient) || coefficient < -kFixedLimit || coefficient >= kFixedLimit)
        return std::nullopt;
    // To the nearest, halves to the even neighbour, as the maker's tables were rounded.
    return static_cast<qint32>(std::nearbyint(coefficient * kFixedOne));
}

Biquad peakingBiquad(double frequencyHz, double gainDb, double q)
{
    const double w0 = 2.0 * M_PI * frequencyHz / kSampleRate;
    const double a = std::pow(10.0, gainDb / 40.0);
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    Biquad out;
    out.coefficients = {(1.0 + alpha * a) / a0, -2.0 * std::cos(w0) / a0, (1.0 - alpha * a) / a0,
                        2.0 * std::cos(w0) / a0, -(1.0 - alpha / a) / a0};
    for (size_t i = 0; i < out.coefficients.size(); ++i) {
        const std::optional<qint32> word = dspFixedWord(out.coefficients[i]);
        out.inRange[i] = word.has_value();
        out.fixed[i] = word.value_or(0);
    }
    return out;
}

QStringList calculatorNoteNames()
{
    static const char *const kNames[] = {"A", "A#", "B", "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#"};
    QStringList names;
    for (int i = 0; i < 48; ++i) {
        // The octave number changes at C: A1, A#1, B1, C2 …
        const int octave = 1 + (i + 9) / 12;
        names << QString::fromLatin1(kNames[i % 12]) + QString::number(octave);
    }
    return names;
}

QStringList coefficientTableLines(const QString &noteName, int noteNumber, double gainDb, double q)
{
    const Biquad b = peakingBiquad(noteFrequency(noteNumber), gainDb, q);
    static const char *const kNames[] = {"b0", "b1", "b2", "a1", "a2"};
    QStringList warnings;
    for (size_t i = 0; i < b.coefficients.size(); ++i)
        if (!b.inRange[i])
            warnings << QStringLiteral("warning: %1 = %2 does not fit the DSP's word (-16 to 16); no table printed")
                            .arg(QString::fromLatin1(kNames[i]))
                            .arg(b.coefficients[i]);
    if (!warnings.isEmpty())
        return warnings;
    const bool cut = gainDb < 0;
    QStringList lines{QStringLiteral("%1_%2db_%3_Q%4 : array[0..19] of string =")
                          .arg(noteName, QString::number(cut ? -gainDb : gainDb),
                               cut ? QStringLiteral("cut") : QStringLiteral("boost"), QString::number(q))};
    for (size_t i = 0; i < b.fixed.size(); ++i) {
        const QString digits = hex8(static_cast<quint32>(b.fixed[i]));
        QString line = i == 0 ? QStringLiteral("(") : QString();
        for (int pair = 0; pair < 4; ++pair) {
            line += QLatin1Char('\'') + digits.mid(2 * pair, 2) + QLatin1Char('\'');
            line += i == b.fixed.size() - 1 && pair == 3 ? QStringLiteral(");") : QStringLiteral(", ");
        }
        lines << line;
    }
    return lines;
}

QByteArray tuningCoefficientTable()
{
    QByteArray table;
    table.reserve(640);
    for (const TableBand &band : kBands) {
        for (int row = 0; row < band.rows; ++row) {
            const Biquad b = peakingBiquad(noteFrequency(band.firstNote + row), band.gainDb, band.q);
            for (qint32 word : b.fixed) {
                char bytes[4];
                qToBigEndian(word, bytes);
                table.append(bytes, 4);
            }
        }
    }
    return table;
}

QStringList tuningNames()
{
    return {QStringLiteral("No Tuning Selected"), QStringLiteral("Standard (EADGBE)"),
            QStringLiteral("Drop D (DADGBE)"),    QStringLiteral("DADGAD"),
            QStringLiteral("open D (DADF#AD)"),   QStringLiteral("Blues G (DGDGBD)"),
            QStringLiteral("Open A (EAC#EAE)"),   QStringLiteral("Open C (CGCGCE)"),
            QStringLiteral("Bass Guitar")};
}

Result<QString> buildTuningMessage(int tuningIndex, int semitoneShift)
{
    if (tuningIndex < 0 || tuningIndex >= kTuningCount || semitoneShift < kLowestSemitoneShift ||
        semitoneShift > kHighestSemitoneShift)
        return Error{ErrorCode::UntrustedReply,
                     QStringLiteral("The tuning the pedal reported (tuning %1, shift %2) is not one the editor knows, "
                                    "so it was not sent. Choose a tuning, then try again.")
                         .arg(tuningIndex)
                         .arg(semitoneShift)};
    return QStringLiteral("09") + hex2(quint32(tuningIndex)) + hex2(quint32(quint8(qint8(semitoneShift))));
}

QString buildTuningDataMessage()
{
    return QStringLiteral("0E") + bytesToHex(tuningCoefficientTable());
}

TracedMessage buildInstrumentMessage(bool guitar)
{
    QString text = QStringLiteral("0F") + hex2(guitar ? kGuitar : kBass) +
                   (guitar ? QStringLiteral("0102030405") : QStringLiteral("0203040506"));
    const QString checksum = hex2(xorChecksum(text, 7));
    text += checksum;
    return {text, {QStringLiteral("checksum byte: ") + checksum}};
}

} // namespace vadrelon
