#include "ui/mainwindow.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/prompt.h"
#include "base/safefile.h"
#include "content/algorithmimage.h"
#include "content/contentstate.h"
#include "content/firmwaretable.h"
#include "content/options.h"
#include "content/preset.h"
#include "content/resources.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "device/jobs.h"
#include "effect/dialmapping.h"
#include "effect/messages.h"
#include "effect/pedalstatus.h"
#include "firmware/bootloader.h"
#include "firmware/upgradejob.h"
#include "session/pedalsession.h"
#include "support/looks.h"
#include "support/settings.h"
#include "ui/consolewindow.h"
#include "ui/devicecommands.h"
#include "ui/effectlist.h"
#include "ui/effectwindow.h"
#include "ui/firmwarewindow.h"
#include "ui/librarywindow.h"
#include "ui/presetactions.h"
#include "ui/sidewindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace vadrelon {

namespace {

QString withoutLinked(QString caption)
{
    if (caption.endsWith(QLatin1String(" linked")))
        caption.chop(7);
    return caption;
}

} // namespace

MainWindow::MainWindow(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      session_(session), link_(session.link()), device_(session.device), content_(session.content),
      parameters_(session.parameters), effect_(session.effect), log_(session.log()), settings_(settings),
      prompt_(prompt), windows_(windows)
{
    ui_.setupUi(this);
    commands_ = new DeviceCommands(
        session, settings, prompt, windows, ui_, [this](std::function<void()> then) { return statusHandler(then); },
        this);
    presets_ = new PresetActions(
        session, settings, prompt, windows, [this](std::function<void()> then) { requestStatus(std::move(then)); },
        this);
    connect(presets_, &PresetActions::happened, this, &MainWindow::say);
    connect(commands_, &DeviceCommands::happened, this, &MainWindow::say);
    wire();
    startUp();
    updateCommands();
}

MainWindow::~MainWindow() = default;

EffectWindow &MainWindow::effectWindow()
{
    const bool fresh = !windows_.builtEffect();
    EffectWindow &window = windows_.effect();
    if (fresh) {
        window.addAction(ui_.presetLibrary); // the library from the window a player works in
        updateCommands();
    }
    return window;
}

FirmwareWindow &MainWindow::firmwareWindow()
{
    if (FirmwareWindow *built = windows_.builtFirmware())
        return *built;
    FirmwareWindow &window = windows_.firmware();
    connect(&window, &FirmwareWindow::runningChanged, this, &MainWindow::updateCommands);
    connect(&window, &FirmwareWindow::upgraded, this, [this] {
        // The new firmware runs: the link talks to it again, and reads what it holds.
        device_.firmwareUpgradeMode = false;
        device_.legacyUpgradeLink = false;
        ui_.upgradeMode->setChecked(false);
        say(QStringLiteral("firmware upgraded"));
        requestStatus();
    });
    return window;
}

void MainWindow::wire()
{
    connect(ui_.request, &QPushButton::clicked, this, &MainWindow::onRequestClicked);
    connect(ui_.effects, &QListWidget::itemClicked, this, &MainWindow::onEffectClicked);
    connect(ui_.effects, &EffectList::arrowPressed, this, [this](const QString &trace) { log_.print(trace); });
    connect(ui_.scan, &QAction::triggered, this, &MainWindow::onScanTriggered);
    connect(ui_.connect, &QAction::triggered, this, &MainWindow::onLinkTriggered);
    connect(ui_.disconnect, &QAction::triggered, &link_, &PedalLink::unlink);
    for (int i = 0; i < ui_.looks.size(); ++i)
        connect(ui_.looks[i], &QAction::triggered, this, [this, i] { onLookTriggered(i); });
    connect(ui_.savePreset, &QAction::triggered, presets_, &PresetActions::save);
    connect(ui_.upgradeMode, &QAction::triggered, this, &MainWindow::onUpgradeModeTriggered);
    connect(ui_.startFirmwareUpgrade, &QAction::triggered, this, &MainWindow::onStartFirmwareUpgradeTriggered);
    connect(ui_.loadPreset, &QAction::triggered, presets_, &PresetActions::load);
    connect(ui_.presetLibrary, &QAction::triggered, this, &MainWindow::openLibrary);
    connect(ui_.reportUsbErrors, &QAction::triggered, this,
            [this](bool on) { report(settings_.reportUsbErrorsClicked(on)); });
    connect(ui_.showUpdateMessage, &QAction::triggered, this,
            [this](bool on) { report(settings_.showUpdateMessageClicked(on)); });
    connect(ui_.info, &QMenu::aboutToShow, this,
            [this] { log_.print(QStringLiteral("current app version: ") + editorVersion_); });

    auto *console = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this);
    console->setContext(Qt::WindowShortcut);
    connect(console, &QShortcut::activated, this, [this] {
        windows_.console().show();
        windows_.console().raise();
    });
    connect(&link_, &PedalLink::stateChanged, this, &MainWindow::onStateChanged);
    connect(&link_, &PedalLink::busyChanged, this, &MainWindow::updateCommands);
    connect(&link_, &PedalLink::failed, this, [this](const Error &error) {
        // Outside a command the user asked for, a driver's complaint is shown only when the
        // user wants to see them; a lost pedal always is.
        if (error.code == ErrorCode::Transport && !ui_.reportUsbErrors->isChecked())
            log_.print(errorText(error));
        else
            showError(error);
    });
}

// The start-up steps, in their order. A failing step is reported and the next one runs.
void MainWindow::startUp()
{
    report(settings_.ensureFolder(QStringLiteral("NEROV")));
    report(settings_.ensureSubfolder(QStringLiteral("NEROV"), QStringLiteral("Vadrelon MK3")));
    for (const Error &error : settings_.loadYesNoSettings())
        showError(error);
    ui_.showUpdateMessage->setChecked(settings_.showUpdateMessage);
    ui_.reportUsbErrors->setChecked(settings_.reportUsbErrorsSetting);
    scanQuietly();
    ui_.connect->setEnabled(!device_.linkSerialNumber.isEmpty());
    // The line is short: it says where to go, and its tooltip says the rest.
    say(device_.linkSerialNumber.isEmpty() ? QStringLiteral("no pedal found") : QStringLiteral("Connection → Link"));
    ui_.status->setToolTip(device_.linkSerialNumber.isEmpty()
                               ? QStringLiteral("Plug the pedal in, then choose Connection → Scan")
                               : QStringLiteral("A pedal is plugged in: choose Connection → Link to link it"));
    device_.firmwareUpgradeMode = false;
    report(session_.loadCatalogue());
    ui_.effects->addItems(session_.catalogue);
    const QString version = QCoreApplication::applicationVersion();
    editorVersion_ = version.isEmpty() ? QStringLiteral("Version info not available") : version;
    ui_.appVersion->setText(ui_.appVersion->text() + QLatin1Char(' ') + editorVersion_);
    const Result<int> index = settings_.savedStyleIndex();
    if (const Error *error = std::get_if<Error>(&index))
        showError(*error);
    else
        applyLook(std::get<int>(index));
    latestFirmware_ = latestFirmwareVersion();
}

void MainWindow::scanQuietly()
{
    for (const PedalLink::Device &d : link_.listDevices()) {
        ui_.serialNumbers->setText(ui_.serialNumbers->text() + d.serialNumber);
        device_.linkSerialNumber = d.serialNumber;
        ui_.deviceName->setText(d.description);
    }
}

// ---- Linking ----

void MainWindow::onScanTriggered()
{
    ui_.deviceName->setText(QStringLiteral("Device Name"));
    const QList<PedalLink::Device> devices = link_.listDevices();
    log_.print(QStringLiteral("FT device count: %1").arg(devices.size()));
    if (devices.isEmpty()) {
        prompt_.message(QStringLiteral("No device found"));
        ui_.deviceName->setText(QStringLiteral("No device found"));
        return;
    }
    for (const PedalLink::Device &d : devices) {
        log_.print(QStringLiteral("FT_Device_String: ") + d.serialNumber);
        device_.linkSerialNumber = d.serialNumber;
        ui_.deviceName->setText(d.description);
        // One pedal at a time: the first Yes links it and ends the scan.
        if (prompt_.askYesNo(d.description + QStringLiteral(" found, link the device now?"))) {
            onLinkTriggered();
            return;
        }
        ui_.connect->setEnabled(true);
    }
}

void MainWindow::onLinkTriggered()
{
    const bool greet = device_.firmwareUpgradeMode;
    auto job = std::make_unique<OpenJob>(device_.linkSerialNumber, greet);
    OpenJob *open = job.get();
    run(std::move(job), [this, open, greet](const std::optional<Error> &error) {
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
        if (!device_.legacyUpgradeLink)
            session_.findFirmwareOrBootloader(
                this, [this](const Result<PedalSession::Found> &found) { onPedalFound(found); });
    });
}

// A pedal found waiting in its bootloader, where an upgrade that stopped half-way leaves it, is
// told how to finish the upgrade instead of being told the pedal is silent or garbled.
void MainWindow::onPedalFound(const Result<PedalSession::Found> &found)
{
    if (const Error *error = std::get_if<Error>(&found)) {
        showError(*error);
        return;
    }
    const PedalSession::Found &pedal = std::get<PedalSession::Found>(found);
    if (!pedal.inBootloader) {
        statusHandler([this] { say(QStringLiteral("settings read")); })(pedal.status);
        return;
    }
    device_.firmwareUpgradeMode = true;
    ui_.upgradeMode->setChecked(true);
    prompt_.message(QStringLiteral("The pedal is waiting in its bootloader, without working firmware. Choose "
                                   "Firmware Upgrade → Start Firmware Upgrade to install its firmware."));
}

void MainWindow::onStateChanged(LinkState state)
{
    const QString caption = withoutLinked(ui_.deviceName->text());
    ui_.deviceName->setText(state == LinkState::Unlinked ? caption : caption + QStringLiteral(" linked"));
    if (state == LinkState::Unlinked)
        commands_->linkEnded();
    say(state == LinkState::Unlinked     ? QStringLiteral("not linked")
        : state == LinkState::Bootloader ? QStringLiteral("in its bootloader")
                                         : QStringLiteral("linked"));
    device_.settingsRead = false;
    updateCommands();
}

// The status line says what just happened, in a few words after its caption.
void MainWindow::say(const QString &what)
{
    ui_.status->setText(QStringLiteral("Status: ") + what);
}

// Which commands make sense follows from the link alone: linked or not, busy or not, and
// whether the pedal's firmware is recent enough to talk to.
void MainWindow::updateCommands()
{
    const bool linked = link_.isLinked();
    const bool idle = !link_.busy();
    // Only the running firmware understands the device commands; its bootloader knows nothing
    // but the upgrade.
    const bool firmware = link_.state() == LinkState::Linked;
    const bool on = firmware && idle && commandsAllowed_;
    for (QPushButton *b : {ui_.upload, ui_.request, ui_.saveParameters, ui_.assign, ui_.footswitchMode, ui_.setTuning})
        b->setEnabled(on);
    for (QMenu *m : {ui_.instrument, ui_.bypassStorage, ui_.midi})
        m->setEnabled(on);
    for (QAction *a : {ui_.loadPreset, ui_.savePreset, ui_.loadAlgorithmFromFile, ui_.uploadTuningData,
                       ui_.trackingLimitOn, ui_.trackingLimitOff, ui_.eraseSettings})
        a->setEnabled(on);
    const bool upgrading = windows_.builtFirmware() && windows_.builtFirmware()->isRunning();
    ui_.startFirmwareUpgrade->setEnabled(idle && link_.state() == LinkState::Bootloader);
    ui_.upgradeMode->setEnabled(idle && !upgrading);
    ui_.effects->setEnabled(idle && (!linked || commandsAllowed_));
    ui_.scan->setEnabled(!linked && idle);
    ui_.connect->setEnabled(!linked && idle && !device_.linkSerialNumber.isEmpty());
    ui_.disconnect->setEnabled(linked && idle);
    windows_.history().setAvailable(on);
    if (EffectWindow *effect = windows_.builtEffect())
        effect->setLinked(firmware && commandsAllowed_);
}

void MainWindow::run(std::unique_ptr<Job> job, PedalSession::Done done)
{
    session_.run(std::move(job), this, std::move(done));
}

PedalSession::Done MainWindow::shownIfFailed(std::function<void()> then)
{
    return [this, then = std::move(then)](const std::optional<Error> &error) {
        if (error)
            showError(*error);
        else if (then)
            then();
    };
}

void MainWindow::report(const std::optional<Error> &error)
{
    if (error)
        showError(*error);
}

void MainWindow::showError(const Error &error)
{
    const QString text = errorText(error);
    log_.print(text);
    prompt_.message(text);
}

// ---- Status exchange ----

// An upload's answer stays on the status line through the read that follows it; a read the
// player asked for says so.
void MainWindow::onRequestClicked()
{
    requestStatus([this] { say(QStringLiteral("settings read")); });
}

void MainWindow::requestStatus(std::function<void()> then)
{
    session_.readStatus(this, statusHandler(std::move(then)));
}

PedalSession::Then<QByteArray> MainWindow::statusHandler(std::function<void()> then)
{
    return [this, then = std::move(then)](const Result<QByteArray> &values) {
        if (const Error *error = std::get_if<Error>(&values))
            showError(*error); // nothing of a reply that cannot be trusted reaches the windows
        else if (applyStatus(std::get<QByteArray>(values)) && then)
            then();
    };
}

// True when the reply was whole and the pedal's versions current, so that its parameter
// values are now in the windows.
bool MainWindow::applyStatus(const QByteArray &values)
{
    const Result<PedalSession::Adopted> adopted = session_.adoptStatus(values);
    if (const Error *error = std::get_if<Error>(&adopted)) {
        showError(*error);
        return false;
    }
    const PedalSession::Adopted &a = std::get<PedalSession::Adopted>(adopted);
    ui_.firmwareVersion->setText(QStringLiteral("Device Firmware: ") + a.summary.firmwareVersion);
    ui_.algorithmVersion->setText(QStringLiteral("Device Algorithm: ") + a.summary.algorithmVersion);
    commandsAllowed_ = a.verdict != VersionVerdict::FirmwareOutdated;
    updateCommands();
    if (a.verdict != VersionVerdict::Current)
        closeEffectWindow();
    if (a.verdict == VersionVerdict::FirmwareOutdated) {
        for (const QString &message : firmwareUpgradeMessages(latestFirmware_))
            prompt_.message(message);
        return false;
    }
    ui_.effects->setCurrentRow(a.summary.effectRow);
    report(a.selection);
    if (a.verdict == VersionVerdict::AlgorithmOutdated) {
        prompt_.message(algorithmUploadMessage(content_.latestAlgorithmVersion));
        return false;
    }
    openEffectWindow(a.addresses);
    effectWindow().render(a.view);
    ui_.showOptions(a.view);
    return a.view.parametersRead;
}

// ---- Effects ----

// Shown against the main window's right side, with the parameters' addresses as they were
// read: while none is known, the window says why where the controls are.
void MainWindow::openEffectWindow(const std::optional<Error> &addresses)
{
    EffectWindow &window = effectWindow();
    if (window.isVisible())
        window.close();
    window.move(frameGeometry().right() + 1, frameGeometry().top());
    const bool noted = addresses && !parameters_.addressesKnown();
    if (addresses && !noted)
        prompt_.message(errorText(*addresses));
    window.showAddressNote(noted ? errorText(*addresses) : QString());
    window.show();
    window.setEffectName(content_.selectedEffectName);
    updateCommands();
}

void MainWindow::openLibrary()
{
    if (!library_) {
        library_ = std::make_unique<LibraryWindow>(session_, settings_, prompt_, *presets_, windows_.history());
        // Under the main window, clear of the effect window beside it.
        library_->move(frameGeometry().left(), frameGeometry().bottom() + 1);
    }
    library_->show();
    library_->raise();
    library_->activateWindow();
}

void MainWindow::closeEffectWindow()
{
    if (EffectWindow *window = windows_.builtEffect(); window && window->isVisible())
        window->close();
}

void MainWindow::onEffectClicked()
{
    if (const std::optional<Error> error = session_.selectEffect(ui_.effects->currentRow())) {
        showError(*error);
        return;
    }
    // An algorithm version that could not be read (no status reply yet) opens the window
    // rather than asking for an upload the pedal may not need.
    bool known = false;
    const int version = device_.deviceAlgorithmVersion.toInt(&known, 10);
    if (!link_.isLinked() || !known || version >= static_cast<int>(content_.latestAlgorithmVersion)) {
        openEffectWindow(session_.readAddresses());
        return;
    }
    closeEffectWindow();
    prompt_.message(algorithmUploadMessage(content_.latestAlgorithmVersion));
}

// ---- Firmware ----

void MainWindow::onUpgradeModeTriggered(bool on)
{
    if (!on) {
        leaveUpgradeMode();
        return;
    }
    device_.firmwareUpgradeMode = true;
    bool known = false;
    const int firmware = device_.deviceFirmwareVersion.toInt(&known, 10);
    // An older firmware knows no entry message: the player powers the pedal up with SHIFT held
    // and links, and the link greets the bootloader.
    if (link_.state() != LinkState::Linked || !known || !entersBootloaderWhenAsked(firmware)) {
        device_.legacyUpgradeLink = true;
        return;
    }
    if (!prompt_.askYesNo(QStringLiteral(
            "To enter Firmware Upgrade Mode keep SHIFT button on the pedal pressed while clicking YES."))) {
        leaveUpgradeMode();
        return;
    }
    session_.enterBootloader(this, [this](const Result<bool> &answered) {
        if (const Error *error = std::get_if<Error>(&answered)) {
            showError(*error);
            return;
        }
        prompt_.message(std::get<bool>(answered)
                            ? QStringLiteral("Connection to bootloader succeeded. Release SHIFT button and go to "
                                             "Upgrade Firmware menu and click Start Firmware Upgrade.")
                            : QStringLiteral("Connection to bootloader failed"));
    });
}

// Turning the mode off sends nothing. A link already in the bootloader cannot go on at the
// running firmware's framing: it ends, and the next Link starts afresh.
void MainWindow::leaveUpgradeMode()
{
    device_.firmwareUpgradeMode = false;
    device_.legacyUpgradeLink = false;
    ui_.upgradeMode->setChecked(false);
    if (link_.state() == LinkState::Bootloader)
        link_.unlink();
}

void MainWindow::onStartFirmwareUpgradeTriggered()
{
    FirmwareWindow &window = firmwareWindow();
    window.show();
    window.raise();
}

// ---- Looks, closing ----

void MainWindow::applyLook(int index)
{
    if (const std::optional<QString> sheet = lookStyleSheet(lookName(index)))
        qApp->setStyleSheet(*sheet);
    if (QAction *entry = ui_.looks.value(index))
        entry->setChecked(true);
}

void MainWindow::onLookTriggered(int index)
{
    applyLook(index);
    if (const std::optional<Error> error = settings_.writeStyleIndex(index))
        showError(*error);
}

// Closing the main window ends the editor, even with the console still open.
void MainWindow::closeEvent(QCloseEvent *event)
{
    // An upload cut off leaves the pedal waiting for the rest of it: the player decides, knowing.
    const QString state = link_.interruptedState();
    if (!state.isEmpty()) {
        if (!prompt_.askYesNo(QStringLiteral("The pedal is busy. Quit anyway? If you quit now, %1.").arg(state))) {
            event->ignore();
            return;
        }
        log_.print(QStringLiteral("quit during an exchange: ") + state);
    }
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

} // namespace vadrelon
