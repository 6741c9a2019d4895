#include "content/preset.h"

#include "base/safefile.h"

#include <QDir>

namespace vadrelon {

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

constexpr const char *kTraceKeys[kParameterCount] = {
    "Dry: ",      "SubMix: ",          "Minus1oct: ",   "Minus2oct: ", "Wave: ",        "LowPass: ",
    "HighPass: ", "FirstHarmonic: ",   "Split: ",       "Range: ",     "input_level: ", "Wave2_Pitch: ",
    "Clip: ",     "DominantNoteCut: ", "HighNoteCut: ", "DryHPF: "};

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// At most this much of a bad line is shown: it may be anything.
QString shown(const QByteArray &line)
{
    constexpr int kShownBytes = 12;
    QString text = QString::fromLatin1(line.left(kShownBytes));
    for (QChar &c : text)
        if (!c.isPrint())
            c = QChar(u'?');
    return line.size() > kShownBytes ? text + QStringLiteral("…") : text;
}

Error refused(const QString &reason)
{
    return Error{ErrorCode::PresetNotLoaded, reason};
}

QString located(const QString &path, const QString &reason)
{
    return QStringLiteral("\"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
}

} // namespace

QByteArray writePreset(const PresetValues &values)
{
    QByteArray out = kByteOrderMark;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            out += '\r';
        out += QByteArray::number(values[i], 16).toUpper().rightJustified(8, '0');
    }
    return out;
}

Result<Preset> readPreset(const QByteArray &bytes)
{
    QByteArray text = bytes.startsWith(kByteOrderMark) ? bytes.mid(kByteOrderMark.size()) : bytes;
    if (text.isEmpty())
        return refused(QStringLiteral("the file is empty, and a preset has 16 lines"));
    // One final line break is allowed, in any of the three forms.
    if (text.endsWith("\r\n"))
        text.chop(2);
    else if (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    QList<QByteArray> lines;
    for (int start = 0;;) {
        int end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.append(text.mid(start, end - start));
        if (end >= text.size())
            break;
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    Preset preset;
    for (int i = 0; i < lines.size(); ++i) {
        if (i >= kParameterCount)
            return refused(QStringLiteral("it goes on after line 16, and a preset has 16 lines"));
        const QByteArray &line = lines[i];
        if (line.size() != 8 || !std::all_of(line.begin(), line.end(), isHexDigit))
            return refused(QStringLiteral("line %1 is \"%2\", not eight hex digits").arg(i + 1).arg(shown(line)));
        preset.values[static_cast<size_t>(i)] = line.toUInt(nullptr, 16);
        preset.fields << QString::fromLatin1(line);
    }
    if (lines.size() < kParameterCount)
        return refused(QStringLiteral("it ends after line %1, and a preset has 16 lines").arg(lines.size()));
    return preset;
}

QStringList presetLoadTrace(const Preset &preset)
{
    QStringList trace;
    for (int i = 0; i < kParameterCount; ++i)
        trace << QString::fromLatin1(kTraceKeys[i]) + preset.fields.value(i);
    return trace;
}

QString presetFileName(const QString &chosen)
{
    return chosen.endsWith(QLatin1String(".txt")) ? chosen : chosen + QStringLiteral(".txt");
}

Result<Preset> loadPresetFile(const QString &path)
{
    const Result<QByteArray> bytes = readRegularFile(path, kPresetFileCap);
    if (const Error *error = std::get_if<Error>(&bytes))
        return Error{ErrorCode::PresetNotLoaded, error->detail}; // already names the path
    Result<Preset> preset = readPreset(std::get<QByteArray>(bytes));
    if (Error *error = std::get_if<Error>(&preset))
        error->detail = located(path, error->detail);
    return preset;
}

std::optional<Error> savePresetFile(const QString &path, const PresetValues &values)
{
    std::optional<Error> error = writeWholeFile(path, writePreset(values));
    if (error)
        error->code = ErrorCode::PresetNotSaved; // already names the path
    return error;
}

} // namespace vadrelon
