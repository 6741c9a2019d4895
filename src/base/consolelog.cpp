#include "base/consolelog.h"

namespace vadrelon {

void ConsoleLog::print(const QString &text)
{
    lines_.append(text);
    emit appended({text}, true);
}

void ConsoleLog::printLines(const QStringList &lines)
{
    lines_.append(lines);
    emit appended(lines, true);
}

void ConsoleLog::appendLine(const QString &text)
{
    lines_.append(text);
    emit appended({text}, false);
}

void ConsoleLog::clear()
{
    lines_.clear();
    emit cleared();
}

} // namespace vadrelon
