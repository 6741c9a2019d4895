#include "ui/mainform.h"

#include "effect/pedalstatus.h"
#include "support/looks.h"
#include "ui/effectlist.h"
#include "ui/wrapbutton.h"

#include <QActionGroup>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>

namespace vadrelon {

namespace {

constexpr int kClientWidth = 356;
constexpr int kClientHeight = 228;
constexpr int kMenuBarHeight = 24; // the layout's positions count from the top of the menu bar

// The menu bar as a table: parent (empty for the bar), object name, caption, and whether the
// entry is a submenu, starts enabled, carries a check mark. The "&" marks the letter that
// opens an entry from the keyboard (Alt+F for File); the caption shows it underlined only. Commands that are not built
// yet stay disabled rather than do nothing.
struct MenuEntry {
    const char *parent;
    const char *name;
    const char *caption;
    enum Kind { Menu, Item, Disabled, Check } kind;
};
constexpr MenuEntry kMenus[] = {
    {"", "menuFile", "&File", MenuEntry::Menu},
    {"menuFile", "menuLoadPreset", "&Load Preset", MenuEntry::Item},
    {"menuFile", "menuSavePreset", "&Save Preset", MenuEntry::Item},
    {"menuFile", "menuPresetLibrary", "Preset L&ibrary…", MenuEntry::Item},
    {"menuFile", "menuLoadAlgorithmFromFile", "Load &Effect From File", MenuEntry::Item},
    {"", "menuConnection", "&Connection", MenuEntry::Menu},
    {"menuConnection", "menuScan", "&Scan", MenuEntry::Item},
    {"menuConnection", "menuConnect", "&Link", MenuEntry::Item},
    {"menuConnection", "menuDisconnect", "&Unlink", MenuEntry::Disabled},
    {"", "menuSettings", "&Settings", MenuEntry::Menu},
    {"menuSettings", "menuLook", "L&ook", MenuEntry::Menu},
    {"menuSettings", "menuMIDI", "&MIDI", MenuEntry::Menu},
    {"menuMIDI", "menuMIDIchannel", "&Channel", MenuEntry::Menu},
    {"menuSettings", "menuUploadTuningsData", "Upload &Tuning Data", MenuEntry::Item},
    {"menuSettings", "menuReportUSBErrors", "&Report USB Errors", MenuEntry::Check},
    {"menuSettings", "menuInstrument", "&Instrument", MenuEntry::Menu},
    {"menuInstrument", "menuGuitar", "&Guitar", MenuEntry::Check},
    {"menuInstrument", "menuBass", "&Bass", MenuEntry::Check},
    {"menuSettings", "menuBypassStatus", "&Bypass Status", MenuEntry::Menu},
    {"menuBypassStatus", "menuStoreBypassStatus", "&Store Bypass Status", MenuEntry::Check},
    {"menuBypassStatus", "menuDoNotStoreBypassStatus", "&Do Not Store Bypass Status", MenuEntry::Check},
    {"menuSettings", "menuTrackingLimit", "Tracking Limit", MenuEntry::Menu},
    {"menuTrackingLimit", "menuTrackingLimitOFF", "Tracking Limit OFF", MenuEntry::Check},
    {"menuTrackingLimit", "menuTrackingLimitON", "Tracking Limit ON", MenuEntry::Check},
    {"", "menuFirmwareUpgrade", "Firmware &Upgrade", MenuEntry::Menu},
    {"menuFirmwareUpgrade", "menuFirmwareUpgradeMode", "Upgrade &Mode", MenuEntry::Check},
    {"menuFirmwareUpgrade", "menuStartFirmwareUpgrade", "&Start Firmware Upgrade", MenuEntry::Item},
    {"menuFirmwareUpgrade", "menuEraseSettings", "&Erase Settings", MenuEntry::Item},
    {"", "menuInfo", "&Info", MenuEntry::Menu},
    {"menuInfo", "menuSupport", "&Support", MenuEntry::Item},
    {"menuInfo", "menuAppVersion", "Editor Version: ", MenuEntry::Disabled},
    {"menuInfo", "menuNewAppVersion", "New version available:", MenuEntry::Disabled},
    {"menuInfo", "menuUpdateNow", "Update Now", MenuEntry::Disabled},
    {"menuInfo", "menuCheckForUpdates", "&Check for Updates", MenuEntry::Item},
    {"menuInfo", "menuShowUpdateMsg", "Show &Update Message", MenuEntry::Check},
    {"menuInfo", "menuSerialNumber", "Device Serial: ", MenuEntry::Disabled},
};

} // namespace

void MainForm::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("TformMain"));
    window->setWindowTitle(QStringLiteral("Vadrelon Editor"));
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MenuBar1"));
    QHash<QString, QMenu *> menus;
    QHash<QString, QAction *> actions;
    for (const MenuEntry &e : kMenus) {
        const QString name = QString::fromLatin1(e.name);
        const QString caption = QString::fromLatin1(e.caption);
        QMenu *parent = menus.value(QString::fromLatin1(e.parent));
        if (e.kind == MenuEntry::Menu) {
            QMenu *m = parent ? parent->addMenu(caption) : bar->addMenu(caption);
            m->setObjectName(name);
            menus.insert(name, m);
            continue;
        }
        QAction *a = parent->addAction(caption);
        a->setObjectName(name);
        a->setEnabled(e.kind != MenuEntry::Disabled);
        a->setCheckable(e.kind == MenuEntry::Check);
        actions.insert(name, a);
    }
    const auto act = [&actions](const char *name) { return actions.value(QString::fromLatin1(name)); };
    scan = act("menuScan");
    connect = act("menuConnect");
    disconnect = act("menuDisconnect");
    reportUsbErrors = act("menuReportUSBErrors");
    showUpdateMessage = act("menuShowUpdateMsg");
    appVersion = act("menuAppVersion");
    serialNumbers = act("menuSerialNumber");
    storeBypass = act("menuStoreBypassStatus");
    doNotStoreBypass = act("menuDoNotStoreBypassStatus");
    doNotStoreBypass->setChecked(true);
    guitar = act("menuGuitar");
    bass = act("menuBass");
    trackingLimitOn = act("menuTrackingLimitON");
    trackingLimitOff = act("menuTrackingLimitOFF");
    loadPreset = act("menuLoadPreset");
    savePreset = act("menuSavePreset");
    presetLibrary = act("menuPresetLibrary");
    presetLibrary->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    loadAlgorithmFromFile = act("menuLoadAlgorithmFromFile");
    uploadTuningData = act("menuUploadTuningsData");
    upgradeMode = act("menuFirmwareUpgradeMode");
    startFirmwareUpgrade = act("menuStartFirmwareUpgrade");
    eraseSettings = act("menuEraseSettings");
    // Built as the pedal knows it, but nothing shows it: the pedal does not report the
    // setting, so the editor could never show what it holds.
    menus.value(QStringLiteral("menuTrackingLimit"))->menuAction()->setVisible(false);
    look = menus.value(QStringLiteral("menuLook"));
    midi = menus.value(QStringLiteral("menuMIDI"));
    instrument = menus.value(QStringLiteral("menuInstrument"));
    bypassStorage = menus.value(QStringLiteral("menuBypassStatus"));
    info = menus.value(QStringLiteral("menuInfo"));
    for (QMenu *m : {midi, instrument, bypassStorage})
        m->setEnabled(false);
    for (int c = 0; c <= 16; ++c) {
        QAction *a = menus.value(QStringLiteral("menuMIDIchannel"))
                         ->addAction(c == 0 ? QStringLiteral("OMNI") : QString::number(c));
        a->setCheckable(true);
        midiChannels << a;
    }

    auto *lookGroup = new QActionGroup(look);
    for (int i = 0; i <= 6; ++i) {
        QAction *a = lookGroup->addAction(QString::number(i));
        a->setCheckable(true);
        look->addAction(a);
        looks << a;
    }
    // Named when first shown: reading every sheet for its name is no work for start-up.
    QObject::connect(look, &QMenu::aboutToShow, look, [this] {
        for (int i = 0; i < looks.size(); ++i)
            looks[i]->setText(lookTitle(i));
    });
    // F10 opens the menu bar, as on most desktops.
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), window);
    QObject::connect(menuKey, &QShortcut::activated, bar, [bar] {
        bar->setFocus(Qt::MenuBarFocusReason);
        bar->setActiveAction(bar->actions().value(0));
    });

    auto *client = new QWidget(window);
    window->setCentralWidget(client);
    const auto place = [](QWidget *w, int x, int y, int width, int height) {
        w->setGeometry(x, y - kMenuBarHeight, width, height);
    };
    const auto label = [&](const char *name, const char *text, int x, int y, int w, int h) {
        auto *l = new QLabel(QString::fromLatin1(text), client);
        l->setObjectName(QString::fromLatin1(name));
        place(l, x, y, w, h);
        return l;
    };
    const auto button = [&](const char *name, const char *text, bool wrap, int x, int y, int w, int h) {
        QPushButton *b = wrap ? new WrapButton(QString::fromLatin1(text), client)
                              : new QPushButton(QString::fromLatin1(text), client);
        b->setObjectName(QString::fromLatin1(name));
        b->setEnabled(false);
        place(b, x, y, w, h);
        return b;
    };
    deviceName = label("lblDeviceName", "No device found", 9, 32, 174, 17);
    firmwareVersion = label("lblFirmwareVersion", "Device Firmware:", 9, 48, 174, 20);
    firmwareVersion->setToolTip(QStringLiteral("Shows which firmware is currently installed on the pedal"));
    algorithmVersion = label("lblAlgorithmVersion", "Device Algorithm:", 9, 66, 174, 17);
    status = label("lblStatus", "Status: ", 9, 84, 174, 17);
    upload = button("btnUpload", "Upload Selected", true, 9, 103, 80, 33);
    request = button("btnRequest", "Request", false, 97, 103, 86, 33);
    saveParameters = button("btnSaveParameters", "Save Parameters", true, 8, 144, 81, 33);
    assign = button("btnAssign", "Assign", false, 97, 144, 86, 33);
    footswitchMode = button("btnSetFootswitchMode", "Set Footswitch Mode", true, 9, 185, 80, 31);
    setTuning = button("btnSetTuning", "Set Tuning", false, 97, 185, 86, 31);
    QFont smaller = window->font();
    smaller.setPixelSize(11);
    footswitchMode->setFont(smaller);
    setTuning->setFont(smaller);
    effects = new EffectList(client);
    effects->setObjectName(QStringLiteral("lstEffects"));
    place(effects, 191, 32, 154, 168);

    window->setFixedSize(kClientWidth, kClientHeight - kMenuBarHeight + bar->sizeHint().height());
    window->move(37, 31);
}

void MainForm::showOptions(const StatusView &view)
{
    if (view.storeBypass) {
        storeBypass->setChecked(*view.storeBypass);
        doNotStoreBypass->setChecked(!*view.storeBypass);
    }
    if (view.guitar) {
        guitar->setChecked(*view.guitar);
        bass->setChecked(!*view.guitar);
    }
    for (QAction *a : midiChannels)
        a->setChecked(false);
    if (view.midiChannelItem)
        midiChannels[*view.midiChannelItem]->setChecked(true);
}

} // namespace vadrelon
