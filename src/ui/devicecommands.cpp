#include "ui/devicecommands.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/prompt.h"
#include "content/algorithmimage.h"
#include "content/options.h"
#include "content/resources.h"
#include "content/tuning.h"
#include "effect/messages.h"
#include "session/pedalsession.h"
#include "support/settings.h"
#include "ui/effectlist.h"
#include "ui/effectwindow.h"
#include "ui/sidewindows.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace vadrelon {

namespace {

// A checkable item turns its own mark over when clicked; the marks of these commands show
// what the pedal was told, so the click is undone and the marks wait for the message.
void undoClick(QAction *clicked)
{
    clicked->setChecked(!clicked->isChecked());
}

} // namespace

DeviceCommands::DeviceCommands(PedalSession &session, SettingsStore &settings, Prompt &prompt, SideWindows &windows,
                               MainForm &ui, StatusHandler statusHandler, QObject *parent)
    : QObject(parent), session_(session), device_(session.device), content_(session.content), effect_(session.effect),
      log_(session.log()), settings_(settings), prompt_(prompt), windows_(windows), ui_(ui),
      statusHandler_(std::move(statusHandler))
{
    connect(ui_.upload, &QPushButton::clicked, this, &DeviceCommands::onUploadClicked);
    connect(ui_.assign, &QPushButton::clicked, this, &DeviceCommands::onAssignClicked);
    connect(ui_.footswitchMode, &QPushButton::clicked, this, &DeviceCommands::onFootswitchModeClicked);
    connect(ui_.saveParameters, &QPushButton::clicked, this, &DeviceCommands::onSaveParametersClicked);
    for (QAction *a : ui_.midiChannels) {
        connect(a, &QAction::triggered, this, [this, a] {
            undoClick(a);
            onMidiChannelTriggered(a);
        });
    }
    connect(ui_.storeBypass, &QAction::triggered, this, [this] { onBypassStorageTriggered(true); });
    connect(ui_.doNotStoreBypass, &QAction::triggered, this, [this] { onBypassStorageTriggered(false); });
    connect(ui_.trackingLimitOn, &QAction::triggered, this, [this] { onTrackingLimitTriggered(true); });
    connect(ui_.trackingLimitOff, &QAction::triggered, this, [this] { onTrackingLimitTriggered(false); });
    connect(ui_.guitar, &QAction::triggered, this, [this] { onInstrumentTriggered(true); });
    connect(ui_.bass, &QAction::triggered, this, [this] { onInstrumentTriggered(false); });
    connect(ui_.setTuning, &QPushButton::clicked, this, &DeviceCommands::onSetTuningClicked);
    connect(ui_.uploadTuningData, &QAction::triggered, this, &DeviceCommands::onUploadTuningDataTriggered);
    connect(ui_.loadAlgorithmFromFile, &QAction::triggered, this, &DeviceCommands::onLoadAlgorithmFromFileTriggered);
    connect(ui_.eraseSettings, &QAction::triggered, this, &DeviceCommands::onEraseSettingsTriggered);

    // While an upload waits, the status says so every five seconds.
    uploadCheckTimer_ = new QTimer(this);
    uploadCheckTimer_->setObjectName(QStringLiteral("UploadCheckTimer"));
    uploadCheckTimer_->setInterval(5000);
    connect(uploadCheckTimer_, &QTimer::timeout, this,
            [this] { ui_.status->setText(QStringLiteral("Upload Failed")); });
}

void DeviceCommands::readStatus(std::function<void()> then)
{
    session_.readStatus(this, statusHandler_(std::move(then)));
}

void DeviceCommands::linkEnded()
{
    uploadCheckTimer_->stop();
}

PedalSession::Done DeviceCommands::shownIfFailed(std::function<void()> then)
{
    return [this, then = std::move(then)](const std::optional<Error> &error) {
        if (error)
            showError(*error);
        else if (then)
            then();
    };
}

void DeviceCommands::showError(const Error &error)
{
    const QString text = errorText(error);
    log_.print(text);
    prompt_.message(text);
}

void DeviceCommands::onUploadClicked()
{
    const QString name = resourceNameFor(content_.selectedEffectName);
    if (!carriesResource(name)) {
        prompt_.message(QStringLiteral("This editor carries no image of %1. Choose File → Load Effect From File to "
                                       "upload one that the maker gave you.")
                            .arg(content_.selectedEffectName));
        return;
    }
    if (!prompt_.askYesNo(QStringLiteral("Upload the selected algorithm?")))
        return;
    log_.print(QStringLiteral("resource name: ") + name);
    // The image is looked up before the pedal is bypassed: an upload that cannot happen must
    // not leave the pedal silent, nor report "Upload Failed" for something never sent.
    const Result<QStringList> image = loadResourceLines(name);
    if (const Error *error = std::get_if<Error>(&image)) {
        showError(*error);
        return;
    }
    content_.resourceLines = std::get<QStringList>(image);
    // The versions are read again: the effect window opens when the algorithm is now current.
    runUpload(std::make_unique<UploadJob>(content_.resourceLines.value(0), hexToBytes(buildBypassMessage(true))),
              [this] { readStatus({}); });
}

// While the pedal's answer is awaited, the status says "Upload Failed" every five seconds; the
// answer, or the failure, ends that. Whatever the pedal answered is shown.
void DeviceCommands::runUpload(std::unique_ptr<UploadJob> job, std::function<void()> then)
{
    ui_.status->setText(QStringLiteral("Uploading..."));
    uploadCheckTimer_->start();
    UploadJob *upload = job.get();
    session_.uploadAlgorithm(std::move(job), this, [this, upload, then = std::move(then)](const Result<QString> &r) {
        uploadCheckTimer_->stop();
        const Error *error = std::get_if<Error>(&r);
        const bool answered = !error || error->code == ErrorCode::UploadNotConfirmed;
        ui_.status->setText(answered ? upload->answer() : QStringLiteral("Upload Failed"));
        if (error)
            showError(*error);
        else if (then)
            then();
    });
}

void DeviceCommands::onLoadAlgorithmFromFileTriggered()
{
    const QString path = prompt_.openFileName(QString(), QStringLiteral("Dat files (*.dat)"), algorithmFileFolder_);
    if (path.isEmpty())
        return;
    algorithmFileFolder_ = QFileInfo(path).absolutePath();
    log_.print(QStringLiteral("Opening - ") + QDir::toNativeSeparators(path));
    // Checked before the question and before the bypass: a file that cannot be an image never
    // silences the pedal.
    Result<QByteArray> image = loadAlgorithmFile(path);
    if (const Error *error = std::get_if<Error>(&image)) {
        showError(*error);
        return;
    }
    if (!prompt_.askYesNo(QStringLiteral("Upload the selected algorithm?")))
        return;
    runUpload(UploadJob::fromFile(std::move(std::get<QByteArray>(image)), hexToBytes(buildBypassMessage(true))), {});
}

// The question comes first and the message is built after it, so that nothing that happens
// while the question is open can change what the pedal receives.
void DeviceCommands::onAssignClicked()
{
    if (refuseUnread())
        return;
    if (!prompt_.askYesNo(QStringLiteral("Upload Assignments?")))
        return;
    session_.sendTraced(windows_.effect().assignMessage(), kCommandPauseMs, this, shownIfFailed({}));
}

void DeviceCommands::onFootswitchModeClicked()
{
    if (refuseUnread())
        return;
    if (std::optional<TracedMessage> message = windows_.effect().footswitchMessage()) {
        message->trace << message->text;
        session_.sendTraced(*message, 0, this, shownIfFailed({}));
    }
}

void DeviceCommands::onSaveParametersClicked()
{
    if (refuseUnread())
        return;
    if (!prompt_.askYesNo(QStringLiteral("Save Parameters to pedal?")))
        return;
    session_.storeParameters(this, shownIfFailed([this] { emit happened(QStringLiteral("parameters stored")); }));
}

void DeviceCommands::onMidiChannelTriggered(QAction *item)
{
    session_.setMidiChannel(item->text(), this, shownIfFailed([this, item] {
                                for (QAction *a : ui_.midiChannels)
                                    a->setChecked(a == item);
                            }));
}

void DeviceCommands::onBypassStorageTriggered(bool store)
{
    undoClick(store ? ui_.storeBypass : ui_.doNotStoreBypass);
    session_.setBypassStorage(store, this, shownIfFailed([this, store] {
                                  ui_.storeBypass->setChecked(store);
                                  ui_.doNotStoreBypass->setChecked(!store);
                              }));
}

void DeviceCommands::onTrackingLimitTriggered(bool on)
{
    undoClick(on ? ui_.trackingLimitOn : ui_.trackingLimitOff);
    session_.setTrackingLimit(on, this, shownIfFailed([this, on] {
                                  ui_.trackingLimitOn->setChecked(on);
                                  ui_.trackingLimitOff->setChecked(!on);
                              }));
}

// ---- Tunings and instrument ----

// The message and its trace come before the question, so that the console shows what a Yes
// would send.
void DeviceCommands::onSetTuningClicked()
{
    const Result<QString> text = buildTuningMessage(effect_.currentTuning, effect_.semitoneVariation);
    if (const Error *error = std::get_if<Error>(&text)) {
        showError(*error);
        return;
    }
    log_.print(QStringLiteral("Tuning Message: ") + std::get<QString>(text));
    if (prompt_.askYesNo(QStringLiteral("Set new tuning?")))
        session_.sendMessage(std::get<QString>(text), kCommandPauseMs, true, this, shownIfFailed({}));
}

void DeviceCommands::onUploadTuningDataTriggered()
{
    const QString text = buildTuningDataMessage();
    log_.print(QStringLiteral("tuning data: ") + text.mid(2));
    if (!prompt_.askYesNo(QStringLiteral("Upload Tuning Data?")))
        return;
    log_.print(QStringLiteral("num_of_bytes: %1").arg(text.size() / 2));
    // The table leaves the pedal bypassed; the status read after it shows that on the switch.
    session_.uploadTuningData(this, statusHandler_({}));
}

void DeviceCommands::onInstrumentTriggered(bool guitar)
{
    undoClick(guitar ? ui_.guitar : ui_.bass);
    const TracedMessage message = buildInstrumentMessage(guitar);
    log_.printLines(message.trace);
    if (!prompt_.askYesNo(QStringLiteral("Change current Instrument?")))
        return;
    if (const std::optional<Error> error =
            settings_.writeSettingFile(QString::fromLatin1(SettingsStore::InstrumentFile),
                                       guitar ? QStringLiteral("GUITAR") : QStringLiteral("BASS"))) {
        showError(*error);
        return;
    }
    log_.print(message.text);
    session_.sendMessage(message.text, 0, false, this, shownIfFailed([this, guitar] {
                             device_.instrumentCode = guitar ? kGuitar : kBass;
                             ui_.guitar->setChecked(guitar);
                             ui_.bass->setChecked(!guitar);
                         }));
}

// Commands that store the window's values on the pedal: only what the pedal said, or what the
// player set on top of it, may go there.
bool DeviceCommands::refuseUnread()
{
    if (device_.settingsRead)
        return false;
    showError(Error{ErrorCode::NotRead, {}});
    return true;
}

void DeviceCommands::onEraseSettingsTriggered()
{
    if (!prompt_.askYesNo(eraseSettingsQuestion()))
        return;
    session_.eraseMemory(QStringLiteral("50"), this, shownIfFailed({}));
}

} // namespace vadrelon
