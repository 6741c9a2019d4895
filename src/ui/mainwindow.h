#pragma once
// The main window: the link to the pedal, the device labels, the effect list and the device
// commands. The window asks its questions first, then calls the pedal session, which runs
// every exchange, and renders the one result that comes back.
#include "session/pedalsession.h"
#include "ui/mainform.h"

#include <QMainWindow>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace vadrelon {

class ConsoleLog;
class EffectWindow;
class DeviceCommands;
class FirmwareWindow;
class LibraryWindow;
class PresetActions;
class SideWindows;
class Job;
class UploadJob;
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
    MainWindow(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows);
    ~MainWindow() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void wire();
    void startUp();
    void scanQuietly();

    void onScanTriggered();
    void onLinkTriggered();
    void onRequestClicked();
    void onEffectClicked();
    void onUpgradeModeTriggered(bool on);
    void leaveUpgradeMode();
    void onStartFirmwareUpgradeTriggered();
    void onPedalFound(const Result<PedalSession::Found> &found);
    void onLookTriggered(int index);
    void onStateChanged(LinkState state);

    // Reads the pedal's status; then, when the reply was whole and brought the parameter
    // values, runs then().
    void requestStatus(std::function<void()> then = {});
    // What a status reply does to the windows, wherever it came from; a failure is shown.
    PedalSession::Then<QByteArray> statusHandler(std::function<void()> then);
    bool applyStatus(const QByteArray &values);
    void run(std::unique_ptr<Job> job, PedalSession::Done done);
    // Shows a failure; runs then after a success.
    PedalSession::Done shownIfFailed(std::function<void()> then);
    void showError(const Error &error);
    void say(const QString &what);
    void report(const std::optional<Error> &error);
    void updateCommands();
    // The side windows, built on first use and then wired and brought up to date.
    EffectWindow &effectWindow();
    FirmwareWindow &firmwareWindow();
    void openEffectWindow(const std::optional<Error> &addresses);
    void openLibrary();
    void closeEffectWindow();
    void applyLook(int index);

    PedalSession &session_;
    PedalLink &link_;
    DeviceState &device_;
    ContentState &content_;
    ParameterSet &parameters_;
    EffectState &effect_;
    ConsoleLog &log_;
    SettingsStore &settings_;
    Prompt &prompt_;
    SideWindows &windows_;

    MainForm ui_;
    DeviceCommands *commands_;
    PresetActions *presets_;
    std::unique_ptr<LibraryWindow> library_; // built when first opened

    QString editorVersion_;
    quint32 latestFirmware_ = 0;
    // False once the pedal's firmware was found too old: nothing but Unlink makes sense then.
    bool commandsAllowed_ = true;
};

} // namespace vadrelon
