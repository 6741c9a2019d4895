#pragma once
// The debug console: shows the console log, follows it while "scroll" is checked, and carries
// the service tools: erase and read the pedal's settings memory (and save what was read), and,
// hidden as designed, the raw parameter sender and the filter coefficient calculator.
#include <QByteArray>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vadrelon {

class ConsoleLog;
class PedalSession;
class Prompt;
struct Error;

class ConsoleWindow : public QWidget {
    Q_OBJECT
public:
    ConsoleWindow(PedalSession &session, Prompt &prompt);

private:
    void buildTools();
    void append(const QStringList &lines, bool scroll);
    void onScrollTopClicked();
    void onEraseClicked();
    void onReadClicked();
    void onSaveDumpClicked();
    void onSendClicked();
    void onQEdited();
    void onBoostEdited();
    void onCalcClicked();
    bool refuseUnlinked();
    void showError(const Error &error);

    PedalSession &session_;
    ConsoleLog &log_;
    Prompt &prompt_;
    QPlainTextEdit *text_;
    QCheckBox *scroll_;
    QComboBox *i2cAddress_;
    QPushButton *saveDump_;
    QLineEdit *sendAddress_, *sendData_;
    QComboBox *notes_;
    QLineEdit *q_, *boost_;
    QByteArray dump_; // the last memory read whole
    double filterQ_ = 11.0;
    double filterGainDb_ = -6.0;
};

} // namespace vadrelon
