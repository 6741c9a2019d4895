#pragma once
// The main window's widgets, built as the design places them, in the manner of a form that
// Qt Designer would generate: the window keeps only the wiring and the handlers.
#include <QVector>

class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QPushButton;

namespace vadrelon {

class EffectList;
struct StatusView;

struct MainForm {
    QLabel *deviceName;
    QLabel *firmwareVersion;
    QLabel *algorithmVersion;
    QLabel *status;
    QPushButton *upload;
    QPushButton *request;
    QPushButton *saveParameters;
    QPushButton *assign;
    QPushButton *footswitchMode;
    QPushButton *setTuning;
    EffectList *effects;

    QAction *scan;
    QAction *connect;
    QAction *disconnect;
    QAction *reportUsbErrors;
    QAction *showUpdateMessage;
    QAction *appVersion;
    QAction *serialNumbers;
    QAction *storeBypass;
    QAction *doNotStoreBypass;
    QAction *guitar;
    QAction *bass;
    QAction *trackingLimitOn;
    QAction *trackingLimitOff;
    QAction *loadPreset;
    QAction *savePreset;
    QAction *presetLibrary;
    QAction *loadAlgorithmFromFile;
    QAction *uploadTuningData;
    QAction *upgradeMode;
    QAction *startFirmwareUpgrade;
    QAction *eraseSettings;
    QMenu *look;
    QMenu *midi;
    QMenu *instrument;
    QMenu *bypassStorage;
    QMenu *info;
    QVector<QAction *> midiChannels; // "OMNI", then "1" to "16"
    QVector<QAction *> looks;        // by index, the one in use checked

    void setupUi(QMainWindow *window);
    // The check marks that follow the pedal: bypass storage, instrument, MIDI channel.
    void showOptions(const StatusView &view);
};

} // namespace vadrelon
