#include "effect/valuetext.h"

#include "base/hexcodec.h"
#include "effect/dialmapping.h"
#include "effect/parameters.h"

#include <QLocale>
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

Result<quint32> parseValueText(int parameter, const QString &text)
{
    const quint32 scale = parameterDecodeScale(parameter);
    QString t = text.trimmed();
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
