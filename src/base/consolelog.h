#pragma once
// The debug console's log: every exchange with the pedal is traced here, whether or not the
// console window is shown. The window follows it through the signals.
#include <QObject>
#include <QStringList>

namespace vadrelon {

class ConsoleLog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Appends one line and brings the newest line into view (when the console scrolls).
    void print(const QString &text);
    // Appends many lines at once, as print of each would (a memory dump is 16384 lines).
    void printLines(const QStringList &lines);
    // Appends one line without moving the view.
    void appendLine(const QString &text);
    void clear();

    const QStringList &lines() const { return lines_; }

signals:
    void appended(const QStringList &lines, bool scroll);
    void cleared();

private:
    QStringList lines_;
};

} // namespace vadrelon
