#pragma once
// The exchanges with the pedal that the editor runs today, each a job of the link.
#include "device/link.h"
#include "device/status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

// Opens the pedal by serial number at the running firmware's settings and, in upgrade mode,
// greets its bootloader with 0x7F at even parity. The old port stays open until the new one
// is, and a port opened but not set up is closed again.
class OpenJob : public Job {
public:
    OpenJob(QString serialNumber, bool greetBootloader);
    bool needsLink() const override { return false; }
    // After a greeting: whether the bootloader acknowledged (0x79).
    bool bootloaderAnswered() const { return acknowledged_; }

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    bool setUp();
    void greeted(const QByteArray &bytes);
    QString serial_;
    bool greet_;
    bool acknowledged_ = false;
};

// The status request 02 00 and its reply. The reply is whole at its 90th value, however
// many reads it comes in; it is refused at the first byte that cannot belong to it, and
// given up 2 s after the request, however many bytes keep coming.
class StatusJob : public Job {
public:
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

// One message, then a pause during which nothing else reaches the pedal (the pedal needs it
// to take the message in). With purgeFirst the port's transmit queue is emptied before.
class SendJob : public Job {
public:
    SendJob(QByteArray message, int pauseMs, bool purgeFirst = false);

protected:
    void start() override;
    void timeout() override { finish(); }

private:
    QByteArray message_;
    int pauseMs_;
    bool purgeFirst_;
};

// An algorithm image: the bypass message, 40 ms for the pedal to go quiet, the whole image
// in one write, then the pedal's answer ("Upload complete" CR LF), within a bound.
class UploadJob : public Job {
public:
    explicit UploadJob(QString imageText);
    // The first 17 bytes of the answer as text, once the job has finished.
    const QString &answer() const { return answer_; }

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    void sendImage();
    enum class Step { Pause, AwaitFirst, Gather } step_ = Step::Pause;
    QString image_;
    QByteArray reply_;
    QString answer_;
};

} // namespace vadrelon
