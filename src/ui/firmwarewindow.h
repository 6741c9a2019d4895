#pragma once
// The Firmware Upgrade window: the firmware to install (one the editor carries, or a file from
// the maker), the Upgrade button, and the progress through erase, write, verify and start.
// It asks for the image, has the pedal session install it, and shows how far it has got.
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vadrelon {

class ConsoleLog;
class PedalSession;
class Prompt;
struct Error;

class FirmwareWindow : public QWidget {
    Q_OBJECT
public:
    FirmwareWindow(PedalSession &session, Prompt &prompt, QWidget *parent = nullptr);

    QString selectedName() const { return selectedName_; }
    int selectedVersion() const { return selectedVersion_; }

    // While an upgrade runs nothing here can start another, and the window cannot be closed:
    // a pedal left between erase and start has no firmware.
    bool isRunning() const { return running_; }

signals:
    void runningChanged();
    // The firmware is installed, read back whole and started.
    void upgraded();

public:
    // Measured when first shown, as the effect window is: it is seldom shown at all.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onFirmwareSelected(int index);
    void onUpgradeClicked();
    void onFromFileClicked();
    void upgrade(const QByteArray &image, int version);
    void setRunning(bool running);
    // percent of the whole upgrade, and what it does now ("Writing block 12 of 205").
    void showProgress(int percent, const QString &text);
    void showError(const Error &error);

    PedalSession &session_;
    Prompt &prompt_;
    ConsoleLog &log_;
    QComboBox *choice_;
    QPushButton *upgrade_;
    QPushButton *fromFile_;
    QProgressBar *progress_;
    QLabel *phase_;
    QString selectedName_;
    int selectedVersion_ = 0;
    bool running_ = false;
    bool sized_ = false;
};

} // namespace vadrelon
