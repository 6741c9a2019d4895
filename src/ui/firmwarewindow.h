#pragma once
// The Firmware Upgrade window: the firmware to install (one the editor carries, or a file from
// the maker), the Upgrade button, and the progress through erase, write, verify and start.
// It only asks and shows; the main window runs the upgrade as a job of the link.
#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vadrelon {

class ConsoleLog;

class FirmwareWindow : public QWidget {
    Q_OBJECT
public:
    explicit FirmwareWindow(ConsoleLog &log, QWidget *parent = nullptr);

    QString selectedName() const { return selectedName_; }
    int selectedVersion() const { return selectedVersion_; }

    // While an upgrade runs nothing here can start another, and the window cannot be closed:
    // a pedal left between erase and start has no firmware.
    void setRunning(bool running);
    bool isRunning() const { return running_; }
    // percent of the whole upgrade, and what it does now ("Writing block 12 of 205").
    void showProgress(int percent, const QString &text);

signals:
    void upgradeClicked();
    void fromFileClicked();

public:
    // Measured when first shown, as the effect window is: it is seldom shown at all.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onFirmwareSelected(int index);

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
