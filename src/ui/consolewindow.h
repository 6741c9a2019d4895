#pragma once
// The debug console: shows the console log, follows it while "scroll" is checked.
#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace vadrelon {

class ConsoleLog;

class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    explicit ConsoleWindow(ConsoleLog &log);

private:
    void append(const QStringList &lines, bool scroll);
    void onScrollTopClicked();

    ConsoleLog &log_;
    QPlainTextEdit *text_;
    QCheckBox *scroll_;
};

} // namespace vadrelon
