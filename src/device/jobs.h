#pragma once
// The exchanges with the pedal that the editor runs today, each a job of the link.
#include "device/link.h"
#include "device/status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

// Greets the pedal's bootloader: 0x7F at even parity, and 0x79 back within the answer bound
// makes the link a bootloader link. A bootloader greeted before (a link that ended after a
// stopped upgrade) takes 0x7F as the first byte of a command and waits: a second 0x7F makes a
// command whose complement is wrong, and its NACK tells that a bootloader is there, ready for
// the next command. Any other answer, or none, puts the framing back to the running
// firmware's, so that the link goes on as it was.
class BootloaderGreeting : public Job {
public:
    // Whether a bootloader answered (0x79, or 0x1F from one greeted before).
    bool bootloaderAnswered() const { return acknowledged_; }

protected:
    // False when the job has ended (a driver call failed).
    bool greet();
    void bytesArrived(const QByteArray &bytes) override { greeted(bytes); }
    void timeout() override { greeted(QByteArray()); }

private:
    void greeted(const QByteArray &bytes);
    bool acknowledged_ = false;
    bool secondTry_ = false;
};

// Opens the pedal by serial number at the running firmware's settings and, in upgrade mode,
// greets its bootloader. The old port stays open until the new one is, and a port opened but
// not set up is closed again.
class OpenJob : public BootloaderGreeting {
public:
    OpenJob(QString serialNumber, bool greetBootloader);
    bool needsLink() const override { return false; }

protected:
    void start() override;

private:
    bool setUp();
    QString serial_;
    bool greet_;
};

// The greeting alone, on a link already open: finds a pedal that waits in its bootloader.
class GreetBootloaderJob : public BootloaderGreeting {
protected:
    void start() override { greet(); }
};

// From the running firmware into its bootloader: the bypass, the entry message
// 05 00 01 02 03 04 05 06, 100 ms for the pedal to restart into its bootloader, then the
// greeting. The bypass message is the effect layer's, handed in by the caller.
class EnterBootloaderJob : public BootloaderGreeting {
public:
    explicit EnterBootloaderJob(QByteArray bypass) : bypass_(std::move(bypass)) {}

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    QByteArray bypass_;
    bool paused_ = false;
};

// The status request 02 00 and its reply. The reply is whole at its 90th value, however
// many reads it comes in; it is refused at the first byte that cannot belong to it, and
// given up 2 s after the request, however many bytes keep coming.
class StatusJob : public Job {
public:
    StatusJob() = default;
    // The values, once the job has finished.
    const QByteArray &values() const { return values_; }

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    QByteArray reply_;
    QByteArray values_;
};

// The pedal's time to take in a command (an assignment, stored settings, a tuning, an erase)
// before the next message may reach it.
constexpr int kCommandPauseMs = 100;

// Messages, each followed by a pause during which nothing else reaches the pedal (the pedal
// needs it to take the message in). A message with purgeFirst has the port's transmit queue
// emptied before it.
class SendJob : public Job {
public:
    struct Part {
        QByteArray message;
        int pauseMs = 0;
        bool purgeFirst = false;
    };
    SendJob(QByteArray message, int pauseMs, bool purgeFirst = false);
    explicit SendJob(QList<Part> parts);
    // Names a sequence whose parts belong together ("tuning data upload"), so that cutting it
    // off half-way is told; an unnamed one leaves nothing at stake.
    void nameSequence(QString what) { what_ = std::move(what); }
    QString interruptedState() const override;

protected:
    void start() override { sendNext(); }
    void timeout() override { sendNext(); }

private:
    void sendNext();
    QList<Part> parts_;
    int next_ = 0;
    QString what_;
};

// An algorithm image: the bypass message, a pause for the pedal to go quiet, the whole image
// in one write, then the pedal's answer ("Upload complete" CR LF), within a bound. An embedded
// image comes as hex text and waits 40 ms; a file chosen by the player comes as bytes and
// waits 400 ms, with the traces each command has always had.
class UploadJob : public Job {
public:
    // bypass: the message that bypasses the pedal before the image, the effect layer's.
    UploadJob(QString imageText, QByteArray bypass);
    static std::unique_ptr<UploadJob> fromFile(QByteArray bytes, QByteArray bypass);
    // The first 17 bytes of the answer as text, once the job has finished.
    const QString &answer() const { return answer_; }
    QString interruptedState() const override;

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    explicit UploadJob(QByteArray bypass) : bypass_(std::move(bypass)) {}
    void sendImage();
    QByteArray imageBytes();
    enum class Step { Pause, AwaitFirst, Gather } step_ = Step::Pause;
    QByteArray bypass_;
    QString imageText_;
    QByteArray fileBytes_;
    bool fromFile_ = false;
    QByteArray reply_;
    QString answer_;
    qsizetype imageSize_ = 0; // once the image has been handed to the link
};

} // namespace vadrelon
