#include "device/link.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "device/eeprom.h"

#include <QDateTime>
#include <cmath>

namespace vadrelon {

int Timing::scaled(int ms) const
{
    return static_cast<int>(std::lround(ms * scale));
}

// ---- Job ----

ConsoleLog &Job::log() const
{
    return link_->log();
}
const Timing &Job::timing() const
{
    return link_->timing();
}

bool Job::send(const QByteArray &bytes)
{
    return link_->write(bytes);
}

bool Job::check(const char *operation, FT_STATUS status)
{
    if (status == FT_OK)
        return true;
    link_->failure(operation, status);
    return false;
}

void Job::arm(int ms)
{
    link_->jobTimer_.start(timing().scaled(ms));
}

void Job::finish()
{
    if (link_->job_.get() == this)
        link_->endJob(std::nullopt);
}

void Job::fail(const Error &error)
{
    if (link_->job_.get() == this)
        link_->endJob(error);
}

// ---- PedalLink ----

PedalLink::PedalLink(UsbTransport &transport, ConsoleLog &log, Timing timing, QObject *parent)
    : QObject(parent), transport_(transport), log_(log), timing_(timing)
{
    jobTimer_.setSingleShot(true);
    // The documented pauses are short (40 ms before an image); a coarse timer may stretch them.
    jobTimer_.setTimerType(Qt::PreciseTimer);
    connect(&jobTimer_, &QTimer::timeout, this, [this] {
        if (job_)
            job_->timeout();
    });
    pollTimer_.setInterval(timing_.pollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &PedalLink::poll);
    writeBound_.setSingleShot(true);
    connect(&writeBound_, &QTimer::timeout, this, [this] {
        const Error error{ErrorCode::WriteStalled, QStringLiteral("%1 bytes not sent").arg(outgoing_.size())};
        const QString cut = interruptedState();
        outgoing_.clear();
        if (job_)
            endJob(error, cut);
        else
            emit failed(error);
    });
    connect(&transport_.driver(), &SerialDriver::bytesArrived, this, &PedalLink::bytesArrived);
    connect(&transport_.driver(), &SerialDriver::writable, this, &PedalLink::writeMore);
    connect(&pacer_, &SendPacer::due, this, [this](const QList<QByteArray> &messages) {
        if (canSendLive())
            write(messages.join());
    });
}

PedalLink::~PedalLink() = default;

QList<PedalLink::Device> PedalLink::listDevices()
{
    quint32 count = 0;
    QList<Device> devices;
    if (transport_.countDevices(count) != FT_OK)
        return devices;
    for (const QString &reason : transport_.driver().skippedInLastList())
        log_.print(QStringLiteral("virtual pedal not listed: ") + reason);
    for (quint32 i = 0; i < count; ++i) {
        QByteArray serial;
        QByteArray description;
        if (transport_.serialNumberAt(i, serial) != FT_OK || transport_.descriptionAt(i, description) != FT_OK)
            continue; // gone since it was counted
        devices.append({QString::fromLatin1(serial), QString::fromLatin1(description)});
    }
    return devices;
}

bool PedalLink::run(std::unique_ptr<Job> job)
{
    if (job_ || (job->needsLink() && !transport_.isOpen()))
        return false;
    const QByteArray paced = pacer_.takePending().join();
    if (!paced.isEmpty() && !write(paced))
        return false;
    job_ = std::move(job);
    job_->link_ = this;
    setBusy(true);
    job_->start();
    return true;
}

void PedalLink::unlink()
{
    const QString cut = interruptedState();
    pacer_.clear();
    outgoing_.clear();
    writeBound_.stop();
    dump_.clear();
    if (transport_.isOpen())
        transport_.close(); // a port already gone cannot be closed any better
    const bool hadJob = job_ != nullptr;
    enterState(LinkState::Unlinked);
    if (hadJob)
        endJob(Error{ErrorCode::NotLinked, {}}, cut);
}

bool PedalLink::canSendLive() const
{
    return isLinked() && !busy();
}

bool PedalLink::sendLive(const QByteArray &message)
{
    return canSendLive() && write(message);
}

void PedalLink::flushPaced()
{
    const QByteArray paced = pacer_.takePending().join();
    if (!paced.isEmpty())
        sendLive(paced);
}

bool PedalLink::sendPaced(int slot, const QByteArray &message)
{
    if (!canSendLive())
        return false;
    pacer_.offer(slot, message);
    return true;
}

void PedalLink::enterState(LinkState state)
{
    if (state == state_)
        return;
    state_ = state;
    if (state == LinkState::Unlinked)
        pacer_.clear();
    updatePolling();
    emit stateChanged(state);
}

bool PedalLink::write(const QByteArray &bytes)
{
    if (!transport_.isOpen()) {
        const Error error{ErrorCode::NotLinked, {}};
        if (job_)
            endJob(error);
        else
            emit failed(error);
        return false;
    }
    if (!outgoing_.isEmpty()) {
        outgoing_ += bytes;
        return true;
    }
    quint32 written = 0;
    const FT_STATUS status = transport_.write(bytes, written);
    if (status != FT_OK) {
        failure("FT_Write", status);
        return false;
    }
    if (written < static_cast<quint32>(bytes.size())) {
        outgoing_ = bytes.mid(static_cast<int>(written));
        // The bytes need their time on the line (11 bits each at the most), then some grace.
        const qint64 lineMs = qint64(outgoing_.size()) * 11 * 1000 / std::max<quint32>(transport_.baudRate(), 1);
        writeBound_.start(static_cast<int>(timing_.scaled(timing_.writeGraceMs) + lineMs));
    }
    return true;
}

void PedalLink::writeMore()
{
    if (outgoing_.isEmpty() || !transport_.isOpen())
        return;
    quint32 written = 0;
    const FT_STATUS status = transport_.write(outgoing_, written);
    if (status != FT_OK) {
        outgoing_.clear();
        writeBound_.stop();
        failure("FT_Write", status);
        return;
    }
    outgoing_.remove(0, static_cast<int>(written));
    if (outgoing_.isEmpty())
        writeBound_.stop();
}

void PedalLink::failure(const char *operation, FT_STATUS status)
{
    if (isDeviceGone(status) && transport_.isOpen()) {
        lose();
        return;
    }
    const Error error = usbError(operation, status);
    if (job_)
        endJob(error);
    else
        emit failed(error);
}

void PedalLink::lose()
{
    const QString cut = interruptedState();
    transport_.close();
    outgoing_.clear();
    writeBound_.stop();
    dump_.clear();
    const bool hadJob = job_ != nullptr;
    enterState(LinkState::Unlinked);
    const Error error{ErrorCode::PortGone, {}};
    if (hadJob)
        endJob(error, cut);
    else
        emit failed(error);
}

void PedalLink::endJob(const std::optional<Error> &error, const std::optional<QString> &cut)
{
    jobTimer_.stop();
    // Only an exchange that went well says the pedal waits for nothing; a new link, or a failure
    // with nothing at stake, says nothing of it.
    const QString state = !error ? QString() : cut ? *cut : job_->interruptedState();
    if (!state.isEmpty())
        lastInterruption_ = state;
    else if (!error && job_->needsLink())
        lastInterruption_.clear();
    const std::optional<Error> told = error ? std::optional<Error>(job_->explain(*error)) : std::nullopt;
    // The job may still be on the stack (it called finish()); it is deleted with the next
    // one that ends, or with the link.
    ended_ = std::move(job_);
    Job::Finished finished = std::move(ended_->finished_);
    setBusy(false);
    if (finished)
        finished(told);
}

void PedalLink::setBusy(bool busy)
{
    updatePolling();
    emit busyChanged(busy);
}

void PedalLink::updatePolling()
{
    if (isLinked() && !busy()) {
        if (!pollTimer_.isActive())
            pollTimer_.start();
    } else {
        pollTimer_.stop();
    }
}

void PedalLink::bytesArrived()
{
    if (!job_ || !transport_.isOpen())
        return; // while idle the periodic read takes them
    QByteArray bytes;
    const FT_STATUS status = transport_.read(bytes);
    if (status != FT_OK) {
        failure("FT_Read", status);
        return;
    }
    if (!bytes.isEmpty())
        job_->bytesArrived(bytes);
}

// What the pedal sends unasked. Failures other than a lost device are not worth a word here:
// the next tick tries again.
void PedalLink::poll()
{
    if (!transport_.isOpen())
        return;
    QByteArray bytes;
    const FT_STATUS status = transport_.read(bytes);
    if (status != FT_OK) {
        if (isDeviceGone(status))
            lose();
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!bytes.isEmpty()) {
        log_.print(QStringLiteral("num of bytes read: %1").arg(bytes.size()));
        // A memory dump arrives over many ticks at 115200 baud: gather it whole before
        // listing it, so that no position shows a byte of some other read.
        if (dump_.isEmpty() && static_cast<quint8>(bytes[0]) == kEepromDumpMarker)
            dump_ = bytes;
        else if (!dump_.isEmpty())
            dump_ += bytes;
        dumpLastBytesMs_ = now;
    }
    if (!dump_.isEmpty() &&
        (dump_.size() > kEepromBytes || now - dumpLastBytesMs_ > timing_.scaled(timing_.answerBoundMs)))
        traceDump(dump_);
}

void PedalLink::traceDump(const QByteArray &dump)
{
    const int available = static_cast<int>(dump.size()) - 1;
    if (available < kEepromBytes)
        log_.print(QStringLiteral("memory dump incomplete: %1 of %2 bytes received").arg(available).arg(kEepromBytes));
    log_.printLines(eepromDumpTrace(dump.mid(1)));
    dump_.clear();
}

} // namespace vadrelon
