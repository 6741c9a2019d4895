#include "firmware/upgradejob.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"
#include "firmware/bootloader.h"

namespace vadrelon {

using namespace bootloader;

namespace {

constexpr quint8 kWriteMemory = 0x31;
constexpr quint8 kEraseMemory = 0x43;
constexpr quint8 kReadMemory = 0x11;
constexpr quint8 kGo = 0x21;
constexpr int kAttempts = 2; // a verify that fails starts once more from the erase

QString at(quint32 address)
{
    return QStringLiteral("0x") + hex8(address);
}

QStringList addressTrace(const QByteArray &frame, quint32 address)
{
    return {QStringLiteral("SEND ADDRESS + CHECKSUM"), QStringLiteral("Address: ") + hex8(address),
            QStringLiteral("address checksum: ") + hex2(static_cast<quint8>(frame.back()))};
}

} // namespace

FirmwareUpgradeJob::FirmwareUpgradeJob(QByteArray image, quint8 version)
    : image_(std::move(image)), version_(version), blocks_(splitIntoBlocks(image_))
{}

FirmwareUpgradeJob::~FirmwareUpgradeJob()
{
    // Whatever way the upgrade ended, the port gets its own latency back.
    if (at_ >= 0 && link().transport().isOpen())
        link().transport().driver().setLowLatency(link().transport().handle(), false);
}

void FirmwareUpgradeJob::start()
{
    link().transport().driver().setLowLatency(link().transport().handle(), true);
    log().print(QStringLiteral("Firmware num of bytes: %1").arg(image_.size()));
    log().printLines(splitTrace(image_));
    planImage();
    next();
}

void FirmwareUpgradeJob::planImage()
{
    ++attempts_;
    plan_.clear();
    readBack_.clear();
    at_ = -1;
    plan_.append({commandFrame(kEraseMemory),
                  0,
                  false,
                  Phase::Erase,
                  -1,
                  QStringLiteral("the erase command"),
                  {QStringLiteral("Start Erase Command")}});
    plan_.append({globalEraseFrame(), 0, true, Phase::Erase, -1, QStringLiteral("the erase of the whole flash"), {}});
    for (int k = 0; k < blocks_.size(); ++k) {
        const quint32 address = kFlashStart + quint32(k) * kBlockSize;
        const QString block = QStringLiteral("block %1 (%2)").arg(k).arg(at(address));
        const QByteArray addressBytes = addressFrame(address);
        const QByteArray written = wordAligned(blocks_[k]);
        const QByteArray data = dataFrame(written);
        plan_.append({commandFrame(kWriteMemory),
                      0,
                      false,
                      Phase::Write,
                      k,
                      QStringLiteral("the write command for ") + block,
                      {QStringLiteral("SEND WRITE COMMAND")}});
        plan_.append({addressBytes, 0, false, Phase::Write, k, QStringLiteral("the address of ") + block,
                      addressTrace(addressBytes, address)});
        plan_.append(
            {data,
             0,
             false,
             Phase::Write,
             k,
             QStringLiteral("the data of ") + block,
             {QStringLiteral("SEND N BYTE + DATA + CHECKSUM"), QStringLiteral("N_byte: ") + hex2(quint8(data.front())),
              QStringLiteral("chunk size: %1").arg(written.size()),
              QStringLiteral("data checksum: ") + hex2(quint8(data.back()))}});
    }
    // Each block reads back its own bytes only: the FF that filled up the last one is no part
    // of the image, and the comparison goes by the image.
    for (int k = 0; k < blocks_.size(); ++k) {
        const quint32 address = kFlashStart + quint32(k) * kBlockSize;
        const QString block = QStringLiteral("block %1 (%2)").arg(k).arg(at(address));
        plan_.append({commandFrame(kReadMemory),
                      0,
                      false,
                      Phase::Verify,
                      k,
                      QStringLiteral("the read command for ") + block,
                      {}});
        plan_.append(
            {addressFrame(address), 0, false, Phase::Verify, k, QStringLiteral("the read address of ") + block, {}});
        plan_.append({readCountFrame(int(blocks_[k].size())),
                      int(blocks_[k].size()),
                      false,
                      Phase::Verify,
                      k,
                      QStringLiteral("the read of ") + block,
                      {}});
    }
}

// Only an image that read back whole gets its version record and is started.
void FirmwareUpgradeJob::planStart()
{
    plan_.clear();
    at_ = -1;
    const QByteArray recordAddress = addressFrame(kVersionRecordAddress);
    const QByteArray goAddress = addressFrame(kFlashStart);
    const QString record = QStringLiteral("the version record (%1)").arg(at(kVersionRecordAddress));
    plan_.append({commandFrame(kWriteMemory),
                  0,
                  false,
                  Phase::Start,
                  -1,
                  QStringLiteral("the write command for ") + record,
                  {QStringLiteral("SEND WRITE COMMAND")}});
    plan_.append({recordAddress, 0, false, Phase::Start, -1, QStringLiteral("the address of ") + record,
                  addressTrace(recordAddress, kVersionRecordAddress)});
    plan_.append({dataFrame(versionRecord(version_)), 0, false, Phase::Start, -1, record, {}});
    plan_.append({commandFrame(kGo),
                  0,
                  false,
                  Phase::Start,
                  -1,
                  QStringLiteral("the start command"),
                  {QString(), QStringLiteral("SEND GO COMMAND")},
                  true});
    plan_.append({goAddress, 0, false, Phase::Start, -1, QStringLiteral("the start address (%1)").arg(at(kFlashStart)),
                  addressTrace(goAddress, kFlashStart), true});
}

void FirmwareUpgradeJob::next()
{
    ++at_;
    if (at_ == plan_.size()) {
        const Step &last = plan_.back();
        if (last.phase == Phase::Verify) {
            const int differ = [&] {
                for (int i = 0; i < image_.size(); ++i)
                    if (readBack_.at(i) != image_.at(i))
                        return i;
                return -1;
            }();
            if (differ < 0) {
                log().print(QStringLiteral("verified: the flash holds the image"));
                planStart();
            } else {
                const QString mismatch = QStringLiteral("the flash at %1 reads back %2 where the image has %3")
                                             .arg(at(kFlashStart + quint32(differ)))
                                             .arg(hex2(quint8(readBack_.at(differ))))
                                             .arg(hex2(quint8(image_.at(differ))));
                log().print(QStringLiteral("verify: ") + mismatch);
                if (attempts_ >= kAttempts) {
                    fail(Error{ErrorCode::UpgradeFailed, QStringLiteral("the check of what was written: ") + mismatch +
                                                             QStringLiteral(", after writing it twice")});
                    return;
                }
                planImage();
            }
            next();
            return;
        }
        // Go was acknowledged: the pedal runs the new firmware, at the running firmware's framing.
        UsbTransport &t = link().transport();
        t.selectLinkMode(LinkMode::Normal);
        if (!check("FT_SetDataCharacteristics", t.applyDataCharacteristics()))
            return;
        link().enterState(LinkState::Linked);
        if (progress_)
            progress_({Phase::Start, 100, QStringLiteral("Started")});
        finish();
        return;
    }
    const Step &step = plan_[at_];
    report(step);
    log().printLines(step.trace);
    rx_.clear();
    if (!send(step.bytes))
        return;
    arm(step.erase ? timing().eraseBoundMs : timing().bootloaderAnswerBoundMs);
}

void FirmwareUpgradeJob::report(const Step &step)
{
    if (!progress_)
        return;
    const int n = std::max<int>(1, int(blocks_.size()));
    switch (step.phase) {
    case Phase::Erase:
        progress_({step.phase, 0, QStringLiteral("Erasing the flash")});
        return;
    case Phase::Write:
        progress_(
            {step.phase, 5 + 55 * step.block / n, QStringLiteral("Writing block %1 of %2").arg(step.block + 1).arg(n)});
        return;
    case Phase::Verify:
        progress_({step.phase, 60 + 35 * step.block / n,
                   QStringLiteral("Verifying block %1 of %2").arg(step.block + 1).arg(n)});
        return;
    case Phase::Start:
        progress_({step.phase, 95, QStringLiteral("Starting the new firmware")});
        return;
    }
}

void FirmwareUpgradeJob::bytesArrived(const QByteArray &bytes)
{
    if (at_ < 0 || at_ >= plan_.size())
        return;
    rx_ += bytes;
    const Step &step = plan_[at_];
    const quint8 first = static_cast<quint8>(rx_.front());
    if (first == kNack) {
        failStep(QStringLiteral("answered NACK"));
        return;
    }
    if (first != kAck) {
        failStep(QStringLiteral("answered 0x%1").arg(hex2(first)));
        return;
    }
    const int wanted = 1 + step.readCount;
    if (rx_.size() < wanted)
        return;
    if (rx_.size() > wanted) {
        failStep(QStringLiteral("sent %1 bytes more than asked").arg(rx_.size() - wanted));
        return;
    }
    readBack_ += rx_.mid(1);
    next();
}

void FirmwareUpgradeJob::timeout()
{
    const Step &step = plan_[at_];
    if (!rx_.isEmpty() && step.readCount > 0)
        failStep(QStringLiteral("sent only %1 of %2 bytes").arg(rx_.size() - 1).arg(step.readCount));
    else
        failStep(QStringLiteral("did not answer"));
}

void FirmwareUpgradeJob::failStep(const QString &why)
{
    const QString detail = QStringLiteral("%1: the pedal %2").arg(plan_[at_].what, why);
    log().print(QStringLiteral("upgrade stopped ") + detail);
    fail(Error{plan_[at_].go ? ErrorCode::StartNotConfirmed : ErrorCode::UpgradeFailed, detail});
}

QString FirmwareUpgradeJob::interruptedState() const
{
    if (at_ < 0 || at_ >= plan_.size())
        return {};
    const Step &step = plan_[at_];
    if (!step.go)
        return QStringLiteral("the firmware upgrade was interrupted at %1; the pedal waits in its bootloader without "
                              "working firmware: link again and run the upgrade again (a new link finds it there)")
            .arg(step.what);
    return QStringLiteral("the firmware upgrade was interrupted at %1, after the new firmware was written, verified "
                          "and recorded; unplug the pedal and plug it in again to start it")
        .arg(step.what);
}

// A pedal pulled out half-way is an upgrade that stopped at a step, not only a lost link.
Error FirmwareUpgradeJob::explain(const Error &error) const
{
    if (error.code != ErrorCode::PortGone || at_ < 0 || at_ >= plan_.size())
        return error;
    const Step &step = plan_[at_];
    if (step.go)
        return {ErrorCode::StartNotConfirmed, step.what + QStringLiteral(": the pedal is no longer connected")};
    return {ErrorCode::UpgradeCut, step.what};
}

} // namespace vadrelon
