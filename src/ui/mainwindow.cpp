#include "ui/mainwindow.h"

#include "content/firmwaretable.h"
#include "content/addressheader.h"
#include "content/resources.h"
#include "device/hexcodec.h"
#include "device/status.h"
#include "effect/messages.h"
#include "support/waits.h"
#include "support/looks.h"
#include "support/prompt.h"
#include "support/settings.h"
#include "ui/consolewindow.h"
#include "ui/fxsettingswindow.h"
#include "ui/wrapbutton.h"

#include <QApplication>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

namespace vadrelon {

namespace {

constexpr int kClientWidth = 356;
constexpr int kClientHeight = 228;
constexpr int kMenuBarHeight = 24; // the layout's positions count from the top of the menu bar
// The pedal answers an upload within a second or two; after this the command gives up, with
// "Upload Failed" on show since the fifth second.
constexpr int kUploadAnswerBoundMs = 20000;

const char *const kFirmwareInstructions[] = {
    "If current firmware is below 9 follow legacy firmware upgrade mode:",
    "1) close editor application and disconnect pedal from USB",
    "2) hold shift button while connecting pedal to USB",
    "3) start application, check Firmware Upgrade Mode in Firmware Upgrade menu",
    "4) clink Link under Connection menu",
    "5) go to Firmware Upgrade menu again and select Firmware Upgrade",
    "",
    "If current firmware is 9 or above go to Firmware Upgrade menu and follow instructions.",
};

} // namespace

TformMain::TformMain(UsbTransport &transport, PedalExchange &exchange, DeviceState &device,
                     ContentState &content, ParameterSet &parameters, EffectState &effect, ConsoleLog &log,
                     SettingsStore &settings, Prompt &prompt)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      transport_(transport), exchange_(exchange), device_(device), content_(content), parameters_(parameters), effect_(effect), log_(log),
      settings_(settings), prompt_(prompt)
{
    setObjectName(QStringLiteral("TformMain"));
    setWindowTitle(QStringLiteral("Vadrelon Editor"));
    buildMenus();
    buildControls();
    setFixedSize(kClientWidth, kClientHeight - kMenuBarHeight + menuBar()->sizeHint().height());
    move(37, 31);

    auto *console = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this);
    console->setContext(Qt::WindowShortcut);
    connect(console, &QShortcut::activated, this, &TformMain::showConsole);
    connect(&transport_, &UsbTransport::deviceLost, this, &TformMain::onDeviceLost);

    startUp();
}

void TformMain::attachWindows(TformPrint *console, TformFXsettings *effect)
{
    console_ = console;
    effectWindow_ = effect;
}

void TformMain::buildControls()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);
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
        place(b, x, y, w, h);
        return b;
    };
    lblDeviceName = label("lblDeviceName", "No device found", 9, 32, 174, 17);
    lblFirmwareVersion = label("lblFirmwareVersion", "Device Firmware:", 9, 48, 174, 20);
    lblFirmwareVersion->setToolTip(QStringLiteral("Shows which firmware is currently installed on the pedal"));
    lblAlgorithmVersion = label("lblAlgorithmVersion", "Device Algorithm:", 9, 66, 174, 17);
    lblStatus = label("lblStatus", "Status: ", 9, 84, 174, 17);
    btnUpload = button("btnUpload", "Upload Selected", true, 9, 103, 80, 33);
    btnRequest = button("btnRequest", "Request", false, 97, 103, 86, 33);
    btnSaveParameters = button("btnSaveParameters", "Save Parameters", true, 8, 144, 81, 33);
    btnAssign = button("btnAssign", "Assign", false, 97, 144, 86, 33);
    btnSetFootswitchMode = button("btnSetFootswitchMode", "Set Footswitch Mode", true, 9, 185, 80, 31);
    btnSetTuning = button("btnSetTuning", "Set Tuning", false, 97, 185, 86, 31);
    QFont smaller = font();
    smaller.setPixelSize(11);
    btnSetFootswitchMode->setFont(smaller);
    btnSetTuning->setFont(smaller);
    for (QPushButton *b : {btnUpload, btnRequest, btnSaveParameters, btnAssign, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(false);
    connect(btnRequest, &QPushButton::clicked, this, &TformMain::btnRequestClick);
    connect(btnUpload, &QPushButton::clicked, this, &TformMain::btnUploadClick);
    connect(btnAssign, &QPushButton::clicked, this, &TformMain::btnAssignClick);
    connect(btnSetFootswitchMode, &QPushButton::clicked, this, &TformMain::btnSetFootswitchModeClick);
    connect(btnSaveParameters, &QPushButton::clicked, this, &TformMain::btnSaveParametersClick);

    lstEffects = new QListWidget(client);
    lstEffects->setObjectName(QStringLiteral("lstEffects"));
    place(lstEffects, 191, 32, 154, 168);
    connect(lstEffects, &QListWidget::itemClicked, this, &TformMain::effetto_cliccato);
    lstEffects->installEventFilter(this);

    Timer_USB_Read = new QTimer(this);
    Timer_USB_Read->setObjectName(QStringLiteral("Timer_USB_Read"));
    Timer_USB_Read->setInterval(50);
    connect(Timer_USB_Read, &QTimer::timeout, this, &TformMain::Timer_USB_ReadTimer);
    UploadCheckTimer = new QTimer(this);
    UploadCheckTimer->setObjectName(QStringLiteral("UploadCheckTimer"));
    UploadCheckTimer->setInterval(5000);
    connect(UploadCheckTimer, &QTimer::timeout, this, &TformMain::UploadCheckTimerTimer);
}

void TformMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar1"));
    const auto item = [this](QMenu *menu, const char *name, const char *caption, bool enabled) {
        QAction *a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };
    const auto submenu = [](QMenu *parent, const char *name, const char *caption) {
        QMenu *m = parent->addMenu(QString::fromLatin1(caption));
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    menuFile = bar->addMenu(QStringLiteral("File"));
    menuLoadPreset = item(menuFile, "menuLoadPreset", "Load Preset", false);
    menuSavePreset = item(menuFile, "menuSavePreset", "Save Preset", false);
    menuLoadAlgorithmFromFile = item(menuFile, "menuLoadAlgorithmFromFile", "Load Effect From File", false);

    menuConnection = bar->addMenu(QStringLiteral("Connection"));
    menuScan = item(menuConnection, "menuScan", "Scan", true);
    menuConnect = item(menuConnection, "menuConnect", "Link", true);
    menuDisconnect = item(menuConnection, "menuDisconnect", "Unlink", false);
    connect(menuScan, &QAction::triggered, this, &TformMain::menuScanClick);
    connect(menuConnect, &QAction::triggered, this, &TformMain::ConnectOnClick);
    connect(menuDisconnect, &QAction::triggered, this, &TformMain::menuDisconnectClick);

    menuSettings = bar->addMenu(QStringLiteral("Settings"));
    menuLook = submenu(menuSettings, "menuLook", "Look");
    menuMIDI = submenu(menuSettings, "menuMIDI", "MIDI");
    menuMIDIchannel = submenu(menuMIDI, "menuMIDIchannel", "Channel");
    menuUploadTuningsData = item(menuSettings, "menuUploadTuningsData", "Upload Tuning Data", true);
    menuReportUSBErrors = item(menuSettings, "menuReportUSBErrors", "Report USB Errors", true);
    menuReportUSBErrors->setCheckable(true);
    menuReportUSBErrors->setChecked(true);
    connect(menuReportUSBErrors, &QAction::triggered, this, &TformMain::menuReportUSBErrorsClick);
    menuInstrument = submenu(menuSettings, "menuInstrument", "Instrument");
    menuInstrument->setEnabled(false);
    menuGuitar = item(menuInstrument, "menuGuitar", "Guitar", true);
    menuBass = item(menuInstrument, "menuBass", "Bass", true);
    menuGuitar->setCheckable(true);
    menuBass->setCheckable(true);
    menuBypassStatus = submenu(menuSettings, "menuBypassStatus", "Bypass Status");
    menuBypassStatus->setEnabled(false);
    menuStoreBypassStatus = item(menuBypassStatus, "menuStoreBypassStatus", "Store Bypass Status", true);
    menuDoNotStoreBypassStatus = item(menuBypassStatus, "menuDoNotStoreBypassStatus", "Do Not Store Bypass Status", true);
    menuStoreBypassStatus->setCheckable(true);
    menuDoNotStoreBypassStatus->setCheckable(true);
    menuDoNotStoreBypassStatus->setChecked(true);
    connect(menuStoreBypassStatus, &QAction::triggered, this, &TformMain::menuStoreBypassStatusClick);
    connect(menuDoNotStoreBypassStatus, &QAction::triggered, this, &TformMain::menuDoNotStoreBypassStatusClick);

    menuFirmwareUpgrade = bar->addMenu(QStringLiteral("Firmware Upgrade"));
    menuFirmwareUpgradeMode = item(menuFirmwareUpgrade, "menuFirmwareUpgradeMode", "Upgrade Mode", true);
    menuStartFirmwareUpgrade = item(menuFirmwareUpgrade, "menuStartFirmwareUpgrade", "Start Firmware Upgrade", false);
    menuEraseSettings = item(menuFirmwareUpgrade, "menuEraseSettings", "Erase Settings", false);

    menuInfo = bar->addMenu(QStringLiteral("Info"));
    menuInfo->setObjectName(QStringLiteral("menuInfo"));
    connect(menuInfo, &QMenu::aboutToShow, this, &TformMain::menuInfoClick);
    menuSupport = item(menuInfo, "menuSupport", "Support", true);
    menuAppVersion = item(menuInfo, "menuAppVersion", "Editor Version: ", false);
    menuNewAppVersion = item(menuInfo, "menuNewAppVersion", "New version available:", false);
    menuUpdateNow = item(menuInfo, "menuUpdateNow", "Update Now", false);
    menuShowUpdateMsg = item(menuInfo, "menuShowUpdateMsg", "Show Update Message", true);
    menuShowUpdateMsg->setCheckable(true);
    connect(menuShowUpdateMsg, &QAction::triggered, this,
            [this](bool checked) { settings_.ShowUpdateMessageClicked(checked); });
    menuSerialNumber = item(menuInfo, "menuSerialNumber", "Device Serial: ", false);
}

// The start-up steps, in their order. A failing step is reported and the next one runs.
void TformMain::startUp()
{
    settings_.EnsureFolder(QStringLiteral("NEROV"));
    settings_.EnsureSubfolder(QStringLiteral("NEROV"), QStringLiteral("Vadrelon MK3"));
    settings_.LoadYesNoSettings();
    menuShowUpdateMsg->setChecked(settings_.ShowUpdateMessage);
    menuReportUSBErrors->setChecked(settings_.ReportUsbErrorsSetting);
    transport_.UsbErrorReporting = settings_.ReportUsbErrorsSetting;
    ScanDevicesQuietly();
    SelectLinkMode(transport_, LinkModeNormal);
    if (lblDeviceName->text().isEmpty() || lblDeviceName->text() == QLatin1String("No device found"))
        menuConnect->setEnabled(false);
    device_.FirmwareUpgradeMode = false;
    for (QPushButton *b : {btnRequest, btnAssign, btnSaveParameters, btnUpload, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(false);
    menuMIDI->setEnabled(false);
    menuUploadTuningsData->setEnabled(false);
    lstEffects->clear();
    if (LoadResourceLines(QString::fromLatin1(kCatalogueResourceName)))
        FillEffectList();
    if (lstEffects->count() > 0) {
        const Outcome<quint32> latest = LatestAlgorithmVersionFrom(lstEffects->item(0)->text());
        if (latest)
            content_.LatestAlgorithmVersion = *latest;
        else
            prompt_.message(QStringLiteral("The effect catalogue is damaged: ") + latest.error());
    }
    const QString version = QCoreApplication::applicationVersion();
    versions_.EditorVersion = version.isEmpty() ? QStringLiteral("Version info not available") : version;
    menuAppVersion->setText(menuAppVersion->text() + QLatin1Char(' ') + versions_.EditorVersion);
    BuildLookMenu();
    ApplySavedStyle();
    BuildMidiChannelMenu();
    versions_.LatestFirmwareVersion = LatestFirmwareVersion();
}

// ---- Catalogue and images ----

bool TformMain::LoadResourceLines(const QString &name)
{
    const Outcome<QStringList> lines = vadrelon::LoadResourceLines(name);
    if (!lines) {
        prompt_.message(QStringLiteral("Error loading resource: ") + lines.error());
        return false;
    }
    content_.ResourceLines = *lines;
    return true;
}

void TformMain::FillEffectList()
{
    lstEffects->addItems(content_.ResourceLines);
}

bool TformMain::GetResourceFile()
{
    const int index = lstEffects->currentRow();
    log_.ConsolePrint(QStringLiteral("efx index :%1").arg(index));
    if (index < 0)
        return false;
    content_.SelectedEffectName = lstEffects->item(index)->text();
    log_.ConsolePrint(QStringLiteral("selected effect name: ") + content_.SelectedEffectName);
    const QString name = ResourceNameFor(content_.SelectedEffectName);
    log_.ConsolePrint(QStringLiteral("resource name: ") + name);
    const Outcome<QStringList> lines = vadrelon::LoadResourceLines(name);
    if (!lines) {
        // This build may carry no product images; the shipped address header still lets the
        // effect be edited, so only a missing header too is worth a message.
        if (AddressHeaderFor(content_.SelectedEffectName, QString()).source == AddressSource::ShippedHeader) {
            log_.ConsolePrint(QStringLiteral("no image embedded for %1; parameter addresses from its shipped header").arg(name));
            return true;
        }
        prompt_.message(QStringLiteral("Error loading resource: ") + lines.error());
        return false;
    }
    content_.ResourceLines = *lines;
    log_.ConsolePrint(QStringLiteral("filecontent (first 128 bytes): ") + content_.ResourceLines.value(0).left(256));
    return true;
}

// Closing the main window ends the editor, even with the console still open.
void TformMain::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void TformMain::menuInfoClick()
{
    log_.ConsolePrint(QStringLiteral("current app version: ") + versions_.EditorVersion);
}

void TformMain::showConsole()
{
    if (console_) {
        console_->show();
        console_->raise();
    }
}

// ---- Settings: Report USB Errors, looks, MIDI channel, bypass storage ----

void TformMain::menuReportUSBErrorsClick()
{
    settings_.ReportUsbErrorsClicked(menuReportUSBErrors->isChecked());
}

void TformMain::BuildLookMenu()
{
    for (int i = 0; i <= 6; ++i) {
        QAction *a = menuLook->addAction(QString::number(i));
        connect(a, &QAction::triggered, this, [this, i] { menuLookClickItem(i); });
    }
}

void TformMain::applyLook(int index)
{
    if (const std::optional<QString> sheet = LookStyleSheet(LookName(index)))
        qApp->setStyleSheet(*sheet);
}

void TformMain::menuLookClickItem(int index)
{
    applyLook(index);
    settings_.WriteStyleIndex(index);
}

void TformMain::ApplySavedStyle()
{
    if (const std::optional<int> index = settings_.SavedStyleIndex())
        applyLook(*index);
}

void TformMain::BuildMidiChannelMenu()
{
    QStringList captions{QStringLiteral("OMNI")};
    for (int c = 1; c <= 16; ++c)
        captions << QString::number(c);
    for (const QString &caption : captions) {
        QAction *a = menuMIDIchannel->addAction(caption);
        a->setCheckable(true);
        MidiChannelItems << a;
        // A click sends the channel; the check marks follow the pedal's next status reply.
        connect(a, &QAction::triggered, this, [this, a] {
            a->setChecked(!a->isChecked());
            menuMIDIchannelsClickItem(a);
        });
    }
}

void TformMain::sendText(const QString &text)
{
    const int count = static_cast<int>(text.size() / 2);
    HexToBuffer(text, transport_.UsbTxBuffer.data(), count);
    transport_.UsbWrite(static_cast<quint32>(count));
}

void TformMain::menuMIDIchannelsClickItem(QAction *item)
{
    const QString t = item->text();
    log_.AppendLine(QStringLiteral("Midi channel: ") + t);
    const QString digits = t == QLatin1String("OMNI") ? QStringLiteral("00") : hex2(static_cast<quint32>(parseDecimal(t)));
    const QString text = QStringLiteral("07") + digits;
    log_.ConsolePrint(text);
    sendText(text);
}

void TformMain::ChangeStoreBypassStatus(bool store)
{
    const QString text = QStringLiteral("10") + (store ? QStringLiteral("01") : QStringLiteral("FF"));
    log_.ConsolePrint(text);
    sendText(text);
}

void TformMain::menuStoreBypassStatusClick()
{
    menuStoreBypassStatus->setChecked(true);
    menuDoNotStoreBypassStatus->setChecked(false);
    ChangeStoreBypassStatus(true);
}

void TformMain::menuDoNotStoreBypassStatusClick()
{
    menuStoreBypassStatus->setChecked(false);
    menuDoNotStoreBypassStatus->setChecked(true);
    ChangeStoreBypassStatus(false);
}

void TformMain::OpenEffectWindow()
{
    if (!effectWindow_)
        return;
    if (effectWindow_->isVisible())
        effectWindow_->close();
    // Against the main window's right side.
    effectWindow_->move(frameGeometry().right() + 1, frameGeometry().top());
    effectWindow_->show();
    effectWindow_->setWindowTitle(content_.SelectedEffectName);
    effectWindow_->EnableEffectControls(device_.DeviceLinked);
}

void TformMain::effetto_cliccato()
{
    if (!GetResourceFile())
        return;
    if (!device_.DeviceLinked) {
        OpenEffectWindow();
        return;
    }
    // An algorithm version that could not be read (no status reply yet) opens the window
    // rather than asking for an upload the pedal may not need.
    bool known = false;
    const int version = device_.DeviceAlgorithmVersion.toInt(&known, 10);
    if (!known || version >= static_cast<int>(content_.LatestAlgorithmVersion)) {
        OpenEffectWindow();
        return;
    }
    closeEffectWindow();
    prompt_.message(QStringLiteral("Upload the latest version of Vadrelon MK3 algorithm:\r\nUpload Vadrelon MK3 00%1")
                        .arg(content_.LatestAlgorithmVersion));
}

bool TformMain::move_up_or_down(int key)
{
    const int row = lstEffects->currentRow();
    if (key == Qt::Key_Up) {
        log_.ConsolePrint(QStringLiteral("arrow up pressed"));
        if (row > 0)
            lstEffects->setCurrentRow(row - 1);
        return true;
    }
    if (key == Qt::Key_Down) {
        log_.ConsolePrint(QStringLiteral("arrow down pressed"));
        if (row < lstEffects->count() - 1)
            lstEffects->setCurrentRow(row + 1);
        return true;
    }
    return false;
}

bool TformMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lstEffects && event->type() == QEvent::KeyPress)
        return move_up_or_down(static_cast<QKeyEvent *>(event)->key());
    return QMainWindow::eventFilter(watched, event);
}

// ---- Algorithm upload ----

void TformMain::btnUploadClick()
{
    if (refuseWhileBusy())
        return;
    Timer_USB_Read->stop();
    if (!prompt_.askYesNo(QStringLiteral("Upload the selected algorithm?"))) {
        Timer_USB_Read->start();
        return;
    }
    const QString name = ResourceNameFor(content_.SelectedEffectName);
    log_.ConsolePrint(QStringLiteral("resource name: ") + name);
    // The image is looked up before the pedal is bypassed: an upload that cannot happen must
    // not leave the pedal silent, nor report "Upload Failed" for something never sent.
    if (!LoadResourceLines(name)) {
        Timer_USB_Read->start();
        return;
    }
    effectWindow_->SendBypass(true);
    WaitMs(40);
    transport_.UsbErrorReporting = true;
    UploadCheckTimer->start();
    const QString image = content_.ResourceLines.value(0);
    const int n = static_cast<int>(std::min<qsizetype>(image.size() / 2, kUsbBufferSize));
    log_.ConsolePrint(QStringLiteral("size: %1").arg(n));
    log_.ConsolePrint(QStringLiteral("filecontent (first 128 bytes): ") + image.left(256));
    log_.ConsolePrint(QStringLiteral("num of bytes: %1").arg(HexToBuffer(image, transport_.UsbTxBuffer.data(), n)));
    std::optional<QByteArray> answer;
    {
        UsbTransport::Exchange exchange(transport_);
        transport_.UsbWrite(static_cast<quint32>(n));
        log_.ConsolePrint(QStringLiteral("write to device"));
        lblStatus->setText(QStringLiteral("Uploading..."));
        answer = exchange_.ReadUploadAnswer(kUploadAnswerBoundMs);
    }
    if (answer) {
        // The pedal answers "Upload complete" CR LF: the first 17 bytes of what it sent.
        const QString text = QString::fromLatin1(answer->left(17));
        log_.ConsolePrint(QStringLiteral("received: ") + text);
        lblStatus->setText(text);
        RequestStatus();
    } else {
        lblStatus->setText(QStringLiteral("Upload Failed"));
    }
    UploadCheckTimer->stop();
    if (device_.DeviceLinked)
        Timer_USB_Read->start();
}

void TformMain::UploadCheckTimerTimer()
{
    lblStatus->setText(QStringLiteral("Upload Failed"));
}

// ---- Assignments, footswitch, stored parameters ----

void TformMain::btnAssignClick()
{
    const TracedMessage message = effectWindow_->BuildAssignMessage();
    for (const QString &line : message.trace)
        log_.ConsolePrint(line);
    const int count = HexToBuffer(message.text, transport_.UsbTxBuffer.data(), static_cast<int>(message.text.size() / 2));
    if (!prompt_.askYesNo(QStringLiteral("Upload Assignments?")))
        return;
    transport_.UsbWrite(static_cast<quint32>(count));
    btnAssign->setEnabled(false);
    WaitMs(100);
    btnAssign->setEnabled(true);
}

void TformMain::btnSetFootswitchModeClick()
{
    const std::optional<TracedMessage> message = effectWindow_->BuildFootswitchMessage();
    if (!message)
        return;
    for (const QString &line : message->trace)
        log_.ConsolePrint(line);
    log_.ConsolePrint(message->text);
    sendText(message->text);
}

void TformMain::btnSaveParametersClick()
{
    const TracedMessage message = BuildStoredSettingsMessage(parameters_);
    for (const QString &line : message.trace)
        log_.ConsolePrint(line);
    const int count = HexToBuffer(message.text, transport_.UsbTxBuffer.data(), static_cast<int>(message.text.size() / 2));
    if (!prompt_.askYesNo(QStringLiteral("Save Parameters to pedal?")))
        return;
    transport_.UsbPurgeTx();
    transport_.UsbWrite(static_cast<quint32>(count));
    WaitMs(100);
}

// ---- Discovery and linking ----

void TformMain::ScanDevicesQuietly()
{
    transport_.GetFTDeviceCount();
    for (quint32 i = 0; i < transport_.UsbDeviceCount; ++i) {
        transport_.GetFTDeviceSerialNo(i);
        menuSerialNumber->setText(menuSerialNumber->text() + QString::fromLatin1(transport_.UsbDeviceString));
        device_.LinkSerialNumber = QString::fromLatin1(transport_.UsbDeviceString);
        transport_.GetFTDeviceDescription(i);
        lblDeviceName->setText(QString::fromLatin1(transport_.UsbDeviceString));
    }
}

void TformMain::ScanDevices()
{
    lblDeviceName->setText(QStringLiteral("Device Name"));
    transport_.GetFTDeviceCount();
    log_.ConsolePrint(QStringLiteral("FT device count: %1").arg(transport_.UsbDeviceCount));
    if (transport_.UsbDeviceCount == 0) {
        prompt_.message(QStringLiteral("No device found"));
        lblDeviceName->setText(QStringLiteral("No device found"));
        return;
    }
    const quint32 count = transport_.UsbDeviceCount;
    for (quint32 i = 0; i < count; ++i) {
        transport_.GetFTDeviceSerialNo(i);
        log_.ConsolePrint(QStringLiteral("FT_Device_String: ") + QString::fromLatin1(transport_.UsbDeviceString));
        device_.LinkSerialNumber = QString::fromLatin1(transport_.UsbDeviceString);
        transport_.GetFTDeviceDescription(i);
        const QString description = QString::fromLatin1(transport_.UsbDeviceString);
        lblDeviceName->setText(description);
        if (prompt_.askYesNo(description + QStringLiteral(" found, link the device now?")))
            Link();
        else
            menuConnect->setEnabled(true);
    }
}

bool TformMain::LinkDevice()
{
    log_.ConsolePrint(QStringLiteral("serial number: ") + device_.LinkSerialNumber);
    bootloaderAcknowledged_ = false;
    bool result = false;
    if (transport_.Open_USB_Device_By_Serial_Number(device_.LinkSerialNumber) == FT_OK) {
        lblDeviceName->setText(lblDeviceName->text() + QStringLiteral(" linked"));
        transport_.UsbSetBaudRate();
        transport_.UsbSetDataCharacteristics();
        log_.ConsolePrint(QStringLiteral("FT_HANDLE: 0x") + hex8(static_cast<quint32>(transport_.UsbHandle)));
        log_.AppendLine(QStringLiteral("baud rate = %1").arg(transport_.UsbBaudRate));
        result = true;
    }
    if (!device_.FirmwareUpgradeMode)
        return result;

    SelectLinkMode(transport_, LinkModeBootloader);
    transport_.UsbSetDataCharacteristics();
    transport_.UsbTxBuffer[0] = 0x7F;
    transport_.UsbWrite(1);
    const QString text = QString::fromLatin1(exchange_.ReadReplyText());
    log_.AppendLine(QStringLiteral("received Byte: ") + text);
    if (text == BootloaderAck) {
        bootloaderAcknowledged_ = true;
        prompt_.message(QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade"));
        menuStartFirmwareUpgrade->setEnabled(true);
        btnRequest->setEnabled(false);
        btnUpload->setEnabled(false);
    } else {
        prompt_.message(QStringLiteral("Connection to bootloader failed"));
    }
    return result;
}

void TformMain::Link()
{
    if (refuseWhileBusy())
        return;
    if (LinkDevice()) {
        device_.DeviceLinked = true;
        menuFirmwareUpgradeMode->setEnabled(true);
        menuScan->setEnabled(false);
        menuConnect->setEnabled(false);
        menuDisconnect->setEnabled(true);
        menuEraseSettings->setEnabled(true);
        EnableUSBobjects(true);
        if (bootloaderAcknowledged_) {
            btnRequest->setEnabled(false);
            btnUpload->setEnabled(false);
        }
        Timer_USB_Read->start();
    }
    if (!device_.LegacyUpgradeLink)
        RequestStatus();
}

void TformMain::Unlink()
{
    if (refuseWhileBusy())
        return;
    if (transport_.UsbClose() != FT_OK)
        return;
    enterUnlinkedState();
}

void TformMain::enterUnlinkedState()
{
    QString caption = lblDeviceName->text();
    if (caption.endsWith(QLatin1String(" linked")))
        caption.chop(7);
    lblDeviceName->setText(caption);
    menuScan->setEnabled(true);
    menuConnect->setEnabled(true);
    menuDisconnect->setEnabled(false);
    for (QPushButton *b : {btnUpload, btnRequest, btnAssign, btnSaveParameters, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(false);
    menuMIDI->setEnabled(false);
    menuUploadTuningsData->setEnabled(false);
    if (effectWindow_)
        effectWindow_->EnableEffectControls(false);
    for (QAction *a : {menuEraseSettings, menuLoadPreset, menuSavePreset, menuLoadAlgorithmFromFile})
        a->setEnabled(false);
    menuInstrument->setEnabled(false);
    device_.DeviceLinked = false;
    Timer_USB_Read->stop();
}

void TformMain::onDeviceLost()
{
    const bool wasLinked = device_.DeviceLinked;
    enterUnlinkedState();
    if (wasLinked)
        prompt_.message(QStringLiteral("The pedal is no longer connected. Plug it in again and choose Connection → Link."));
}

void TformMain::EnableUSBobjects(bool status)
{
    for (QPushButton *b : {btnUpload, btnSaveParameters, btnAssign, btnSetFootswitchMode, btnSetTuning})
        b->setEnabled(status);
    menuInstrument->setEnabled(status);
    menuBypassStatus->setEnabled(status);
    btnRequest->setEnabled(status);
    for (QAction *a : {menuLoadPreset, menuSavePreset, menuLoadAlgorithmFromFile})
        a->setEnabled(status);
    lstEffects->setEnabled(status);
    menuUploadTuningsData->setEnabled(status);
    menuMIDI->setEnabled(status);
    if (effectWindow_)
        effectWindow_->EnableEffectControls(status);
}

bool TformMain::refuseWhileBusy()
{
    if (!transport_.exchangeRunning())
        return false;
    prompt_.message(QStringLiteral("The pedal is busy with another exchange. Try again when it has finished."));
    return true;
}

// ---- Status exchange ----

void TformMain::btnRequestClick()
{
    effect_.RequestPending = true;
    RequestStatus();
}

void TformMain::closeEffectWindow()
{
    if (effectWindow_ && effectWindow_->isVisible())
        effectWindow_->close();
}

void TformMain::RequestStatus()
{
    if (refuseWhileBusy())
        return;
    UsbTransport::Exchange exchange(transport_);
    const bool wasReading = Timer_USB_Read->isActive();
    Timer_USB_Read->stop();

    const auto reply = exchange_.RequestStatusValues();
    const auto summary = std::visit(
        [](const auto &r) -> std::variant<StatusSummary, QString> {
            if constexpr (std::is_same_v<std::decay_t<decltype(r)>, QString>)
                return r;
            else
                return SummarizeStatus(r);
        },
        reply);
    if (const QString *error = std::get_if<QString>(&summary)) {
        // Nothing of a reply that cannot be trusted reaches the windows.
        log_.ConsolePrint(*error);
        prompt_.message(*error);
        if (wasReading && device_.DeviceLinked)
            Timer_USB_Read->start();
        return;
    }
    const StatusSummary &s = std::get<StatusSummary>(summary);

    device_.DeviceFirmwareVersion = s.firmwareVersion;
    lblFirmwareVersion->setText(QStringLiteral("Device Firmware: ") + s.firmwareVersion);
    log_.ConsolePrint(QStringLiteral("Firmware Version: ") + s.firmwareVersion);
    device_.DeviceAlgorithmVersion = s.algorithmVersion;
    log_.ConsolePrint(QStringLiteral("Algorithm version: ") + s.algorithmVersion);
    lblAlgorithmVersion->setText(QStringLiteral("Device Algorithm: ") + s.algorithmVersion);
    log_.ConsolePrint(QStringLiteral("Current device firmware: ") + s.firmwareVersion);
    log_.ConsolePrint(QStringLiteral("Most recent firmware: %1").arg(versions_.LatestFirmwareVersion));
    device_.DeviceEffectNumber = s.effectNumber;
    log_.ConsolePrint(QStringLiteral("Effect Number: ") + s.effectNumber);

    if (static_cast<quint32>(s.firmware) < versions_.LatestFirmwareVersion) {
        closeEffectWindow();
        prompt_.message(QStringLiteral("A firmware upgrade is required. Upgrade to Firmware %1")
                            .arg(versions_.LatestFirmwareVersion));
        QStringList lines;
        for (const char *line : kFirmwareInstructions)
            lines << QString::fromLatin1(line);
        prompt_.message(lines.join(QStringLiteral("\r\n")));
        EnableUSBobjects(false);
        return;
    }
    EnableUSBobjects(true);
    if (static_cast<quint32>(s.algorithm) < content_.LatestAlgorithmVersion) {
        closeEffectWindow();
        prompt_.message(QStringLiteral("Upload the latest version of Vadrelon MK3 algorithm:\r\nUpload Vadrelon MK3 00%1")
                            .arg(content_.LatestAlgorithmVersion));
        if (s.effectRow < lstEffects->count()) {
            lstEffects->setCurrentRow(s.effectRow);
            GetResourceFile();
        }
        return;
    }
    if (s.effectRow < lstEffects->count()) {
        lstEffects->setCurrentRow(s.effectRow);
        GetResourceFile();
    }
    OpenEffectWindow();
    effectWindow_->DecodeFootswitchMode(StatusIndex::FootswitchMode);
    effectWindow_->DecodeAssignments(StatusIndex::Assignments);
    effectWindow_->DecodeTuning(StatusIndex::Tuning);
    effectWindow_->getBypassStatus(StatusIndex::Bypass);
    DecodeBypassStorage(StatusIndex::BypassStorage);
    DecodeInstrument(StatusIndex::Instrument);
    DecodeMidiChannel(StatusIndex::MidiChannel);
    effectWindow_->DecodeParameterBlock(StatusIndex::Parameters);
    EnableUSBobjects(true);
    effect_.RequestPending = false;
    Timer_USB_Read->start();
}

void TformMain::DecodeBypassStorage(int index)
{
    const quint8 v = static_cast<quint8>(device_.StatusValues[index]);
    if (v > 1)
        return;
    menuStoreBypassStatus->setChecked(v == 1);
    menuDoNotStoreBypassStatus->setChecked(v == 0);
}

void TformMain::DecodeInstrument(int index)
{
    const quint8 v = static_cast<quint8>(device_.StatusValues[index]);
    device_.InstrumentCode = v;
    if (v == 255 || v == 186) {
        menuGuitar->setChecked(v == 255);
        menuBass->setChecked(v == 186);
    }
}

void TformMain::DecodeMidiChannel(int index)
{
    const quint8 v = static_cast<quint8>(device_.StatusValues[index]);
    for (QAction *a : MidiChannelItems)
        a->setChecked(false);
    if (v == 0 || v == 255)
        MidiChannelItems[0]->setChecked(true);
    else if (v <= 16)
        MidiChannelItems[v]->setChecked(true);
    log_.ConsolePrint(QStringLiteral("MIDI channel: %1").arg(v));
}

void TformMain::Timer_USB_ReadTimer()
{
    // An exchange in progress owns the pedal's answer; the next tick drains what is left.
    if (transport_.exchangeRunning())
        return;
    exchange_.PollIncoming();
}

} // namespace vadrelon
