#include "cli/runner.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/safefile.h"
#include "content/firmwaretable.h"
#include "content/tuning.h"
#include "effect/messages.h"
#include "firmware/upgradejob.h"
#include "support/settings.h"
#include "support/updateserver.h"
#include "support/versioncheck.h"

namespace vadrelon::cli {

namespace {

// The controls as the command line names them.
constexpr const char *kControlWords[] = {"I", "II", "III", "IV", "remote"};

// How often the answer looks whether the last message is out.
constexpr int kDrainTickMs = 10;

} // namespace

CommandRunner::CommandRunner(CommandLine line, PedalLink &link, Streams streams, std::function<Discovered()> discover,
                             QObject *parent)
    : QObject(parent), line_(std::move(line)), link_(link), terminal_(std::move(streams), line_.json),
      discover_(std::move(discover)), session_(link)
{
    overallBound_.setSingleShot(true);
    connect(&overallBound_, &QTimer::timeout, this, [this] {
        fail(Error{ErrorCode::NoAnswer,
                   QStringLiteral("%1 within %2 s").arg(line_.commandName).arg(overallBound_.interval() / 1000)});
    });
    // A failure outside any job: the pedal went away between two of them, or bytes a job left
    // for the port were never taken.
    connect(&link_, &PedalLink::failed, this, [this](const Error &error) { fail(error); });
    if (line_.trace)
        connect(&link_.log(), &ConsoleLog::appended, this, [this](const QStringList &lines, bool) {
            for (const QString &l : lines)
                terminal_.trace(l);
        });
}

void CommandRunner::start()
{
    overallBound_.start(line_.verb == Verb::Upgrade ? kUpgradeBoundMs : kOverallBoundMs);
    if (const std::optional<Error> error = session_.loadCatalogue()) {
        fail(*error);
        return;
    }
    if (line_.verb == Verb::Coeff) {
        const Result<Answer> table = coefficientAnswer(line_.note, line_.gainDb, line_.q);
        if (const Error *error = std::get_if<Error>(&table))
            fail(*error);
        else
            answer(std::get<Answer>(table));
        return;
    }
    if (line_.verb == Verb::CheckUpdate) {
        checkUpdate();
        return;
    }
    if (line_.verb == Verb::PresetList && !line_.match) {
        answerPresetList(std::nullopt);
        return;
    }
    Result<Inputs> inputs = readInputs(line_);
    if (const Error *error = std::get_if<Error>(&inputs)) {
        fail(*error, error->code == ErrorCode::FileInTheWay ? kUsageExitCode : kFailureExitCode);
        return;
    }
    inputs_ = std::get<Inputs>(std::move(inputs));
    link_.log().printLines(inputs_.trace);
    Discovered found = discover_();
    for (const QString &reason : found.skipped)
        link_.log().print(QStringLiteral("virtual pedal not listed: ") + reason);
    if (line_.verb == Verb::List) {
        // An empty list would read as success to a script.
        if (found.ports.isEmpty())
            fail(Error{ErrorCode::NoSuchPedal, QStringLiteral("no pedal found")});
        else
            answer(pedalListAnswer(found.ports));
        return;
    }
    // A terminal named by --port is taken whether or not it was found: a serial adapter of
    // another maker, a pseudo-terminal nobody announced.
    if (!line_.port.isEmpty() && !listsPath(found.ports, line_.port)) {
        const std::variant<PortInfo, QString> named = namedTerminal(line_.port);
        if (const QString *why = std::get_if<QString>(&named)) {
            fail(Error{ErrorCode::NoSuchPedal, QStringLiteral("No pedal can be at %1: %2.").arg(line_.port, *why)});
            return;
        }
        found.ports.append(std::get<PortInfo>(named));
        link_.transport().driver().addNamedPort(std::get<PortInfo>(named));
    }
    const Result<PortInfo> pedal = choosePedal(found.ports, line_.serialNumber, line_.port);
    if (const Error *error = std::get_if<Error>(&pedal)) {
        fail(*error);
        return;
    }
    session_.run(std::make_unique<OpenJob>(QString::fromLatin1(std::get<PortInfo>(pedal).serialNumber), false), this,
                 orFail([this] { dispatch(); }));
}

// The editor's version against the update server's, where the window's Info menu would say it.
void CommandRunner::checkUpdate()
{
    const Result<QUrl> base = updateBaseUrl(qEnvironmentVariable("VADRELON_UPDATE_BASE_URL"));
    const Result<QSslConfiguration> tls = updateTlsConfiguration(qEnvironmentVariable("VADRELON_UPDATE_CA_FILE"));
    for (const Error *error : {std::get_if<Error>(&base), std::get_if<Error>(&tls)}) {
        if (error) {
            fail(*error);
            return;
        }
    }
    updateServer_ = std::make_unique<UpdateServer>(std::get<QUrl>(base), std::get<QSslConfiguration>(tls));
    updateServer_->fetchVersion(
        QLatin1String(updatepath::kEditorVersion), orFail<QVersionNumber>([this](const QVersionNumber &newest) {
            answer(updateAnswer(parseEditorVersion(VADRELON_EDITOR_VERSION).value_or(QVersionNumber()), newest,
                                updateServer_->address(QLatin1String(updatepath::kDownloadPage)).toString()));
        }));
}

// Each verb is one session operation, and the answer is built from its result.
void CommandRunner::dispatch()
{
    switch (line_.verb) {
    case Verb::Status:
        session_.readStatus(this, orFail<QByteArray>([this](const QByteArray &values) { reportStatus(values); }));
        return;
    case Verb::Set:
    case Verb::Assign:
    case Verb::Store:
    case Verb::PresetSave:
    case Verb::PresetLoad:
    case Verb::PresetList:
        // Only what the pedal said, and what the user set on top of it, may reach the pedal or
        // the file: each of these reads the pedal first.
        session_.readStatus(this, orFail<QByteArray>([this](const QByteArray &values) {
                                if (const std::optional<Error> error = adoptSettings(values))
                                    fail(*error);
                                else
                                    actOnSettings();
                            }));
        return;
    case Verb::TuningSet:
        session_.setTuning(line_.tuningIndex, line_.semitoneShift, this,
                           answerWhenDone(tuningAnswer(line_.tuningIndex, line_.semitoneShift)));
        return;
    case Verb::TuningUpload:
        uploadTuningData();
        return;
    case Verb::Instrument:
        session_.setInstrument(line_.guitar, this, answerWhenDone(instrumentAnswer(line_.guitar)));
        return;
    case Verb::Midi:
        session_.setMidiChannel(line_.midiItem, this, answerWhenDone(midiChannelAnswer(line_.midiItem)));
        return;
    case Verb::BypassStorage:
        session_.setBypassStorage(line_.store, this, answerWhenDone(bypassStorageAnswer(line_.store)));
        return;
    case Verb::Bypass:
        if (session_.setBypass(line_.bypassOn))
            answer(bypassAnswer(line_.bypassOn));
        else
            fail(Error{ErrorCode::Busy, {}});
        return;
    case Verb::Footswitch:
        // The window's Set Footswitch Mode: the message, traced twice, with no pause after it.
        if (std::optional<TracedMessage> message = buildFootswitchMessage(line_.footswitch)) {
            message->trace << message->text;
            session_.sendTraced(*message, 0, this, answerWhenDone(footswitchAnswer(line_.footswitch)));
        } else {
            fail(Error{ErrorCode::BadInput, QStringLiteral("footswitch: each press needs one action")});
        }
        return;
    case Verb::AlgorithmUpload:
        terminal_.startClock(QStringLiteral("Uploading %1 bytes").arg(inputs_.algorithmImage.size()));
        session_.uploadAlgorithm(UploadJob::fromFile(inputs_.algorithmImage, hexToBytes(buildBypassMessage(true))),
                                 this, orFail<QString>([this](const QString &said) {
                                     answer(algorithmAnswer(line_.file, inputs_.algorithmImage.size(), said));
                                 }));
        return;
    case Verb::Upgrade:
        // A pedal that does not answer may be waiting in its bootloader already.
        session_.reachBootloader(this, orFail([this] { upgradeFirmware(); }));
        return;
    case Verb::EepromErase:
        session_.eraseMemory(line_.i2cAddress, this, answerWhenDone(memoryErasedAnswer(line_.i2cAddress)));
        return;
    case Verb::EepromRead:
        session_.readMemory(line_.i2cAddress, this, orFail<QByteArray>([this](const QByteArray &dump) {
                                if (isStandardStream(line_.output))
                                    answer({QString::fromLatin1(dump), {}}, dump);
                                else if (const std::optional<Error> error = writeWholeFile(line_.output, dump))
                                    fail(*error);
                                else
                                    answer(memoryReadAnswer(line_.i2cAddress, line_.output, dump.size()));
                            }));
        return;
    case Verb::Coeff:
    case Verb::CheckUpdate:
    case Verb::Help:
    case Verb::Version:
    case Verb::List:
        return;
    }
}

template <typename T>
PedalSession::Then<T> CommandRunner::orFail(std::function<void(const T &)> next)
{
    return [this, next = std::move(next)](const Result<T> &result) {
        if (finished_)
            return;
        if (const Error *error = std::get_if<Error>(&result))
            fail(*error);
        else
            next(std::get<T>(result));
    };
}

PedalSession::Done CommandRunner::orFail(std::function<void()> next)
{
    return [this, next = std::move(next)](const std::optional<Error> &error) {
        if (finished_)
            return;
        if (error)
            fail(*error);
        else
            next();
    };
}

PedalSession::Done CommandRunner::answerWhenDone(Answer done)
{
    return orFail([this, done = std::move(done)] { answer(done); });
}

// The pedal's reply taken as the window takes it; only a current pedal whose parameters can be
// edited goes on.
std::optional<Error> CommandRunner::adoptSettings(const QByteArray &values)
{
    Result<PedalSession::Adopted> adopted = session_.adoptStatus(values);
    if (const Error *error = std::get_if<Error>(&adopted))
        return *error;
    adopted_ = std::get<PedalSession::Adopted>(std::move(adopted));
    return PedalSession::refuseUnusable(adopted_);
}

void CommandRunner::actOnSettings()
{
    switch (line_.verb) {
    case Verb::Set:
        if (line_.value == flagValue(true) && noteCutNeedsTuning(line_.parameter, session_.effect.currentTuning)) {
            fail(Error{ErrorCode::BadInput,
                       QStringLiteral("Set a tuning before using this parameter (vadrelon tuning set "
                                      "INDEX SHIFT). Nothing was sent.")});
            return;
        }
        // The addresses are known once the settings were taken in, and no job runs.
        session_.setLive(line_.parameter, line_.value);
        answer(parameterSetAnswer(line_.parameter, line_.value));
        return;
    case Verb::Assign:
        assignControl();
        return;
    case Verb::PresetList:
        answerPresetList(session_.live);
        return;
    case Verb::Store:
        session_.storeParameters(this, answerWhenDone(storedAnswer(parameters_.values())));
        return;
    case Verb::PresetSave:
        if (isStandardStream(line_.file)) {
            answer({}, writePreset(parameters_.values()));
            return;
        }
        // The file may have come since it was looked at before the link.
        if (const std::optional<Error> error = refuseFileInTheWay(line_.file, line_.yes, false))
            fail(*error, kUsageExitCode);
        else if (const std::optional<Error> error = savePresetFile(line_.file, parameters_.values()))
            fail(*error);
        else
            answer(presetSavedAnswer(line_.file, parameters_.values()));
        return;
    default:
        session_.loadPreset(inputs_.preset.values, this,
                            orFail<QList<ParameterChange>>([this](const QList<ParameterChange> &changes) {
                                answer(presetLoadedAnswer(line_.file, changes));
                            }));
        return;
    }
}

// The library as the window lists it; with the pedal's values, the preset it holds marked.
void CommandRunner::answerPresetList(const std::optional<PresetValues> &live)
{
    PresetLibrary library(SettingsStore().presetFolder());
    library.refresh();
    answer(presetListAnswer(library.folder(), library.presets(), live.has_value(),
                            live ? library.holding(*live) : std::nullopt));
}

// The window's Assign: every control as the pedal reported it, the one named changed, and the
// whole message sent with the window's pause after it.
void CommandRunner::assignControl()
{
    std::array<ListSelection, kControlCount> lists;
    const std::array<std::optional<int>, kControlCount> &shown = adopted_.view.assignmentEntries;
    for (int c = 0; c < kControlCount; ++c) {
        // The message names a parameter by its list entry, so another control that carries an
        // address no entry has would be freed by it: the player decides that, not the command.
        if (c != line_.control && !shown[static_cast<size_t>(c)]) {
            fail(Error{ErrorCode::BadInput,
                       QStringLiteral("%1 carries something this effect has no entry for, which assigning would "
                                      "free; assign it first (vadrelon assign %2 none). Nothing was sent.")
                           .arg(c == CtrlRemote ? QStringLiteral("The remote footswitch")
                                                : QStringLiteral("Control ") + QLatin1String(kControlWords[c]),
                                QString::fromLatin1(kControlWords[c]))});
            return;
        }
        const int entry = c == line_.control ? line_.controlEntry : *shown[static_cast<size_t>(c)];
        lists[static_cast<size_t>(c)] = {entry, controlListEntries(c).value(entry)};
        session_.effect.controlAssigned[static_cast<size_t>(c)] = entry > 0;
    }
    const QString chosen = lists[static_cast<size_t>(line_.control)].text;
    if (const std::optional<int> i = parameters_.indexOf(chosen);
        i && noteCutNeedsTuning(*i, session_.effect.currentTuning)) {
        fail(Error{ErrorCode::BadInput,
                   QStringLiteral("No tuning selected: select a tuning before assigning this "
                                  "parameter (vadrelon tuning set INDEX SHIFT). Nothing was sent.")});
        return;
    }
    session_.sendTraced(buildAssignMessage(lists, session_.effect, parameters_), kCommandPauseMs, this,
                        answerWhenDone(assignAnswer(line_.control, line_.controlEntry)));
}

void CommandRunner::reportStatus(const QByteArray &values)
{
    // The pedal's effect, selected and its addresses read as a window would, names the
    // parameters on its controls; a reply that does not go that far still reads.
    if (const Result<PedalSession::Adopted> adopted = session_.adoptStatus(values);
        const Error *error = std::get_if<Error>(&adopted)) {
        fail(*error, kFailureExitCode, versionsAnswer(values).value_or(Answer{}));
        return;
    }
    const Result<PedalReport> report = readPedalReport(values, session_.catalogue, latestFirmwareVersion(),
                                                       content_.latestAlgorithmVersion, parameters_);
    if (const Error *error = std::get_if<Error>(&report))
        fail(*error, kFailureExitCode, versionsAnswer(values).value_or(Answer{}));
    else
        answer({statusText(std::get<PedalReport>(report)), statusJson(std::get<PedalReport>(report))});
}

void CommandRunner::uploadTuningData()
{
    const QString text = buildTuningDataMessage();
    const qsizetype size = text.size() / 2;
    link_.log().print(QStringLiteral("tuning data: ") + text.mid(2));
    link_.log().print(QStringLiteral("num_of_bytes: %1").arg(size));
    terminal_.startClock(QStringLiteral("Uploading the tuning data"));
    // The upload bypassed the pedal: what it reports now is what the player hears.
    session_.uploadTuningData(this, [this, size](const Result<QByteArray> &result) {
        if (finished_)
            return;
        if (const QByteArray *values = std::get_if<QByteArray>(&result)) {
            answer(tuningDataAnswer(size, static_cast<quint8>(values->at(StatusIndex::Bypass))));
            return;
        }
        const Error &error = std::get<Error>(result);
        // Only the status read after the table reads an answer: a failure of that kind comes
        // after the table went out, and the player must not think it did not.
        const bool afterTable = error.code == ErrorCode::NoAnswer || error.code == ErrorCode::ShortReply ||
                                error.code == ErrorCode::GarbledReply || error.code == ErrorCode::InBootloader;
        if (afterTable)
            terminal_.complain(error, {},
                               QStringLiteral("The tuning table went out (%1 bytes) and left the pedal bypassed, but "
                                              "its status could not be read after it:")
                                   .arg(size));
        else
            terminal_.complain(error);
        finish(kFailureExitCode);
    });
}

void CommandRunner::upgradeFirmware()
{
    const auto progress = [this](const FirmwareUpgradeJob::Progress &p) {
        terminal_.progress(QStringLiteral("%1 (%2%)").arg(p.text).arg(p.percent));
    };
    session_.upgradeFirmware(
        inputs_.firmwareImage, line_.firmwareVersion, progress, this,
        orFail([this] { answer(firmwareAnswer(line_.file, inputs_.firmwareImage.size(), line_.firmwareVersion)); }));
}

// ---- The end ----

// The answer waits for the last message to be out; the link's write bound reports a port that
// takes no more.
void CommandRunner::answer(const Answer &reply, const QByteArray &bytes)
{
    if (finished_)
        return;
    terminal_.endProgress();
    if (link_.hasUnsentBytes()) {
        QTimer::singleShot(kDrainTickMs, this, [this, reply, bytes] { answer(reply, bytes); });
        return;
    }
    if (!bytes.isEmpty())
        terminal_.data(bytes);
    else
        terminal_.answer(reply);
    finish(0);
}

void CommandRunner::fail(const Error &error, int exitCode, const Answer &partial)
{
    if (finished_)
        return;
    terminal_.complain(error, partial);
    finish(exitCode);
}

void CommandRunner::finish(int exitCode)
{
    finished_ = true;
    overallBound_.stop();
    terminal_.endProgress();
    // A job still running ends here with NotLinked, and its callback finds the command over.
    link_.unlink();
    emit finished(exitCode);
}

} // namespace vadrelon::cli
