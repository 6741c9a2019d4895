#pragma once
// The main window's device commands: algorithm uploads, Assign, Set Footswitch Mode, Save
// Parameters, the option menus, the tunings and Erase Settings. Each asks its question
// first, then calls the pedal session, and shows the one result on the form.
#include "session/pedalsession.h"
#include "ui/mainform.h"

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QTimer;

namespace vadrelon {

class ConsoleLog;
class Prompt;
class SettingsStore;
class SideWindows;
class UploadJob;
struct ContentState;
struct DeviceState;
struct EffectState;
struct Error;

class DeviceCommands : public QObject {
    Q_OBJECT
public:
    // What a status reply does to the windows; then runs when it brought the parameters.
    using StatusHandler = std::function<PedalSession::Then<QByteArray>(std::function<void()> then)>;

    DeviceCommands(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows, MainForm &ui,
                   StatusHandler statusHandler, QObject *parent = nullptr);

    // The link has ended: no upload answer is awaited any more.
    void linkEnded();

signals:
    // What just happened, in a few words for the status line.
    void happened(const QString &what);

private:
    void onUploadClicked();
    void onLoadAlgorithmFromFileTriggered();
    void runUpload(std::unique_ptr<UploadJob> job, std::function<void()> then);
    void onAssignClicked();
    void onFootswitchModeClicked();
    void onSaveParametersClicked();
    void onMidiChannelTriggered(QAction *item);
    void onBypassStorageTriggered(bool store);
    void onTrackingLimitTriggered(bool on);
    void onSetTuningClicked();
    void onUploadTuningDataTriggered();
    void onInstrumentTriggered(bool guitar);
    void onEraseSettingsTriggered();
    bool refuseUnread();
    void readStatus(std::function<void()> then);
    // Shows a failure; runs then after a success.
    PedalSession::Done shownIfFailed(std::function<void()> then);
    void showError(const Error &error);

    PedalSession &session_;
    DeviceState &device_;
    ContentState &content_;
    EffectState &effect_;
    ConsoleLog &log_;
    SettingsStore &settings_;
    Prompt &prompt_;
    SideWindows &windows_;
    MainForm &ui_;
    StatusHandler statusHandler_;
    QTimer *uploadCheckTimer_;
    QString algorithmFileFolder_; // where the last algorithm file was chosen
};

} // namespace vadrelon
