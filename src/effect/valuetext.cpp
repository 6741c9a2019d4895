#include "effect/valuetext.h"

#include "base/hexcodec.h"
#include "effect/dialmapping.h"
#include "effect/parameters.h"

#include <QLocale>
#include <cctype>
#include <cmath>

namespace vadrelon {

namespace {

// Full scale is level 1024 (0x800000), which no message carries.
constexpr double kFullScale = kMaxLevel + 1;

bool isStepped(quint32 scale)
{
    return scale != 0 && scale != kLevelScale;
}

// The level of a step, as the knob shows a reported step: steps × (8192 / count) / 8.
int stepLevel(int step, int steps)
{
    return step * (8192 / steps) / 8;
}

QString pitchText(int index)
{
    const int semitones = index - 12;
    return semitones > 0 ? QStringLiteral("+%1").arg(semitones) : QString::number(semitones);
}

QString unknown(quint32 value)
{
    return QStringLiteral("unknown (%1)").arg(hex8(value));
}

Error refused(const QString &text, const QString &takes)
{
    return Error{ErrorCode::BadInput, QStringLiteral("\"%1\" is not %2").arg(text.trimmed(), takes)};
}

} // namespace

QString levelText(int level)
{
    return QStringLiteral("%1 %").arg(level * 100.0 / kFullScale, 0, 'f', 1);
}

int levelForStep(int step, int steps)
{
    return std::min(stepLevel(step, steps), kMaxLevel);
}

int stepForLevel(int level, int steps)
{
    return std::clamp(static_cast<int>(std::lround(level * 8.0 / (8192 / steps))), 0, steps);
}

quint32 reportedValueFor(int parameter, quint32 message)
{
    const quint32 scale = parameterDecodeScale(parameter);
    if (!isStepped(scale))
        return message;
    return static_cast<quint32>(
        stepForLevel(static_cast<int>(std::min<quint32>(message >> 13, kMaxLevel)), static_cast<int>(scale)));
}

QString knobText(int parameter, int level)
{
    const quint32 scale = parameterDecodeScale(parameter);
    return isStepped(scale) ? QString::number(stepForLevel(level, static_cast<int>(scale))) : levelText(level);
}

QString reportedValueText(int parameter, quint32 reported)
{
    const quint32 scale = parameterDecodeScale(parameter);
    if (scale == kLevelScale)
        return reported < levelToValue(kMaxLevel + 1) ? levelText(static_cast<int>(reported >> 13)) : unknown(reported);
    if (isStepped(scale))
        return reported <= scale ? QString::number(reported) : unknown(reported);
    if (parameter == ParHarmonicPitch) {
        const std::optional<int> index = harmonicPitchIndex(reported);
        return index ? pitchText(*index) : unknown(reported);
    }
    const std::optional<bool> on = parameter == ParWave ? waveIsOn(reported) : flagIsOn(reported);
    return on ? (*on ? QStringLiteral("on") : QStringLiteral("off")) : unknown(reported);
}

ValueKind valueKind(int parameter)
{
    const quint32 scale = parameterDecodeScale(parameter);
    if (scale == kLevelScale)
        return ValueKind::Level;
    if (isStepped(scale))
        return ValueKind::Step;
    return parameter == ParHarmonicPitch ? ValueKind::Pitch : ValueKind::Switch;
}

std::optional<double> reportedValueNumber(int parameter, quint32 reported)
{
    switch (valueKind(parameter)) {
    case ValueKind::Level:
        if (reported >= levelToValue(kMaxLevel + 1))
            return std::nullopt;
        // The number the text shows, rounded the same way, so that a script reads what a player reads.
        return QLocale::c().toDouble(levelText(static_cast<int>(reported >> 13)).chopped(2));
    case ValueKind::Step:
        if (reported > parameterDecodeScale(parameter))
            return std::nullopt;
        return reported;
    case ValueKind::Pitch:
        if (const std::optional<int> index = harmonicPitchIndex(reported))
            return *index - 12;
        return std::nullopt;
    case ValueKind::Switch:
        break;
    }
    const std::optional<bool> on = parameter == ParWave ? waveIsOn(reported) : flagIsOn(reported);
    if (!on)
        return std::nullopt;
    return *on ? 1.0 : 0.0;
}

bool isSendableValue(int parameter, quint32 value)
{
    switch (valueKind(parameter)) {
    case ValueKind::Level:
    case ValueKind::Step:
        return value <= levelToValue(kMaxLevel);
    case ValueKind::Pitch:
        return harmonicPitchIndex(value).has_value();
    case ValueKind::Switch:
        break;
    }
    return (parameter == ParWave ? waveIsOn(value) : flagIsOn(value)).has_value();
}

namespace {

// What a raw value of the parameter may be, as a refusal names it.
QString sendableValues(int parameter)
{
    switch (valueKind(parameter)) {
    case ValueKind::Level:
    case ValueKind::Step:
        return QStringLiteral("a raw value from 0x00000000 to 0x%1").arg(hex8(levelToValue(kMaxLevel)));
    case ValueKind::Pitch:
        return QStringLiteral("a raw value of the pitch list (0x%1 to 0x%2)")
            .arg(hex8(HarmonicPitchTable.front()), hex8(HarmonicPitchTable.back()));
    case ValueKind::Switch:
        break;
    }
    return parameter == ParWave ? QStringLiteral("the raw value 0x%1 or 0x%2").arg(hex8(kWaveOn), hex8(kWaveOff))
                                : QStringLiteral("the raw value 0x00000000 or 0x00000001");
}

// "0x" and one to eight hex digits: the value exactly as the message carries it.
std::optional<quint32> rawValue(const QString &text)
{
    if (text.size() < 3 || text.size() > 10 || !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return std::nullopt;
    for (const QChar ch : text.mid(2))
        if (!isxdigit(ch.toLatin1()))
            return std::nullopt;
    return text.mid(2).toUInt(nullptr, 16);
}

} // namespace

Result<quint32> parseValueText(int parameter, const QString &text)
{
    const quint32 scale = parameterDecodeScale(parameter);
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const std::optional<quint32> raw = rawValue(t);
        if (!raw || !isSendableValue(parameter, *raw))
            return refused(text, sendableValues(parameter));
        return *raw;
    }
    const QLocale c = QLocale::c();
    bool ok = false;
    if (scale == kLevelScale) {
        if (t.endsWith(QLatin1Char('%')))
            t = t.chopped(1).trimmed();
        const double percent = c.toDouble(t, &ok);
        if (!ok || !(percent >= 0.0 && percent <= 100.0))
            return refused(text, QStringLiteral("a level from 0 to 100 %"));
        return levelToValue(std::min(static_cast<int>(std::lround(percent * kFullScale / 100.0)), kMaxLevel));
    }
    if (isStepped(scale)) {
        const int step = c.toInt(t, &ok);
        if (!ok || step < 0 || step > static_cast<int>(scale))
            return refused(text, QStringLiteral("a step from 0 to %1").arg(scale));
        return levelToValue(levelForStep(step, static_cast<int>(scale)));
    }
    if (parameter == ParHarmonicPitch) {
        const int semitones = c.toInt(t.startsWith(QLatin1Char('+')) ? t.mid(1) : t, &ok);
        if (!ok || semitones < -12 || semitones > 12)
            return refused(text, QStringLiteral("a pitch from -12 to +12 semitones"));
        return HarmonicPitchTable[static_cast<size_t>(semitones + 12)];
    }
    const QString word = t.toLower();
    if (word != QLatin1String("on") && word != QLatin1String("off"))
        return refused(text, QStringLiteral("on or off"));
    const bool on = word == QLatin1String("on");
    return parameter == ParWave ? waveValue(on) : flagValue(on);
}

} // namespace vadrelon
