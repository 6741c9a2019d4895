#pragma once
// The link to the pedal: the only way to it. It owns the transport, runs one exchange (a
// job) at a time, keeps the knob pacing and the periodic read of what the pedal sends
// unasked, and says when it is busy so that the windows can disable device commands.
//
// Nothing here waits in place: a job goes on when bytes arrive or when its single-shot timer
// fires, and bytes the port cannot take at once go out as it makes room. Every wait has a bound.
#include "base/error.h"
#include "device/sendpacer.h"
#include "device/transport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vadrelon {

class ConsoleLog;
class PedalLink;

// The pauses and bounds of every exchange. Tests shorten them all at once with scale; the
// knob pacing and the periodic read keep their documented periods whatever the scale.
struct Timing {
    double scale = 1.0;
    int answerBoundMs = 2000; // the pedal's silence before an answer is given up
    int replySilenceMs = 100; // a reply is whole once the pedal is silent this long
    int uploadAnswerBoundMs = 20000;
    int bootloaderAnswerBoundMs = 1000; // a bootloader command, address, block or read
    int eraseBoundMs = 35000;           // the bootloader's erase of the whole flash
    int writeGraceMs = 2000;            // beyond the time the bytes need on the line
    int pollIntervalMs = 50;

    int scaled(int ms) const;
};

enum class LinkState { Unlinked, Linked, Bootloader };

// One exchange with the pedal, as a small state machine. The link calls start() once, then
// bytesArrived() and timeout() as they happen, until the job calls finish() or
// fail(), or the link ends it (the pedal went away, Unlink).
class Job {
public:
    using Finished = std::function<void(const std::optional<Error> &)>;

    virtual ~Job() = default;
    // Called once when the job has ended, with nothing on success.
    void whenFinished(Finished finished) { finished_ = std::move(finished); }
    // Most jobs need an open port; the one that opens it does not.
    virtual bool needsLink() const { return true; }
    // What the pedal is left with when the job is cut off now (the program quits, the cable
    // is pulled): one sentence, or nothing when no harm is done.
    virtual QString interruptedState() const { return {}; }
    // The link's own reason for ending the job (the pedal went away, Unlink, a stalled write),
    // told in the job's terms; as it is, unless the job knows better.
    virtual Error explain(const Error &error) const { return error; }

protected:
    virtual void start() = 0;
    virtual void bytesArrived(const QByteArray &bytes) { Q_UNUSED(bytes); }
    virtual void timeout() {}

    PedalLink &link() const { return *link_; }
    ConsoleLog &log() const;
    const Timing &timing() const;
    // The one send path. False when the bytes could not be written: the job has ended then
    // and must return at once.
    bool send(const QByteArray &bytes);
    // Runs a driver call; a failure ends the job (false), as send does.
    bool check(const char *operation, FT_STATUS status);
    // Single-shot: timeout() once, after ms scaled by the timing policy.
    void arm(int ms);
    void finish();
    void fail(const Error &error);

private:
    friend class PedalLink;
    PedalLink *link_ = nullptr;
    Finished finished_;
};

class PedalLink : public QObject {
    Q_OBJECT
public:
    struct Device {
        QString serialNumber;
        QString description;
    };

    PedalLink(UsbTransport &transport, ConsoleLog &log, Timing timing = {}, QObject *parent = nullptr);
    ~PedalLink() override;

    UsbTransport &transport() { return transport_; }
    ConsoleLog &log() { return log_; }
    const Timing &timing() const { return timing_; }
    void setTiming(const Timing &timing) { timing_ = timing; }

    LinkState state() const { return state_; }
    bool isLinked() const { return state_ != LinkState::Unlinked; }
    bool busy() const { return job_ != nullptr; }
    // Bytes written that the port has not taken yet. A program that ends after its last job
    // waits for them, or for the write bound's failure.
    bool hasUnsentBytes() const { return !outgoing_.isEmpty(); }
    qsizetype unsentBytes() const { return outgoing_.size(); }
    // The running job's interruptedState().
    QString interruptedState() const { return job_ ? job_->interruptedState() : QString(); }
    // What the last job that failed left the pedal with, by its interruptedState(); kept
    // across a new link, cleared when an exchange with the pedal finishes well.
    const QString &lastInterruption() const { return lastInterruption_; }

    // The attached FTDI devices (and announced virtual pedals), in the driver's order. A
    // list that cannot be had is an empty one: there is nothing to link either way.
    QList<Device> listDevices();

    // Starts a job; false, with nothing done, while another runs or (for a job that needs
    // one) while no pedal is linked. A knob message still waiting for its period goes out
    // first, so the pedal hears it before the job and never in between its bytes.
    bool run(std::unique_ptr<Job> job);
    // Always ends unlinked, even when the port is already gone. A running job ends with
    // NotLinked.
    void unlink();

    // Live messages (switches, lists, check boxes): written at once while linked and idle,
    // refused (false) otherwise, so that none ever lands between a job's bytes.
    bool canSendLive() const;
    bool sendLive(const QByteArray &message);
    // A knob message, paced by the send pacer; slot names the knob (its place in the order in
    // which waiting messages go out).
    bool sendPaced(int slot, const QByteArray &message);
    bool hasPacedMessage() const { return pacer_.hasPending(); }
    // Knob messages still waiting go out now, ahead of what follows them.
    void flushPaced();
    // Knob messages still waiting are forgotten: what comes next supersedes them.
    void dropPacedMessage() { pacer_.clear(); }

    // Used by the job that opens the port.
    void enterState(LinkState state);

signals:
    void stateChanged(vadrelon::LinkState state);
    void busyChanged(bool busy);
    // A failure outside any job: the pedal went away while idle, a live message that could
    // not be written. A job's own failure goes to its caller instead, so it is told once.
    void failed(const vadrelon::Error &error);

private:
    friend class Job;
    bool write(const QByteArray &bytes);
    void writeMore();
    // A driver call failed: a device that has gone is lost, anything else is an error of
    // the running job or, while idle, of the link.
    void failure(const char *operation, FT_STATUS status);
    // cut: the job's interruptedState() from before the port was dropped, when it was.
    void endJob(const std::optional<Error> &error, const std::optional<QString> &cut = std::nullopt);
    void lose();
    void bytesArrived();
    void poll();
    void traceDump(const QByteArray &dump);
    void updatePolling();
    void setBusy(bool busy);

    UsbTransport &transport_;
    ConsoleLog &log_;
    Timing timing_;
    LinkState state_ = LinkState::Unlinked;
    std::unique_ptr<Job> job_;
    std::unique_ptr<Job> ended_; // the last job to end: it may still be on the stack
    QTimer jobTimer_;
    QTimer pollTimer_;
    QTimer writeBound_;
    SendPacer pacer_;
    QByteArray outgoing_; // what the port has not taken yet
    QByteArray dump_;     // a memory dump gathered across periodic reads
    QString lastInterruption_;
    qint64 dumpLastBytesMs_ = 0;
};

} // namespace vadrelon
