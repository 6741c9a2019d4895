#pragma once
// The main window: the link to the pedal, the device labels, the effect list and the device
// commands. Every exchange is a job of the link; the window asks its questions first, then
// hands the job over, and renders the result.
#include <QMainWindow>
#include <QVector>
#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace vadrelon {

class ConsoleLog;
class ConsoleWindow;
class EffectWindow;
class Job;
class PedalLink;
class Prompt;
class SettingsStore;
struct ContentState;
struct DeviceState;
struct EffectState;
struct Error;
class ParameterSet;
enum class LinkState;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(PedalLink &link, DeviceState &device, ContentState &content, ParameterSet &parameters,
               EffectState &effect, ConsoleLog &log, SettingsStore &settings, Prompt &prompt);
    ~MainWindow() override;

    // The windows created after this one; the start-up steps do not need them.
    void attachWindows(ConsoleWindow *console, EffectWindow *effect);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void startUp();
    void scanQuietly();

    void onScanTriggered();
    void onLinkTriggered();
    void onRequestClicked();
    void onUploadClicked();
    void onAssignClicked();
    void onFootswitchModeClicked();
    void onSaveParametersClicked();
    void onEffectClicked();
    void onMidiChannelTriggered(QAction *item);
    void onBypassStorageTriggered(bool store);
    void onLookTriggered(int index);
    void onStateChanged(LinkState state);

    void requestStatus();
    void applyStatus(const QByteArray &values);
    bool start(std::unique_ptr<Job> job);
    void sendCommand(const QString &text, int pauseMs = 0, bool purgeFirst = false);
    void showError(const Error &error);
    void updateCommands();
    bool loadSelectedEffect();
    void openEffectWindow();
    void closeEffectWindow();
    void applyLook(int index);

    PedalLink &link_;
    DeviceState &device_;
    ContentState &content_;
    ParameterSet &parameters_;
    EffectState &effect_;
    ConsoleLog &log_;
    SettingsStore &settings_;
    Prompt &prompt_;
    ConsoleWindow *console_ = nullptr;
    EffectWindow *effectWindow_ = nullptr;

    QLabel *deviceName_;
    QLabel *firmwareVersion_;
    QLabel *algorithmVersion_;
    QLabel *status_;
    QPushButton *upload_;
    QPushButton *request_;
    QPushButton *saveParameters_;
    QPushButton *assign_;
    QPushButton *footswitchMode_;
    QListWidget *effects_;
    QTimer *uploadCheckTimer_;
    QAction *scan_;
    QAction *connect_;
    QAction *disconnect_;
    QMenu *midi_;
    QVector<QAction *> midiChannels_; // "OMNI", then "1" to "16"
    QAction *reportUsbErrors_;
    QMenu *instrument_;
    QAction *guitar_;
    QAction *bass_;
    QMenu *bypassStorage_;
    QAction *storeBypass_;
    QAction *doNotStoreBypass_;
    QAction *serialNumbers_;

    QString editorVersion_;
    quint32 latestFirmware_ = 0;
    // False once the pedal's firmware was found too old: nothing but Unlink makes sense then.
    bool commandsAllowed_ = true;
};

} // namespace vadrelon
