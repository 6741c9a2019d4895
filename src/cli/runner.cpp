#include "cli/runner.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "base/safefile.h"
#include "content/addressheader.h"
#include "content/algorithmimage.h"
#include "content/firmwaretable.h"
#include "content/options.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "effect/messages.h"
#include "firmware/bootloader.h"
#include "firmware/upgradejob.h"
#include "support/updateserver.h"
#include "support/versioncheck.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace vadrelon::cli {

namespace {

// The pedal's time to take in a tuning message or stored settings, and to go quiet after the
// bypass message before the tuning table.
constexpr int kProgressTickMs = 250;
constexpr int kDrainTickMs = 10;

QList<int> assignableIndexes()
{
    return {ParInputLevel, ParHarmonicPitch, ParWaveClip, ParDominantNotesCut, ParHighNotesCut, ParDryHPF};
}

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

CommandRunner::CommandRunner(CommandLine line, PedalLink &link, Streams streams, std::function<Discovered()> discover,
                             QObject *parent)
    : QObject(parent), line_(std::move(line)), link_(link), streams_(std::move(streams)),
      discover_(std::move(discover)), session_(link)
{
    overallBound_.setSingleShot(true);
    connect(&overallBound_, &QTimer::timeout, this, [this] {
        fail(Error{ErrorCode::NoAnswer,
                   QStringLiteral("%1 within %2 s").arg(line_.commandName).arg(overallBound_.interval() / 1000)});
    });
    drain_.setInterval(kDrainTickMs);
    progress_.setInterval(kProgressTickMs);
    connect(&progress_, &QTimer::timeout, this, [this] {
        streams_.err(QStringLiteral("\r%1 %2 s").arg(progressWhat_).arg(progressClock_.elapsed() / 1000.0, 0, 'f', 1));
    });
    // A failure outside any job: the pedal went away between two of them, or bytes a job left
    // for the port were never taken.
    connect(&link_, &PedalLink::failed, this, [this](const Error &error) { fail(error); });
    if (line_.trace)
        connect(&link_.log(), &ConsoleLog::appended, this, [this](const QStringList &lines, bool) {
            for (const QString &l : lines)
                streams_.err(l + QLatin1Char('\n'));
        });
}

void CommandRunner::start()
{
    overallBound_.start(line_.verb == Verb::Upgrade ? kUpgradeBoundMs : kOverallBoundMs);
    if (const std::optional<Error> error = loadCatalogue(content_)) {
        fail(*error);
        return;
    }
    catalogue_ = content_.resourceLines;
    if (line_.verb == Verb::Coeff) {
        const int index = static_cast<int>(calculatorNoteNames().indexOf(line_.note));
        const QStringList lines =
            coefficientTableLines(line_.note, kCalculatorFirstNote + index, line_.gainDb, line_.q);
        if (lines.first().startsWith(QLatin1String("warning:"))) {
            fail(Error{ErrorCode::BadInput, lines.join(QLatin1Char(' '))});
            return;
        }
        answer(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
               QJsonObject{{QStringLiteral("note"), line_.note},
                           {QStringLiteral("lines"), QJsonArray::fromStringList(lines)}});
        return;
    }
    if (line_.verb == Verb::CheckUpdate) {
        checkUpdate();
        return;
    }
    if (!checkFilesFirst())
        return;
    const Discovered found = discover_();
    for (const QString &reason : found.skipped)
        link_.log().print(QStringLiteral("virtual pedal not listed: ") + reason);
    if (line_.verb == Verb::List) {
        const QStringList lines = pedalLines(found.ports);
        answer(lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n'),
               pedalListJson(found.ports));
        return;
    }
    const Result<PortInfo> pedal = choosePedal(found.ports, line_.serialNumber, line_.port);
    if (const Error *error = std::get_if<Error>(&pedal)) {
        fail(*error);
        return;
    }
    run(std::make_unique<OpenJob>(QString::fromLatin1(std::get<PortInfo>(pedal).serialNumber), false),
        [this] { dispatch(); });
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
    updateServer_->fetchVersion(QLatin1String(updatepath::kEditorVersion), [this](const Result<QVersionNumber> &r) {
        if (const Error *error = std::get_if<Error>(&r)) {
            fail(*error);
            return;
        }
        const QVersionNumber own = parseEditorVersion(VADRELON_EDITOR_VERSION).value_or(QVersionNumber());
        const QVersionNumber newest = std::get<QVersionNumber>(r);
        const bool newer = isNewerVersion(newest, own);
        const QString page = updateServer_->address(QLatin1String(updatepath::kDownloadPage)).toString();
        answer(QStringLiteral("Editor version: %1\nServer version: %2\n%3\n")
                   .arg(own.toString(), newest.toString(),
                        newer ? QStringLiteral("An update is available: ") + page
                              : QStringLiteral("No update available.")),
               QJsonObject{{QStringLiteral("editorVersion"), own.toString()},
                           {QStringLiteral("serverVersion"), newest.toString()},
                           {QStringLiteral("updateAvailable"), newer},
                           {QStringLiteral("downloadPage"), page}});
    });
}

// Everything that can be refused without the pedal is refused before it is linked, so that a
// bad file or a file in the way costs not even a status request.
bool CommandRunner::checkFilesFirst()
{
    switch (line_.verb) {
    case Verb::PresetLoad: {
        Result<Preset> preset = loadPresetFile(line_.file);
        if (const Error *error = std::get_if<Error>(&preset)) {
            fail(*error);
            return false;
        }
        preset_ = std::get<Preset>(std::move(preset));
        link_.log().printLines(presetLoadTrace(preset_));
        return true;
    }
    case Verb::EepromRead:
        if (QFileInfo::exists(line_.output) && !line_.yes) {
            fail(
                Error{
                    ErrorCode::FileInTheWay,
                    QStringLiteral("%1 already exists; give --yes to replace it (nothing was sent)").arg(line_.output)},
                kUsageExitCode);
            return false;
        }
        return true;
    case Verb::PresetSave:
        if (QFileInfo::exists(line_.file) && !line_.yes) {
            fail(
                Error{ErrorCode::FileInTheWay,
                      QStringLiteral("%1 already exists; give --yes to replace it (nothing was sent)").arg(line_.file)},
                kUsageExitCode);
            return false;
        }
        return true;
    case Verb::AlgorithmUpload: {
        Result<QByteArray> image = loadAlgorithmFile(line_.file);
        if (const Error *error = std::get_if<Error>(&image)) {
            fail(*error);
            return false;
        }
        algorithmImage_ = std::get<QByteArray>(std::move(image));
        link_.log().print(QStringLiteral("Opening - ") + QFileInfo(line_.file).absoluteFilePath());
        return true;
    }
    case Verb::Upgrade: {
        // An image that cannot start is refused before the pedal is touched: once its flash is
        // erased, it has no firmware until an image is written whole.
        Result<QByteArray> image = readRegularFile(line_.file, kFirmwareImageCap);
        if (const Error *error = std::get_if<Error>(&image)) {
            fail(*error);
            return false;
        }
        if (const std::optional<Error> error = bootloader::checkFirmwareImage(std::get<QByteArray>(image))) {
            fail(*error);
            return false;
        }
        firmwareImage_ = std::get<QByteArray>(std::move(image));
        return true;
    }
    default:
        return true;
    }
}

void CommandRunner::dispatch()
{
    switch (line_.verb) {
    case Verb::Status:
        readStatus([this](const QByteArray &values) { showStatus(values); });
        return;
    case Verb::Set:
    case Verb::Store:
    case Verb::PresetSave:
    case Verb::PresetLoad:
        // Only what the pedal said, and what the user set on top of it, may reach the pedal or
        // the file: each of these reads the pedal first.
        readStatus([this](const QByteArray &values) {
            if (const std::optional<Error> error = adoptSettings(values)) {
                fail(*error);
                return;
            }
            switch (line_.verb) {
            case Verb::Set:
                setParameter();
                return;
            case Verb::Store:
                storeParameters();
                return;
            case Verb::PresetSave:
                savePreset();
                return;
            default:
                loadPreset();
                return;
            }
        });
        return;
    case Verb::TuningSet:
        setTuning();
        return;
    case Verb::TuningUpload:
        uploadTuningData();
        return;
    case Verb::Instrument:
        sendInstrument();
        return;
    case Verb::Midi:
        sendMidiChannel();
        return;
    case Verb::BypassStorage:
        sendBypassStorage();
        return;
    case Verb::AlgorithmUpload:
        uploadAlgorithm();
        return;
    case Verb::Upgrade:
        enterBootloader();
        return;
    case Verb::EepromErase:
        session_.eraseMemory(line_.i2cAddress, this, orFail([this] {
                                 answer(QStringLiteral("Memory %1 erased\n").arg(line_.i2cAddress.toUpper()),
                                        QJsonObject{{QStringLiteral("erased"), line_.i2cAddress.toUpper()}});
                             }));
        return;
    case Verb::EepromRead:
        session_.readMemory(line_.i2cAddress, this, orFail<QByteArray>([this](const QByteArray &dump) {
                                if (const std::optional<Error> error = writeWholeFile(line_.output, dump)) {
                                    fail(*error);
                                    return;
                                }
                                answer(QStringLiteral("%1 bytes of memory %2 written to %3\n")
                                           .arg(dump.size())
                                           .arg(line_.i2cAddress.toUpper(), line_.output),
                                       QJsonObject{{QStringLiteral("file"), line_.output},
                                                   {QStringLiteral("bytes"), static_cast<int>(dump.size())}});
                            }));
        return;
    case Verb::Coeff:
    case Verb::CheckUpdate:
    case Verb::Help:
    case Verb::List:
        return;
    }
}

// ---- Jobs ----

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

PedalSession::Done CommandRunner::orFail(Step next)
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

void CommandRunner::run(std::unique_ptr<Job> job, Step next)
{
    session_.run(std::move(job), this, orFail(std::move(next)));
}

void CommandRunner::send(const QString &text, int pauseMs, bool purgeFirst, Step next)
{
    session_.sendMessage(text, pauseMs, purgeFirst, this, orFail(std::move(next)));
}

void CommandRunner::readStatus(std::function<void(const QByteArray &)> next)
{
    session_.readStatus(this, orFail<QByteArray>(std::move(next)));
}

// The pedal's reply taken as the window takes it: versions current, the effect's parameter
// addresses read, the settings put into the parameter set.
std::optional<Error> CommandRunner::adoptSettings(const QByteArray &values)
{
    Result<PedalReport> report =
        readPedalReport(values, catalogue_, latestFirmwareVersion(), content_.latestAlgorithmVersion);
    if (const Error *error = std::get_if<Error>(&report))
        return *error;
    report_ = std::get<PedalReport>(std::move(report));
    if (std::optional<Error> outdated =
            refuseOutdated(report_.verdict, latestFirmwareVersion(), content_.latestAlgorithmVersion))
        return outdated;
    if (std::optional<Error> error = selectEffect(content_, report_.effectName, link_.log()))
        return error;
    const AddressHeader header = addressHeaderFor(content_.selectedEffectName, content_.resourceLines);
    if (header.source == AddressSource::None)
        return Error{ErrorCode::AddressesUnreadable,
                     QStringLiteral("The parameters cannot be edited: %1. Nothing was sent.").arg(header.reason)};
    if (const std::optional<QString> refused = readParameterAddresses(parameters_, header.line))
        return Error{ErrorCode::AddressesUnreadable, *refused};
    DeviceState device;
    const StatusView view = applyPedalStatus(values, device, effect_, parameters_);
    link_.log().printLines(view.trace);
    if (!view.parametersRead)
        return Error{ErrorCode::ShortReply, QStringLiteral("%1 of %2").arg(values.size()).arg(kStatusValueCount)};
    return std::nullopt;
}

// ---- Commands ----

void CommandRunner::showStatus(const QByteArray &values)
{
    const Result<PedalReport> report =
        readPedalReport(values, catalogue_, latestFirmwareVersion(), content_.latestAlgorithmVersion);
    if (const Error *error = std::get_if<Error>(&report)) {
        fail(*error);
        return;
    }
    answer(statusText(std::get<PedalReport>(report)), statusJson(std::get<PedalReport>(report)));
}

void CommandRunner::setParameter()
{
    const std::optional<QString> text = parameterMessageFor(parameters_, line_.parameter, line_.value);
    if (!text) {
        fail(Error{ErrorCode::AddressUnknown, parameters_.row(line_.parameter).name});
        return;
    }
    const QString name = parameters_.row(line_.parameter).name;
    link_.log().print(parameterSendTrace(name, *text));
    send(*text, 0, false, [this, name] {
        answer(QStringLiteral("%1: %2\n").arg(name, hex8(line_.value)),
               QJsonObject{{QStringLiteral("parameter"), name}, {QStringLiteral("value"), hex8(line_.value)}});
    });
}

void CommandRunner::storeParameters()
{
    session_.storeParameters(this, orFail([this] {
                                 const PresetValues values = parameters_.values();
                                 QJsonObject stored;
                                 for (int i : assignableIndexes())
                                     stored.insert(parameters_.row(i).name, hex8(values[static_cast<size_t>(i)]));
                                 answer(parameterLines(values, assignableIndexes()).join(QLatin1Char('\n')) +
                                            QLatin1Char('\n'),
                                        QJsonObject{{QStringLiteral("stored"), stored}});
                             }));
}

void CommandRunner::savePreset()
{
    // The file may have come since it was looked at before the link.
    if (QFileInfo::exists(line_.file) && !line_.yes) {
        fail(Error{ErrorCode::FileInTheWay,
                   QStringLiteral("%1 already exists; give --yes to replace it").arg(line_.file)},
             kUsageExitCode);
        return;
    }
    if (const std::optional<Error> error = savePresetFile(line_.file, report_.parameters)) {
        fail(*error);
        return;
    }
    answer(QStringLiteral("Saved %1\n").arg(line_.file),
           QJsonObject{{QStringLiteral("file"), line_.file},
                       {QStringLiteral("parameters"), parameterJson(report_.parameters)}});
}

void CommandRunner::loadPreset()
{
    session_.loadPreset(
        preset_.values, this, orFail<QList<ParameterChange>>([this](const QList<ParameterChange> &changes) {
            QStringList lines;
            QJsonObject changed;
            for (const ParameterChange &c : changes) {
                const QString name = ParameterSet().row(c.index).name;
                lines << QStringLiteral("%1: %2 -> %3").arg(name, hex8(c.from), hex8(c.to));
                changed.insert(name,
                               QJsonObject{{QStringLiteral("from"), hex8(c.from)}, {QStringLiteral("to"), hex8(c.to)}});
            }
            const QJsonObject json{{QStringLiteral("file"), line_.file}, {QStringLiteral("changed"), changed}};
            if (changes.isEmpty())
                answer(QStringLiteral("The pedal already holds the preset's values; nothing was sent.\n"), json);
            else
                answer(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'), json);
        }));
}

void CommandRunner::setTuning()
{
    // The command line has checked both numbers with this same builder.
    const Result<QString> text = buildTuningMessage(line_.tuningIndex, line_.semitoneShift);
    if (const Error *error = std::get_if<Error>(&text)) {
        fail(*error, kUsageExitCode);
        return;
    }
    link_.log().print(QStringLiteral("Tuning Message: ") + std::get<QString>(text));
    send(std::get<QString>(text), kCommandPauseMs, true, [this] {
        const QString name = tuningNames().value(line_.tuningIndex);
        const QString shift = line_.semitoneShift > 0 ? QStringLiteral("+%1").arg(line_.semitoneShift)
                                                      : QString::number(line_.semitoneShift);
        QJsonObject json{{QStringLiteral("tuning"),
                          QJsonObject{{QStringLiteral("index"), line_.tuningIndex}, {QStringLiteral("name"), name}}},
                         {QStringLiteral("semitoneShift"), line_.semitoneShift}};
        answer(QStringLiteral("Tuning: %1 %2\nSemitone shift: %3\n").arg(line_.tuningIndex).arg(name, shift), json);
    });
}

void CommandRunner::uploadTuningData()
{
    const QString text = buildTuningDataMessage();
    const qsizetype size = text.size() / 2;
    link_.log().print(QStringLiteral("tuning data: ") + text.mid(2));
    link_.log().print(QStringLiteral("num_of_bytes: %1").arg(size));
    startProgress(QStringLiteral("Uploading the tuning data"));
    // The upload bypassed the pedal: what it reports now is what the player hears.
    session_.uploadTuningData(
        this, orFail<QByteArray>([this, size](const QByteArray &values) {
            stopProgress();
            const quint8 bypass = static_cast<quint8>(values.at(StatusIndex::Bypass));
            const QString word = bypass <= 1 ? onOff(bypass == 1) : QStringLiteral("unknown (%1)").arg(bypass);
            answer(QStringLiteral("Tuning data sent (%1 bytes)\nBypass: %2\n").arg(size).arg(word),
                   QJsonObject{{QStringLiteral("bytes"), static_cast<int>(size)}, {QStringLiteral("bypass"), word}});
        }));
}

void CommandRunner::sendInstrument()
{
    const TracedMessage message = buildInstrumentMessage(line_.guitar);
    link_.log().printLines(message.trace);
    link_.log().print(message.text);
    send(message.text, 0, false, [this] {
        const QString word = line_.guitar ? QStringLiteral("guitar") : QStringLiteral("bass");
        answer(QStringLiteral("Instrument: %1\n").arg(word), QJsonObject{{QStringLiteral("instrument"), word}});
    });
}

void CommandRunner::sendMidiChannel()
{
    link_.log().appendLine(QStringLiteral("Midi channel: ") + line_.midiItem);
    const std::optional<QString> text = buildMidiChannelMessage(line_.midiItem);
    if (!text) {
        fail(Error{ErrorCode::BadInput, QStringLiteral("\"%1\" is no MIDI channel").arg(line_.midiItem)},
             kUsageExitCode);
        return;
    }
    link_.log().print(*text);
    send(*text, 0, false, [this] {
        const QString word = line_.midiItem == QLatin1String("OMNI") ? QStringLiteral("omni") : line_.midiItem;
        answer(QStringLiteral("MIDI channel: %1\n").arg(word), QJsonObject{{QStringLiteral("midiChannel"), word}});
    });
}

void CommandRunner::sendBypassStorage()
{
    const QString text = buildBypassStorageMessage(line_.store);
    link_.log().print(text);
    send(text, 0, false, [this] {
        answer(QStringLiteral("Bypass storage: %1\n").arg(onOff(line_.store)),
               QJsonObject{{QStringLiteral("bypassStorage"), onOff(line_.store)}});
    });
}

void CommandRunner::uploadAlgorithm()
{
    startProgress(QStringLiteral("Uploading %1 bytes").arg(algorithmImage_.size()));
    session_.uploadAlgorithm(UploadJob::fromFile(algorithmImage_, hexToBytes(buildBypassMessage(true))), this,
                             orFail<QString>([this](const QString &answered) {
                                 stopProgress();
                                 const QString said = answered.trimmed();
                                 answer(said + QLatin1Char('\n'),
                                        QJsonObject{{QStringLiteral("file"), line_.file},
                                                    {QStringLiteral("bytes"), static_cast<int>(algorithmImage_.size())},
                                                    {QStringLiteral("answer"), said}});
                             }));
}

// ---- Firmware ----

// The running firmware is asked for its status: a recent one is sent into its bootloader; a
// pedal that does not answer may be waiting there already, and the greeting finds out.
void CommandRunner::enterBootloader()
{
    session_.findFirmwareOrBootloader(
        this, orFail<PedalSession::Found>([this](const PedalSession::Found &found) {
            if (found.inBootloader) {
                upgradeFirmware();
                return;
            }
            const int firmware = static_cast<quint8>(found.status.at(StatusIndex::Firmware));
            if (!entersBootloaderWhenAsked(firmware)) {
                fail(
                    Error{ErrorCode::FirmwareTooOld,
                          QStringLiteral("Firmware %1 cannot be sent into its bootloader. Unplug the pedal, plug it in "
                                         "again with its SHIFT button held, and run the upgrade again.")
                              .arg(firmware)});
                return;
            }
            session_.enterBootloader(this, orFail<bool>([this](bool answered) {
                                         if (!answered) {
                                             fail(Error{ErrorCode::BootloaderNotEntered,
                                                        QStringLiteral("The pedal did not enter its bootloader. "
                                                                       "Keep its SHIFT button pressed and run the "
                                                                       "upgrade again.")});
                                             return;
                                         }
                                         upgradeFirmware();
                                     }));
        }));
}

void CommandRunner::upgradeFirmware()
{
    const auto progress = [this](const FirmwareUpgradeJob::Progress &p) {
        if (streams_.errIsTerminal)
            streams_.err(QStringLiteral("\r\033[K%1 (%2%)").arg(p.text).arg(p.percent));
    };
    session_.upgradeFirmware(
        firmwareImage_, line_.firmwareVersion, progress, this, orFail([this] {
            if (streams_.errIsTerminal)
                streams_.err(QStringLiteral("\r\033[K"));
            answer(QStringLiteral("Firmware %1 installed, verified and started\n").arg(line_.firmwareVersion),
                   QJsonObject{{QStringLiteral("file"), line_.file},
                               {QStringLiteral("bytes"), static_cast<int>(firmwareImage_.size())},
                               {QStringLiteral("version"), line_.firmwareVersion},
                               {QStringLiteral("verified"), true}});
        }));
}

// ---- The end ----

void CommandRunner::answer(const QString &text, const QJsonObject &json)
{
    if (finished_)
        return;
    const auto done = [this, text, json] {
        drain_.stop();
        if (finished_)
            return;
        streams_.out(line_.json
                         ? QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) + QLatin1Char('\n')
                         : text);
        finish(0);
    };
    if (!link_.hasUnsentBytes()) {
        done();
        return;
    }
    // The last message is not all out yet: the answer waits for it, and the link's write
    // bound reports a port that takes no more.
    connect(&drain_, &QTimer::timeout, this, [this, done] {
        if (!link_.hasUnsentBytes())
            done();
    });
    drain_.start();
}

void CommandRunner::fail(const Error &error, int exitCode)
{
    if (finished_)
        return;
    stopProgress();
    streams_.err(QStringLiteral("vadrelon: ") + errorText(error, Audience::Command) + QLatin1Char('\n'));
    finish(exitCode);
}

void CommandRunner::finish(int exitCode)
{
    finished_ = true;
    overallBound_.stop();
    drain_.stop();
    progress_.stop();
    // A job still running ends here with NotLinked, and its callback finds the command over.
    link_.unlink();
    emit finished(exitCode);
}

void CommandRunner::startProgress(const QString &what)
{
    if (!streams_.errIsTerminal)
        return;
    progressWhat_ = what;
    progressClock_.start();
    progress_.start();
}

void CommandRunner::stopProgress()
{
    if (!progress_.isActive())
        return;
    progress_.stop();
    streams_.err(QStringLiteral("\r\033[K"));
}

} // namespace vadrelon::cli
