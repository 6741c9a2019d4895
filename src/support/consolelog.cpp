#include "support/consolelog.h"

namespace vadrelon {

void ConsoleLog::ConsolePrint(const QString &text)
{
    lines_.append(text);
    emit appended({text}, true);
}

void ConsoleLog::ConsolePrintLines(const QStringList &lines)
{
    lines_.append(lines);
    emit appended(lines, true);
}

void ConsoleLog::AppendLine(const QString &text)
{
    lines_.append(text);
    emit appended({text}, false);
}

void ConsoleLog::Clear()
{
    lines_.clear();
    emit cleared();
}

} // namespace vadrelon
