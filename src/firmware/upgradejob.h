#pragma once
// A firmware upgrade through the pedal's bootloader, on a link already greeted: erase, write
// the image block by block, read it all back, and only when every byte matches write the
// version record and start the new firmware. Any step that is not acknowledged in time ends
// the upgrade there, before the record and before Go, so a pedal is never started on a bad
// image and stays in its bootloader, where another upgrade can bring it back.
#include "device/link.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace vadrelon {

class FirmwareUpgradeJob : public Job {
public:
    enum class Phase { Erase, Write, Verify, Start };
    struct Progress {
        Phase phase;
        int percent;  // of the whole upgrade
        QString text; // "Writing block 12 of 205"
    };
    using ProgressCallback = std::function<void(const Progress &)>;

    // The image must have passed bootloader::checkFirmwareImage.
    FirmwareUpgradeJob(QByteArray image, quint8 version);
    ~FirmwareUpgradeJob() override;
    void onProgress(ProgressCallback callback) { progress_ = std::move(callback); }

    QString interruptedState() const override;
    Error explain(const Error &error) const override;

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    struct Step {
        QByteArray bytes;
        int readCount = 0; // Read Memory's data after the ACK
        bool erase = false;
        Phase phase;
        int block = -1;
        QString what; // the step in words, for a failure
        QStringList trace;
        bool go = false; // a step of Go: the image is in place and recorded by then
    };
    void planImage();
    void planStart();
    void next();
    void stepDone();
    void failStep(const QString &why);
    void report(const Step &step);

    QByteArray image_;
    quint8 version_;
    QList<QByteArray> blocks_;
    QList<Step> plan_;
    int at_ = -1;
    QByteArray rx_;
    QByteArray readBack_;
    int attempts_ = 0;
    ProgressCallback progress_;
};

} // namespace vadrelon
