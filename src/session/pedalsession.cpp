#include "session/pedalsession.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "content/addressheader.h"
#include "content/firmwaretable.h"
#include "content/options.h"
#include "content/resources.h"
#include "content/tuning.h"
#include "device/eeprom.h"
#include "effect/messages.h"
#include "effect/valuetext.h"
#include "firmware/bootloader.h"

namespace vadrelon {

std::unique_ptr<SendJob> tuningDataUploadJob()
{
    // The bypass, 400 ms for the pedal to go quiet, then the table after a purge and the
    // pedal's time to take it in.
    constexpr int kBypassPauseMs = 400;
    auto job =
        std::make_unique<SendJob>(QList<SendJob::Part>{{hexToBytes(buildBypassMessage(true)), kBypassPauseMs, false},
                                                       {hexToBytes(buildTuningDataMessage()), kCommandPauseMs, true}});
    job->nameSequence(QStringLiteral("tuning data upload"));
    return job;
}

PedalSession::PedalSession(PedalLink &link, QObject *parent) : QObject(parent), link_(link)
{
    // A pedal gone while it played the stored values: the edits are still the editor's.
    connect(&link_, &PedalLink::stateChanged, this, [this](LinkState state) {
        if (state != LinkState::Unlinked || !comparing_)
            return;
        comparing_ = false;
        parameters.setValues(edited_);
        live = edited_;
        emit comparingChanged(false);
        emit valuesChanged();
    });
}

void PedalSession::markStored()
{
    stored = live;
    emit valuesChanged();
}

void PedalSession::adoptValues(const PresetValues &values)
{
    parameters.setValues(values);
    live = stored = values;
    emit valuesChanged();
}

bool PedalSession::refuseLive() const
{
    if (link_.canSendLive())
        return false;
    log().print(QStringLiteral("not sent: the pedal is busy with another exchange"));
    return true;
}

bool PedalSession::sendValues(const PresetValues &values)
{
    const Result<QList<ParameterChange>> found = presetChanges(parameters, values);
    if (std::holds_alternative<Error>(found))
        return false;
    // A knob message still waiting is older than these values and must not follow them.
    link_.flushPaced();
    for (const ParameterChange &c : std::get<QList<ParameterChange>>(found)) {
        log().print(parameterSendTrace(parameters.row(c.index).name, c.message));
        link_.sendLive(hexToBytes(c.message));
    }
    parameters.setValues(values);
    live = values;
    return true;
}

bool PedalSession::setLiveValues(const PresetValues &values)
{
    if (refuseLive() || !sendValues(values))
        return false;
    emit valuesChanged();
    return true;
}

bool PedalSession::setComparing(bool on)
{
    if (on == comparing_)
        return true;
    if (refuseLive())
        return false;
    if (on) {
        if (live == stored)
            return false;
        const PresetValues edits = live;
        if (!sendValues(stored))
            return false;
        edited_ = edits;
        comparing_ = true;
    } else {
        comparing_ = false;
        sendValues(edited_);
    }
    emit comparingChanged(comparing_);
    emit valuesChanged();
    return true;
}

void PedalSession::endComparing()
{
    if (comparing_)
        setComparing(false);
}

bool PedalSession::setLive(int parameter, quint32 value, Pace pace)
{
    if (refuseLive())
        return false;
    ParameterRow row = parameters.row(parameter);
    // Kept as the pedal will report it (a step for a stepped knob), as every value read or
    // loaded is, so that it is stored and saved the same way.
    row.value = reportedValueFor(parameter, value);
    const std::optional<QString> text = parameterMessageFor(parameters, parameter, value);
    if (!text)
        return true;
    if (parameter == ParHarmonicPitch)
        log().print(harmonicPitchSendTrace(*text));
    else if (parameter == ParDominantNotesCut || parameter == ParHighNotesCut)
        log().print(QStringLiteral("write to DSP msg: ") + *text);
    else
        log().print(parameterSendTrace(row.name, *text));
    if (pace == Pace::Knob)
        link_.sendPaced(parameter, hexToBytes(*text));
    else
        link_.sendLive(hexToBytes(*text));
    live[static_cast<size_t>(parameter)] = row.value;
    emit valuesChanged();
    return true;
}

std::optional<Error> PedalSession::refuseUnusable(const Adopted &a)
{
    if (std::optional<Error> outdated = refuseOutdated(a.verdict, latestFirmwareVersion(), a.latestAlgorithm))
        return outdated;
    if (a.selection)
        return a.selection;
    if (a.addresses)
        return a.addresses;
    if (!a.view.parametersRead)
        return Error{ErrorCode::ShortReply, QStringLiteral("fewer than %1 values").arg(kStatusValueCount)};
    return std::nullopt;
}

bool PedalSession::setBypass(bool on)
{
    if (refuseLive())
        return false;
    effect.bypass = on;
    link_.sendLive(hexToBytes(buildBypassMessage(on)));
    return true;
}

std::optional<Error> PedalSession::loadCatalogue()
{
    std::optional<Error> error = vadrelon::loadCatalogue(content);
    catalogue = content.resourceLines;
    return error;
}

std::optional<Error> PedalSession::selectEffect(int row)
{
    log().print(QStringLiteral("efx index :%1").arg(row));
    if (row < 0 || row >= catalogue.size())
        return Error{ErrorCode::UntrustedReply, QStringLiteral("no effect in row %1 of the catalogue").arg(row)};
    return vadrelon::selectEffect(content, catalogue.at(row), log());
}

std::optional<Error> PedalSession::readAddresses()
{
    const QString name = resourceNameFor(content.selectedEffectName);
    log().print(QStringLiteral("resource name: ") + name);
    const Result<QStringList> image = loadResourceLines(name);
    const QStringList *lines = std::get_if<QStringList>(&image);
    const AddressHeader header = addressHeaderFor(content.selectedEffectName, lines ? *lines : QStringList());
    if (lines)
        log().print(QStringLiteral("filecontent (first 128 bytes): ") + lines->value(0).left(256));
    if (header.source == AddressSource::None) {
        if (!parameters.addressesKnown())
            return Error{ErrorCode::AddressesUnreadable,
                         QStringLiteral("The parameters cannot be edited: ") + header.reason};
        // An image that loaded yet starts with no address header is as good as unreadable.
        return lines ? Error{ErrorCode::ResourceUnreadable, header.reason} : std::get<Error>(image);
    }
    if (const std::optional<QString> refused = readParameterAddresses(parameters, header.line))
        return Error{ErrorCode::AddressesUnreadable, *refused};
    return std::nullopt;
}

Result<PedalSession::Adopted> PedalSession::adoptStatus(const QByteArray &values)
{
    const Result<StatusSummary> summary = summarizeStatus(values, static_cast<int>(catalogue.size()));
    if (const Error *error = std::get_if<Error>(&summary))
        return *error;
    Adopted adopted;
    adopted.summary = std::get<StatusSummary>(summary);
    adopted.latestAlgorithm = content.latestAlgorithmVersion;
    QStringList trace;
    adopted.verdict =
        judgeVersions(adopted.summary, latestFirmwareVersion(), content.latestAlgorithmVersion, device, trace);
    device.statusValues = values;
    log().printLines(trace);
    if (adopted.verdict == VersionVerdict::FirmwareOutdated)
        return adopted;
    adopted.selection = selectEffect(adopted.summary.effectRow);
    if (adopted.verdict == VersionVerdict::AlgorithmOutdated)
        return adopted;
    adopted.addresses = readAddresses();
    adopted.view = applyPedalStatus(values, device, effect, parameters);
    log().printLines(adopted.view.trace);
    if (adopted.view.parametersRead) {
        const bool outside = parameters.values() != live;
        adoptValues(parameters.values());
        if (outside)
            emit changedOutside();
    }
    return adopted;
}

void PedalSession::run(std::unique_ptr<Job> job, QObject *context, Done done)
{
    endComparing();
    job->whenFinished([context = QPointer<QObject>(context), done](const std::optional<Error> &error) {
        if (context)
            done(error);
    });
    if (!link_.run(std::move(job)))
        done(Error{link_.busy() ? ErrorCode::Busy : ErrorCode::NotLinked, {}});
}

void PedalSession::readStatus(QObject *context, Then<QByteArray> done)
{
    auto job = std::make_unique<StatusJob>();
    StatusJob *status = job.get();
    run(std::move(job), context, [status, done](const std::optional<Error> &error) {
        if (error)
            done(*error);
        else
            done(status->values());
    });
}

void PedalSession::sendMessage(const QString &text, int pauseMs, bool purgeFirst, QObject *context, Done done)
{
    run(std::make_unique<SendJob>(hexToBytes(text), pauseMs, purgeFirst), context, std::move(done));
}

void PedalSession::setTuning(int tuningIndex, int semitoneShift, QObject *context, Done done)
{
    const Result<QString> text = buildTuningMessage(tuningIndex, semitoneShift);
    if (const Error *error = std::get_if<Error>(&text)) {
        done(*error);
        return;
    }
    log().print(QStringLiteral("Tuning Message: ") + std::get<QString>(text));
    sendMessage(std::get<QString>(text), kCommandPauseMs, true, context, std::move(done));
}

void PedalSession::setInstrument(bool guitar, QObject *context, Done done)
{
    const TracedMessage message = buildInstrumentMessage(guitar);
    log().printLines(message.trace);
    log().print(message.text);
    sendMessage(message.text, 0, false, context, [this, guitar, done](const std::optional<Error> &error) {
        if (!error)
            device.instrumentCode = guitar ? kGuitar : kBass;
        done(error);
    });
}

void PedalSession::setMidiChannel(const QString &item, QObject *context, Done done)
{
    log().appendLine(QStringLiteral("Midi channel: ") + item);
    const std::optional<QString> text = buildMidiChannelMessage(item);
    if (!text) {
        done(Error{ErrorCode::BadInput, QStringLiteral("\"%1\" is no MIDI channel").arg(item)});
        return;
    }
    log().print(*text);
    sendMessage(*text, 0, false, context, std::move(done));
}

void PedalSession::setBypassStorage(bool store, QObject *context, Done done)
{
    const QString text = buildBypassStorageMessage(store);
    log().print(text);
    sendMessage(text, 0, false, context, std::move(done));
}

void PedalSession::setTrackingLimit(bool on, QObject *context, Done done)
{
    const QString text = on ? QStringLiteral("1101") : QStringLiteral("11FF");
    log().print(text);
    sendMessage(text, 0, false, context, std::move(done));
}

void PedalSession::sendTraced(const TracedMessage &message, int pauseMs, QObject *context, Done done)
{
    log().printLines(message.trace);
    sendMessage(message.text, pauseMs, false, context, std::move(done));
}

void PedalSession::storeParameters(QObject *context, Done done)
{
    endComparing(); // what is stored is what was edited
    const TracedMessage message = buildStoredSettingsMessage(parameters);
    log().printLines(message.trace);
    sendMessage(message.text, kCommandPauseMs, true, this,
                [this, context = QPointer<QObject>(context), done](const std::optional<Error> &error) {
                    if (!error)
                        markStored();
                    if (context)
                        done(error);
                });
}

void PedalSession::loadPreset(const PresetValues &values, QObject *context, Then<QList<ParameterChange>> done)
{
    endComparing();
    const Result<QList<ParameterChange>> found = presetChanges(parameters, values);
    if (const Error *error = std::get_if<Error>(&found)) {
        done(*error);
        return;
    }
    const QList<ParameterChange> changes = std::get<QList<ParameterChange>>(found);
    QList<SendJob::Part> parts;
    for (const ParameterChange &c : changes) {
        log().print(parameterSendTrace(parameters.row(c.index).name, c.message));
        parts.append({hexToBytes(c.message), 0, false});
    }
    link_.dropPacedMessage();
    if (parts.isEmpty()) {
        adoptValues(values);
        done(changes);
        return;
    }
    // What the pedal took is the session's whether or not the asker is still there.
    run(std::make_unique<SendJob>(parts), this,
        [this, values, changes, context = QPointer<QObject>(context), done](const std::optional<Error> &error) {
            if (!error)
                adoptValues(values);
            if (!context)
                return;
            if (error)
                done(*error);
            else
                done(changes);
        });
}

void PedalSession::uploadTuningData(QObject *context, Then<QByteArray> done)
{
    run(tuningDataUploadJob(), context, [this, context, done](const std::optional<Error> &error) {
        if (error)
            done(*error);
        else
            readStatus(context, done); // the table leaves the pedal bypassed: what it says now counts
    });
}

void PedalSession::uploadAlgorithm(std::unique_ptr<UploadJob> job, QObject *context, Then<QString> done)
{
    UploadJob *upload = job.get();
    run(std::move(job), context, [upload, done](const std::optional<Error> &error) {
        if (error) {
            done(*error);
            return;
        }
        if (const std::optional<Error> refused = refuseUploadAnswer(upload->answer()))
            done(*refused);
        else
            done(upload->answer());
    });
}

void PedalSession::readMemory(const QString &address, QObject *context, Then<QByteArray> done)
{
    const Result<QString> message = buildEepromReadMessage(address);
    if (const Error *error = std::get_if<Error>(&message)) {
        done(*error);
        return;
    }
    auto job = std::make_unique<EepromReadJob>(hexToBytes(std::get<QString>(message)));
    EepromReadJob *read = job.get();
    run(std::move(job), context, [read, done](const std::optional<Error> &error) {
        if (error)
            done(*error);
        else
            done(read->dump());
    });
}

void PedalSession::eraseMemory(const QString &address, QObject *context, Done done)
{
    const Result<QString> message = buildEepromEraseMessage(address);
    if (const Error *error = std::get_if<Error>(&message)) {
        done(*error);
        return;
    }
    log().print(QStringLiteral("erase message: ") + std::get<QString>(message));
    sendMessage(std::get<QString>(message), kCommandPauseMs, true, context, std::move(done));
}

void PedalSession::findFirmwareOrBootloader(QObject *context, Then<Found> done)
{
    readStatus(context, [this, context, done](const Result<QByteArray> &status) {
        const Error *statusError = std::get_if<Error>(&status);
        if (!statusError) {
            done(Found{std::get<QByteArray>(status), false});
            return;
        }
        if (statusError->code != ErrorCode::NoAnswer && statusError->code != ErrorCode::InBootloader) {
            done(*statusError);
            return;
        }
        auto job = std::make_unique<GreetBootloaderJob>();
        GreetBootloaderJob *greeting = job.get();
        run(std::move(job), context, [greeting, done, statusError = *statusError](const std::optional<Error> &error) {
            if (error)
                done(*error);
            else if (!greeting->bootloaderAnswered())
                done(statusError);
            else
                done(Found{{}, true});
        });
    });
}

void PedalSession::enterBootloader(QObject *context, Then<bool> done)
{
    auto job = std::make_unique<EnterBootloaderJob>(hexToBytes(buildBypassMessage(true)));
    EnterBootloaderJob *entry = job.get();
    run(std::move(job), context, [entry, done](const std::optional<Error> &error) {
        if (error)
            done(*error);
        else
            done(entry->bootloaderAnswered());
    });
}

void PedalSession::reachBootloader(QObject *context, Done done)
{
    findFirmwareOrBootloader(context, [this, context, done](const Result<Found> &found) {
        if (const Error *error = std::get_if<Error>(&found)) {
            done(*error);
            return;
        }
        if (std::get<Found>(found).inBootloader) {
            done(std::nullopt);
            return;
        }
        const int firmware = static_cast<quint8>(std::get<Found>(found).status.at(StatusIndex::Firmware));
        if (!entersBootloaderWhenAsked(firmware)) {
            done(Error{ErrorCode::FirmwareTooOld,
                       QStringLiteral("Firmware %1 cannot be sent into its bootloader. Unplug the pedal, plug it in "
                                      "again with its SHIFT button held, and run the upgrade again.")
                           .arg(firmware)});
            return;
        }
        enterBootloader(context, [done](const Result<bool> &answered) {
            if (const Error *error = std::get_if<Error>(&answered))
                done(*error);
            else if (!std::get<bool>(answered))
                done(Error{ErrorCode::BootloaderNotEntered,
                           QStringLiteral("The pedal did not enter its bootloader. Keep its SHIFT button pressed "
                                          "and run the upgrade again.")});
            else
                done(std::nullopt);
        });
    });
}

void PedalSession::upgradeFirmware(const QByteArray &image, int version, FirmwareUpgradeJob::ProgressCallback progress,
                                   QObject *context, Done done)
{
    if (const std::optional<Error> error = bootloader::checkFirmwareImage(image)) {
        done(*error);
        return;
    }
    if (version < 1 || version > 255) {
        done(Error{ErrorCode::BadFirmwareImage, QStringLiteral("version %1 cannot be recorded").arg(version)});
        return;
    }
    auto job = std::make_unique<FirmwareUpgradeJob>(image, static_cast<quint8>(version));
    job->onProgress(std::move(progress));
    run(std::move(job), context, std::move(done));
}

} // namespace vadrelon
