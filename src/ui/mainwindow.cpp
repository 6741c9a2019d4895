#include "ui/mainwindow.h"

#include "content/addressheader.h"
#include "content/contentstate.h"
#include "content/firmwaretable.h"
#include "content/resources.h"
#include "device/hexcodec.h"
#include "device/jobs.h"
#include "effect/pedalstatus.h"
#include "support/consolelog.h"
#include "support/looks.h"
#include "support/prompt.h"
#include "support/settings.h"
#include "ui/consolewindow.h"
#include "ui/effectwindow.h"
#include "ui/wrapbutton.h"

#include <QApplication>
#include <QKeyEvent>
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
constexpr int kCommandPauseMs = 100; // the pedal's time to take in an assignment or stored settings

QString withoutLinked(QString caption)
{
    if (caption.endsWith(QLatin1String(" linked")))
        caption.chop(7);
    return caption;
}

} // namespace

MainWindow::MainWindow(PedalLink &link, DeviceState &device, ContentState &content, ParameterSet &parameters,
                       EffectState &effect, ConsoleLog &log, SettingsStore &settings, Prompt &prompt)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      link_(link), device_(device), content_(content), parameters_(parameters), effect_(effect), log_(log),
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
    connect(console, &QShortcut::activated, this, [this] {
        if (console_) {
            console_->show();
            console_->raise();
        }
    });
    connect(&link_, &PedalLink::stateChanged, this, &MainWindow::onStateChanged);
    connect(&link_, &PedalLink::busyChanged, this, &MainWindow::updateCommands);
    connect(&link_, &PedalLink::failed, this, [this](const Error &error) {
        // Outside a command the user asked for, a driver's complaint is shown only when the
        // user wants to see them; a lost pedal always is.
        if (error.code == ErrorCode::Transport && !reportUsbErrors_->isChecked())
            log_.ConsolePrint(errorText(error));
        else
            showError(error);
    });
    startUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::attachWindows(ConsoleWindow *console, EffectWindow *effect)
{
    console_ = console;
    effectWindow_ = effect;
}

void MainWindow::buildControls()
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
        b->setEnabled(false);
        place(b, x, y, w, h);
        return b;
    };
    deviceName_ = label("lblDeviceName", "No device found", 9, 32, 174, 17);
    firmwareVersion_ = label("lblFirmwareVersion", "Device Firmware:", 9, 48, 174, 20);
    firmwareVersion_->setToolTip(QStringLiteral("Shows which firmware is currently installed on the pedal"));
    algorithmVersion_ = label("lblAlgorithmVersion", "Device Algorithm:", 9, 66, 174, 17);
    status_ = label("lblStatus", "Status: ", 9, 84, 174, 17);
    upload_ = button("btnUpload", "Upload Selected", true, 9, 103, 80, 33);
    request_ = button("btnRequest", "Request", false, 97, 103, 86, 33);
    saveParameters_ = button("btnSaveParameters", "Save Parameters", true, 8, 144, 81, 33);
    assign_ = button("btnAssign", "Assign", false, 97, 144, 86, 33);
    footswitchMode_ = button("btnSetFootswitchMode", "Set Footswitch Mode", true, 9, 185, 80, 31);
    QPushButton *setTuning = button("btnSetTuning", "Set Tuning", false, 97, 185, 86, 31);
    QFont smaller = font();
    smaller.setPixelSize(11);
    footswitchMode_->setFont(smaller);
    setTuning->setFont(smaller);
    connect(request_, &QPushButton::clicked, this, &MainWindow::onRequestClicked);
    connect(upload_, &QPushButton::clicked, this, &MainWindow::onUploadClicked);
    connect(assign_, &QPushButton::clicked, this, &MainWindow::onAssignClicked);
    connect(footswitchMode_, &QPushButton::clicked, this, &MainWindow::onFootswitchModeClicked);
    connect(saveParameters_, &QPushButton::clicked, this, &MainWindow::onSaveParametersClicked);

    effects_ = new QListWidget(client);
    effects_->setObjectName(QStringLiteral("lstEffects"));
    place(effects_, 191, 32, 154, 168);
    connect(effects_, &QListWidget::itemClicked, this, &MainWindow::onEffectClicked);
    effects_->installEventFilter(this);

    // While an upload waits, the status says so every five seconds.
    uploadCheckTimer_ = new QTimer(this);
    uploadCheckTimer_->setObjectName(QStringLiteral("UploadCheckTimer"));
    uploadCheckTimer_->setInterval(5000);
    connect(uploadCheckTimer_, &QTimer::timeout, this, [this] { status_->setText(QStringLiteral("Upload Failed")); });
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar1"));
    const auto menu = [](auto *parent, const char *name, const char *caption) {
        QMenu *m = parent->addMenu(QString::fromLatin1(caption));
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    // Commands that are not built yet stay disabled rather than do nothing.
    const auto item = [](QMenu *parent, const char *name, const char *caption, bool enabled = true) {
        QAction *a = parent->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };

    QMenu *file = menu(bar, "menuFile", "File");
    item(file, "menuLoadPreset", "Load Preset", false);
    item(file, "menuSavePreset", "Save Preset", false);
    item(file, "menuLoadAlgorithmFromFile", "Load Effect From File", false);

    QMenu *connection = menu(bar, "menuConnection", "Connection");
    scan_ = item(connection, "menuScan", "Scan");
    connect_ = item(connection, "menuConnect", "Link");
    disconnect_ = item(connection, "menuDisconnect", "Unlink", false);
    connect(scan_, &QAction::triggered, this, &MainWindow::onScanTriggered);
    connect(connect_, &QAction::triggered, this, &MainWindow::onLinkTriggered);
    connect(disconnect_, &QAction::triggered, &link_, &PedalLink::unlink);

    QMenu *settings = menu(bar, "menuSettings", "Settings");
    QMenu *look = menu(settings, "menuLook", "Look");
    for (int i = 0; i <= 6; ++i)
        connect(look->addAction(QString::number(i)), &QAction::triggered, this, [this, i] { onLookTriggered(i); });
    midi_ = menu(settings, "menuMIDI", "MIDI");
    midi_->setEnabled(false);
    QMenu *channels = menu(midi_, "menuMIDIchannel", "Channel");
    for (int c = 0; c <= 16; ++c) {
        QAction *a = channels->addAction(c == 0 ? QStringLiteral("OMNI") : QString::number(c));
        a->setCheckable(true);
        midiChannels_ << a;
        // A click sends the channel; the check marks follow the pedal's next status reply.
        connect(a, &QAction::triggered, this, [this, a] {
            a->setChecked(!a->isChecked());
            onMidiChannelTriggered(a);
        });
    }
    item(settings, "menuUploadTuningsData", "Upload Tuning Data", false);
    reportUsbErrors_ = item(settings, "menuReportUSBErrors", "Report USB Errors");
    reportUsbErrors_->setCheckable(true);
    connect(reportUsbErrors_, &QAction::triggered, this,
            [this](bool checked) { settings_.ReportUsbErrorsClicked(checked); });
    instrument_ = menu(settings, "menuInstrument", "Instrument");
    instrument_->setEnabled(false);
    guitar_ = item(instrument_, "menuGuitar", "Guitar", false);
    bass_ = item(instrument_, "menuBass", "Bass", false);
    guitar_->setCheckable(true);
    bass_->setCheckable(true);
    bypassStorage_ = menu(settings, "menuBypassStatus", "Bypass Status");
    bypassStorage_->setEnabled(false);
    storeBypass_ = item(bypassStorage_, "menuStoreBypassStatus", "Store Bypass Status");
    doNotStoreBypass_ = item(bypassStorage_, "menuDoNotStoreBypassStatus", "Do Not Store Bypass Status");
    storeBypass_->setCheckable(true);
    doNotStoreBypass_->setCheckable(true);
    doNotStoreBypass_->setChecked(true);
    connect(storeBypass_, &QAction::triggered, this, [this] { onBypassStorageTriggered(true); });
    connect(doNotStoreBypass_, &QAction::triggered, this, [this] { onBypassStorageTriggered(false); });

    QMenu *firmware = menu(bar, "menuFirmwareUpgrade", "Firmware Upgrade");
    item(firmware, "menuFirmwareUpgradeMode", "Upgrade Mode", false);
    item(firmware, "menuStartFirmwareUpgrade", "Start Firmware Upgrade", false);
    item(firmware, "menuEraseSettings", "Erase Settings", false);

    QMenu *info = menu(bar, "menuInfo", "Info");
    connect(info, &QMenu::aboutToShow, this,
            [this] { log_.ConsolePrint(QStringLiteral("current app version: ") + editorVersion_); });
    item(info, "menuSupport", "Support", false);
    item(info, "menuAppVersion", "Editor Version: ", false);
    item(info, "menuNewAppVersion", "New version available:", false);
    item(info, "menuUpdateNow", "Update Now", false);
    QAction *showUpdate = item(info, "menuShowUpdateMsg", "Show Update Message");
    showUpdate->setCheckable(true);
    connect(showUpdate, &QAction::triggered, this, [this](bool checked) { settings_.ShowUpdateMessageClicked(checked); });
    serialNumbers_ = item(info, "menuSerialNumber", "Device Serial: ", false);
}

// The start-up steps, in their order. A failing step is reported and the next one runs.
void MainWindow::startUp()
{
    settings_.EnsureFolder(QStringLiteral("NEROV"));
    settings_.EnsureSubfolder(QStringLiteral("NEROV"), QStringLiteral("Vadrelon MK3"));
    settings_.LoadYesNoSettings();
    findChild<QAction *>(QStringLiteral("menuShowUpdateMsg"))->setChecked(settings_.ShowUpdateMessage);
    reportUsbErrors_->setChecked(settings_.ReportUsbErrorsSetting);
    scanQuietly();
    connect_->setEnabled(!device_.LinkSerialNumber.isEmpty());
    device_.FirmwareUpgradeMode = false;
    const Outcome<QStringList> catalogue = LoadResourceLines(QString::fromLatin1(kCatalogueResourceName));
    if (catalogue) {
        content_.ResourceLines = *catalogue;
        effects_->addItems(*catalogue);
    } else {
        prompt_.message(QStringLiteral("Error loading resource: ") + catalogue.error());
    }
    if (effects_->count() > 0) {
        const Outcome<quint32> latest = LatestAlgorithmVersionFrom(effects_->item(0)->text());
        if (latest)
            content_.LatestAlgorithmVersion = *latest;
        else
            prompt_.message(QStringLiteral("The effect catalogue is damaged: ") + latest.error());
    }
    const QString version = QCoreApplication::applicationVersion();
    editorVersion_ = version.isEmpty() ? QStringLiteral("Version info not available") : version;
    auto *versionItem = findChild<QAction *>(QStringLiteral("menuAppVersion"));
    versionItem->setText(versionItem->text() + QLatin1Char(' ') + editorVersion_);
    if (const std::optional<int> index = settings_.SavedStyleIndex())
        applyLook(*index);
    latestFirmware_ = LatestFirmwareVersion();
}

void MainWindow::scanQuietly()
{
    const Result<QList<PedalLink::Device>> devices = link_.listDevices();
    if (const auto *list = std::get_if<QList<PedalLink::Device>>(&devices)) {
        for (const PedalLink::Device &d : *list) {
            serialNumbers_->setText(serialNumbers_->text() + d.serialNumber);
            device_.LinkSerialNumber = d.serialNumber;
            deviceName_->setText(d.description);
        }
    }
}

// ---- Linking ----

void MainWindow::onScanTriggered()
{
    deviceName_->setText(QStringLiteral("Device Name"));
    const Result<QList<PedalLink::Device>> found = link_.listDevices();
    const QList<PedalLink::Device> devices = std::holds_alternative<Error>(found)
                                                 ? QList<PedalLink::Device>()
                                                 : std::get<QList<PedalLink::Device>>(found);
    log_.ConsolePrint(QStringLiteral("FT device count: %1").arg(devices.size()));
    if (devices.isEmpty()) {
        prompt_.message(QStringLiteral("No device found"));
        deviceName_->setText(QStringLiteral("No device found"));
        return;
    }
    for (const PedalLink::Device &d : devices) {
        log_.ConsolePrint(QStringLiteral("FT_Device_String: ") + d.serialNumber);
        device_.LinkSerialNumber = d.serialNumber;
        deviceName_->setText(d.description);
        // One pedal at a time: the first Yes links it and ends the scan.
        if (prompt_.askYesNo(d.description + QStringLiteral(" found, link the device now?"))) {
            onLinkTriggered();
            return;
        }
        connect_->setEnabled(true);
    }
}

void MainWindow::onLinkTriggered()
{
    const bool greet = device_.FirmwareUpgradeMode;
    auto job = std::make_unique<OpenJob>(device_.LinkSerialNumber, greet);
    OpenJob *open = job.get();
    job->whenFinished([this, open, greet](const std::optional<Error> &error) {
        if (error) {
            showError(*error); // one message, and no exchange follows a failed open
            return;
        }
        commandsAllowed_ = true;
        updateCommands();
        if (greet) {
            // A bootloader does not know the status request: nothing is asked of it.
            prompt_.message(open->bootloaderAnswered()
                                ? QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade")
                                : QStringLiteral("Connection to bootloader failed"));
            return;
        }
        if (!device_.LegacyUpgradeLink)
            requestStatus();
    });
    start(std::move(job));
}

void MainWindow::onStateChanged(LinkState state)
{
    const QString caption = withoutLinked(deviceName_->text());
    deviceName_->setText(state == LinkState::Unlinked ? caption : caption + QStringLiteral(" linked"));
    if (state == LinkState::Unlinked)
        uploadCheckTimer_->stop();
    updateCommands();
}

// Which commands make sense follows from the link alone: linked or not, busy or not, and
// whether the pedal's firmware is recent enough to talk to.
void MainWindow::updateCommands()
{
    const bool linked = link_.isLinked();
    const bool idle = !link_.busy();
    const bool on = linked && idle && commandsAllowed_;
    for (QPushButton *b : {saveParameters_, assign_, footswitchMode_})
        b->setEnabled(on);
    const bool firmware = on && link_.state() == LinkState::Linked;
    upload_->setEnabled(firmware);
    request_->setEnabled(firmware);
    for (QMenu *m : {instrument_, bypassStorage_, midi_})
        m->setEnabled(on);
    effects_->setEnabled(idle && (!linked || commandsAllowed_));
    scan_->setEnabled(!linked && idle);
    connect_->setEnabled(!linked && idle && !device_.LinkSerialNumber.isEmpty());
    disconnect_->setEnabled(linked && idle);
    if (effectWindow_)
        effectWindow_->setLinked(linked && commandsAllowed_);
}

bool MainWindow::start(std::unique_ptr<Job> job)
{
    if (link_.run(std::move(job)))
        return true;
    showError(Error{link_.busy() ? ErrorCode::Busy : ErrorCode::NotLinked, {}});
    return false;
}

void MainWindow::showError(const Error &error)
{
    const QString text = errorText(error);
    log_.ConsolePrint(text);
    prompt_.message(text);
}

// ---- Status exchange ----

void MainWindow::onRequestClicked() { requestStatus(); }

void MainWindow::requestStatus()
{
    auto job = std::make_unique<StatusJob>();
    StatusJob *status = job.get();
    job->whenFinished([this, status](const std::optional<Error> &error) {
        if (error)
            showError(*error); // nothing of a reply that cannot be trusted reaches the windows
        else
            applyStatus(status->values());
    });
    start(std::move(job));
}

void MainWindow::applyStatus(const QByteArray &values)
{
    const Result<StatusSummary> summary = SummarizeStatus(values, effects_->count());
    if (const Error *error = std::get_if<Error>(&summary)) {
        showError(*error);
        return;
    }
    const StatusSummary &s = std::get<StatusSummary>(summary);
    QStringList trace;
    const VersionVerdict verdict = JudgeVersions(s, latestFirmware_, content_.LatestAlgorithmVersion, device_, trace);
    device_.StatusValues = values;
    firmwareVersion_->setText(QStringLiteral("Device Firmware: ") + s.firmwareVersion);
    algorithmVersion_->setText(QStringLiteral("Device Algorithm: ") + s.algorithmVersion);
    log_.ConsolePrintLines(trace);
    commandsAllowed_ = verdict != VersionVerdict::FirmwareOutdated;
    updateCommands();
    if (verdict == VersionVerdict::FirmwareOutdated) {
        closeEffectWindow();
        for (const QString &message : FirmwareUpgradeMessages(latestFirmware_))
            prompt_.message(message);
        return;
    }
    if (verdict == VersionVerdict::AlgorithmOutdated) {
        closeEffectWindow();
        prompt_.message(AlgorithmUploadMessage(content_.LatestAlgorithmVersion));
        effects_->setCurrentRow(s.effectRow);
        loadSelectedEffect();
        return;
    }
    effects_->setCurrentRow(s.effectRow);
    loadSelectedEffect();
    openEffectWindow();
    const StatusView view = ApplyStatus(values, device_, effect_, parameters_);
    log_.ConsolePrintLines(view.trace);
    effectWindow_->render(view);
    if (view.storeBypass) {
        storeBypass_->setChecked(*view.storeBypass);
        doNotStoreBypass_->setChecked(!*view.storeBypass);
    }
    if (view.guitar) {
        guitar_->setChecked(*view.guitar);
        bass_->setChecked(!*view.guitar);
    }
    for (QAction *a : midiChannels_)
        a->setChecked(false);
    if (view.midiChannelItem)
        midiChannels_[*view.midiChannelItem]->setChecked(true);
}

// ---- Effects ----

bool MainWindow::loadSelectedEffect()
{
    const int index = effects_->currentRow();
    log_.ConsolePrint(QStringLiteral("efx index :%1").arg(index));
    if (index < 0)
        return false;
    content_.SelectedEffectName = effects_->item(index)->text();
    log_.ConsolePrint(QStringLiteral("selected effect name: ") + content_.SelectedEffectName);
    const QString name = ResourceNameFor(content_.SelectedEffectName);
    log_.ConsolePrint(QStringLiteral("resource name: ") + name);
    const Outcome<QStringList> lines = LoadResourceLines(name);
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

void MainWindow::openEffectWindow()
{
    if (!effectWindow_)
        return;
    if (effectWindow_->isVisible())
        effectWindow_->close();
    // Against the main window's right side.
    effectWindow_->move(frameGeometry().right() + 1, frameGeometry().top());
    effectWindow_->show();
    effectWindow_->setWindowTitle(content_.SelectedEffectName);
    updateCommands();
}

void MainWindow::closeEffectWindow()
{
    if (effectWindow_ && effectWindow_->isVisible())
        effectWindow_->close();
}

void MainWindow::onEffectClicked()
{
    if (!loadSelectedEffect())
        return;
    // An algorithm version that could not be read (no status reply yet) opens the window
    // rather than asking for an upload the pedal may not need.
    bool known = false;
    const int version = device_.DeviceAlgorithmVersion.toInt(&known, 10);
    if (!link_.isLinked() || !known || version >= static_cast<int>(content_.LatestAlgorithmVersion)) {
        openEffectWindow();
        return;
    }
    closeEffectWindow();
    prompt_.message(AlgorithmUploadMessage(content_.LatestAlgorithmVersion));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != effects_ || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    // The arrows move the selection without loading the effect; a click loads it.
    const int key = static_cast<QKeyEvent *>(event)->key();
    const int row = effects_->currentRow();
    if (key == Qt::Key_Up) {
        log_.ConsolePrint(QStringLiteral("arrow up pressed"));
        if (row > 0)
            effects_->setCurrentRow(row - 1);
        return true;
    }
    if (key == Qt::Key_Down) {
        log_.ConsolePrint(QStringLiteral("arrow down pressed"));
        if (row < effects_->count() - 1)
            effects_->setCurrentRow(row + 1);
        return true;
    }
    return false;
}

// ---- Commands: upload, assignments, footswitch, stored parameters, options ----

void MainWindow::onUploadClicked()
{
    if (!prompt_.askYesNo(QStringLiteral("Upload the selected algorithm?")))
        return;
    const QString name = ResourceNameFor(content_.SelectedEffectName);
    log_.ConsolePrint(QStringLiteral("resource name: ") + name);
    // The image is looked up before the pedal is bypassed: an upload that cannot happen must
    // not leave the pedal silent, nor report "Upload Failed" for something never sent.
    const Outcome<QStringList> image = LoadResourceLines(name);
    if (!image) {
        prompt_.message(QStringLiteral("Error loading resource: ") + image.error());
        return;
    }
    content_.ResourceLines = *image;
    auto job = std::make_unique<UploadJob>(image->value(0));
    UploadJob *upload = job.get();
    job->whenFinished([this, upload](const std::optional<Error> &error) {
        uploadCheckTimer_->stop();
        if (error) {
            status_->setText(QStringLiteral("Upload Failed"));
            showError(*error);
            return;
        }
        status_->setText(upload->answer());
        requestStatus();
    });
    if (start(std::move(job))) {
        uploadCheckTimer_->start();
        status_->setText(QStringLiteral("Uploading..."));
    }
}

// The question comes first and the message is built after it, so that nothing that happens
// while the question is open can change what the pedal receives.
void MainWindow::onAssignClicked()
{
    if (!prompt_.askYesNo(QStringLiteral("Upload Assignments?")))
        return;
    const TracedMessage message = effectWindow_->assignMessage();
    log_.ConsolePrintLines(message.trace);
    sendCommand(message.text, kCommandPauseMs);
}

void MainWindow::onFootswitchModeClicked()
{
    const std::optional<TracedMessage> message = effectWindow_->footswitchMessage();
    if (!message)
        return;
    log_.ConsolePrintLines(message->trace);
    log_.ConsolePrint(message->text);
    sendCommand(message->text);
}

void MainWindow::onSaveParametersClicked()
{
    if (!prompt_.askYesNo(QStringLiteral("Save Parameters to pedal?")))
        return;
    const TracedMessage message = BuildStoredSettingsMessage(parameters_);
    log_.ConsolePrintLines(message.trace);
    sendCommand(message.text, kCommandPauseMs, true);
}

void MainWindow::onMidiChannelTriggered(QAction *item)
{
    const QString t = item->text();
    log_.AppendLine(QStringLiteral("Midi channel: ") + t);
    const QString text = QStringLiteral("07") +
                         (t == QLatin1String("OMNI") ? QStringLiteral("00") : hex2(static_cast<quint32>(parseDecimal(t))));
    log_.ConsolePrint(text);
    sendCommand(text);
}

void MainWindow::onBypassStorageTriggered(bool store)
{
    storeBypass_->setChecked(store);
    doNotStoreBypass_->setChecked(!store);
    const QString text = QStringLiteral("10") + (store ? QStringLiteral("01") : QStringLiteral("FF"));
    log_.ConsolePrint(text);
    sendCommand(text);
}

void MainWindow::sendCommand(const QString &text, int pauseMs, bool purgeFirst)
{
    start(std::make_unique<SendJob>(HexToBytes(text), pauseMs, purgeFirst));
}

// ---- Looks, closing ----

void MainWindow::applyLook(int index)
{
    if (const std::optional<QString> sheet = LookStyleSheet(LookName(index)))
        qApp->setStyleSheet(*sheet);
}

void MainWindow::onLookTriggered(int index)
{
    applyLook(index);
    settings_.WriteStyleIndex(index);
}

// Closing the main window ends the editor, even with the console still open.
void MainWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

} // namespace vadrelon
