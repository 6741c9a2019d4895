#pragma once
// The main window: the link to the pedal, the device labels, the effect list and the device
// commands. Handlers carry the names the rest of the editor knows them by.
#include "content/contentstate.h"
#include "device/pedallink.h"
#include "effect/parameters.h"

#include <QMainWindow>
#include <QVector>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;

namespace vadrelon {

class SettingsStore;
class TformPrint;
class TformFXsettings;
class Prompt;

struct EditorVersionInfo {
    QString EditorVersion;
    quint32 LatestFirmwareVersion = 0;
};

class TformMain : public QMainWindow {
    Q_OBJECT
public:
    TformMain(UsbTransport &transport, PedalExchange &exchange, DeviceState &device,
              ContentState &content, ParameterSet &parameters, EffectState &effect, ConsoleLog &log,
              SettingsStore &settings, Prompt &prompt);

    // The windows created after this one; the start-up steps do not need them.
    void attachWindows(TformPrint *console, TformFXsettings *effect);

    // Link and status, as the menu commands run them.
    void ScanDevicesQuietly();
    void ScanDevices();
    bool LinkDevice();
    void Link();
    void Unlink();
    void EnableUSBobjects(bool status);
    void RequestStatus();
    void DecodeBypassStorage(int index);
    void DecodeInstrument(int index);
    void DecodeMidiChannel(int index);

    // Catalogue and images.
    bool LoadResourceLines(const QString &name);
    void FillEffectList();
    bool GetResourceFile();
    void OpenEffectWindow();

    // Controls, reachable by their names.
    QLabel *lblDeviceName;
    QLabel *lblFirmwareVersion;
    QLabel *lblAlgorithmVersion;
    QLabel *lblStatus;
    QPushButton *btnUpload;
    QPushButton *btnRequest;
    QPushButton *btnSaveParameters;
    QPushButton *btnAssign;
    QPushButton *btnSetFootswitchMode;
    QPushButton *btnSetTuning;
    QListWidget *lstEffects;
    QTimer *Timer_USB_Read;
    QTimer *UploadCheckTimer;

    QMenu *menuFile;
    QAction *menuLoadPreset;
    QAction *menuSavePreset;
    QAction *menuLoadAlgorithmFromFile;
    QMenu *menuConnection;
    QAction *menuScan;
    QAction *menuConnect;
    QAction *menuDisconnect;
    QMenu *menuSettings;
    QMenu *menuLook;
    QMenu *menuMIDI;
    QMenu *menuMIDIchannel;
    QVector<QAction *> MidiChannelItems; // "OMNI", then "1" to "16"
    QAction *menuUploadTuningsData;
    QAction *menuReportUSBErrors;
    QMenu *menuInstrument;
    QAction *menuGuitar;
    QAction *menuBass;
    QMenu *menuBypassStatus;
    QAction *menuStoreBypassStatus;
    QAction *menuDoNotStoreBypassStatus;
    QMenu *menuFirmwareUpgrade;
    QAction *menuFirmwareUpgradeMode;
    QAction *menuStartFirmwareUpgrade;
    QAction *menuEraseSettings;
    QMenu *menuInfo;
    QAction *menuSupport;
    QAction *menuAppVersion;
    QAction *menuNewAppVersion;
    QAction *menuUpdateNow;
    QAction *menuShowUpdateMsg;
    QAction *menuSerialNumber;

public slots:
    void menuScanClick() { ScanDevices(); }
    void ConnectOnClick() { Link(); }
    void menuDisconnectClick() { Unlink(); }
    void btnRequestClick();
    void btnUploadClick();
    void UploadCheckTimerTimer();
    void btnAssignClick();
    void btnSetFootswitchModeClick();
    void btnSaveParametersClick();
    void effetto_cliccato();
    bool move_up_or_down(int key);
    void menuInfoClick();
    void menuReportUSBErrorsClick();
    void menuLookClickItem(int index);
    void menuMIDIchannelsClickItem(QAction *item);
    void menuStoreBypassStatusClick();
    void menuDoNotStoreBypassStatusClick();
    void Timer_USB_ReadTimer();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void startUp();
    void BuildLookMenu();
    void ApplySavedStyle();
    void BuildMidiChannelMenu();
    void ChangeStoreBypassStatus(bool store);
    void sendText(const QString &text);
    void applyLook(int index);
    void showConsole();
    void enterUnlinkedState();
    void onDeviceLost();
    void closeEffectWindow();
    bool refuseWhileBusy();

    UsbTransport &transport_;
    PedalExchange &exchange_;
    DeviceState &device_;
    ContentState &content_;
    ParameterSet &parameters_;
    EffectState &effect_;
    ConsoleLog &log_;
    SettingsStore &settings_;
    Prompt &prompt_;
    TformPrint *console_ = nullptr;
    TformFXsettings *effectWindow_ = nullptr;
    EditorVersionInfo versions_;
    bool bootloaderAcknowledged_ = false;
};

} // namespace vadrelon
