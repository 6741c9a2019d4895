#pragma once
// The debug console: shows the console log, follows it while "scroll" is checked.
#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace vadrelon {

class ConsoleLog;

class TformPrint : public QWidget {
    Q_OBJECT
public:
    explicit TformPrint(ConsoleLog &log);

    QPlainTextEdit *Memo1;
    QPushButton *btnClear;
    QPushButton *btnScrollTop;
    QCheckBox *CheckBox1;
    bool ConsoleAutoScroll = true;

public slots:
    void btnClearClick();
    void btnScrollTopClick();
    void CheckBox1Change(bool checked) { ConsoleAutoScroll = checked; }

private:
    void append(const QStringList &lines, bool scroll);

    ConsoleLog &log_;
};

} // namespace vadrelon
