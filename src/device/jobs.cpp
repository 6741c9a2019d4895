#include "device/jobs.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"

namespace vadrelon {

namespace {

constexpr quint8 kBootloaderSync = 0x7F;
constexpr int kBootloaderEntryPauseMs = 100; // the pedal restarts into its bootloader
constexpr int kUploadBypassPauseMs = 40;
constexpr int kFileUploadBypassPauseMs = 400; // a file upload has always given the pedal longer
constexpr int kUploadAnswerChars = 17;        // "Upload complete" CR LF

} // namespace

// ---- OpenJob ----

namespace {

// A cause the driver can name is told in words a person acts on; only an unknown one keeps
// the driver's own words.
Error openError(const OpenFailure &failure, FT_STATUS status)
{
    switch (failure.cause) {
    case OpenFailure::Cause::Gone:
        return {ErrorCode::PortGone, failure.port};
    case OpenFailure::Cause::InUse:
        return {ErrorCode::PortInUse, failure.port};
    case OpenFailure::Cause::PermissionDenied:
        return {ErrorCode::PermissionDenied, failure.port};
    case OpenFailure::Cause::NotASerialPort:
        return {ErrorCode::NotASerialPort, failure.port};
    case OpenFailure::Cause::Unknown:
        break;
    }
    return {ErrorCode::OpenFailed, usbError("Open_USB_Device_By_Serial_Number", status).detail};
}

} // namespace

OpenJob::OpenJob(QString serialNumber, bool greetBootloader) : serial_(std::move(serialNumber)), greet_(greetBootloader)
{}

void OpenJob::start()
{
    log().print(QStringLiteral("serial number: ") + serial_);
    UsbTransport &t = link().transport();
    const FT_STATUS status = t.open(serial_);
    if (status != FT_OK) {
        fail(openError(t.driver().lastOpenFailure(), status));
        return;
    }
    if (!setUp())
        return;
    log().print(QStringLiteral("FT_HANDLE: 0x") + hex8(static_cast<quint32>(t.handle())));
    log().appendLine(QStringLiteral("baud rate = %1").arg(t.baudRate()));
    link().enterState(LinkState::Linked);
    if (!greet_) {
        finish();
        return;
    }
    greet();
}

// Every link starts at the running firmware's settings: a link after a bootloader session
// must not go on at even parity.
bool OpenJob::setUp()
{
    UsbTransport &t = link().transport();
    t.selectLinkMode(LinkMode::Normal);
    FT_STATUS status = t.applyBaudRate();
    const char *operation = "FT_SetBaudRate";
    if (status == FT_OK) {
        status = t.applyDataCharacteristics();
        operation = "FT_SetDataCharacteristics";
    }
    if (status == FT_OK)
        return true;
    t.close();
    fail(usbError(operation, status));
    return false;
}

// ---- BootloaderGreeting, EnterBootloaderJob ----

bool BootloaderGreeting::greet()
{
    UsbTransport &t = link().transport();
    t.selectLinkMode(LinkMode::Bootloader);
    if (!check("FT_SetDataCharacteristics", t.applyDataCharacteristics()))
        return false;
    if (!send(QByteArray(1, static_cast<char>(kBootloaderSync))))
        return false;
    arm(timing().bootloaderAnswerBoundMs);
    return true;
}

void BootloaderGreeting::greeted(const QByteArray &bytes)
{
    if (bytes.isEmpty() && !secondTry_) {
        secondTry_ = true;
        if (!send(QByteArray(1, static_cast<char>(kBootloaderSync))))
            return;
        arm(timing().bootloaderAnswerBoundMs);
        return;
    }
    log().print(QStringLiteral("num of bytes received: %1").arg(bytes.size()));
    log().appendLine(QStringLiteral("received Byte: ") + bytesToHex(bytes.left(1)));
    const quint8 first = bytes.isEmpty() ? 0 : static_cast<quint8>(bytes[0]);
    acknowledged_ = first == kBootloaderAckByte || first == kBootloaderNackByte;
    if (acknowledged_) {
        link().enterState(LinkState::Bootloader);
    } else {
        UsbTransport &t = link().transport();
        t.selectLinkMode(LinkMode::Normal);
        if (!check("FT_SetDataCharacteristics", t.applyDataCharacteristics()))
            return;
    }
    finish();
}

void EnterBootloaderJob::start()
{
    if (!send(bypass_) || !send(hexToBytes(QStringLiteral("0500010203040506"))))
        return;
    arm(kBootloaderEntryPauseMs);
}

void EnterBootloaderJob::bytesArrived(const QByteArray &bytes)
{
    if (paused_)
        BootloaderGreeting::bytesArrived(bytes);
}

void EnterBootloaderJob::timeout()
{
    if (paused_) {
        BootloaderGreeting::timeout();
        return;
    }
    paused_ = true;
    // What the running firmware said before it restarted is not the bootloader's answer.
    if (!check("FT_Purge RX", link().transport().purgeRx()))
        return;
    greet();
}

// ---- StatusJob ----

void StatusJob::start()
{
    // Bytes that came before the request are not its reply.
    QByteArray stale;
    if (!check("FT_Read", link().transport().read(stale)))
        return;
    if (!stale.isEmpty())
        log().print(QStringLiteral("bytes before the request, not part of its reply: ") + bytesToHex(stale));
    if (!check("FT_Purge TX", link().transport().purgeTx()))
        return;
    if (!send(hexToBytes(QStringLiteral("0200"))))
        return;
    arm(timing().answerBoundMs);
}

void StatusJob::bytesArrived(const QByteArray &bytes)
{
    reply_ += bytes;
    const StatusReading reading = readStatusReply(reply_);
    switch (reading.state) {
    case StatusReading::State::NeedMore:
        return;
    case StatusReading::State::Refused:
        link().transport().purgeRx();
        fail(reading.error);
        return;
    case StatusReading::State::Complete:
        log().printLines(statusTrace(reading.values));
        if (!reading.following.isEmpty())
            log().print(QStringLiteral("bytes after the reply's %1 values, ignored: ").arg(kStatusValueCount) +
                        bytesToHex(reading.following));
        values_ = reading.values;
        if (!check("FT_Purge RX", link().transport().purgeRx()))
            return;
        finish();
        return;
    }
}

void StatusJob::timeout()
{
    if (reply_.isEmpty()) {
        // A pedal still taking an image reads the request as more of it.
        const QString &cut = link().lastInterruption();
        fail(cut.isEmpty() ? Error{ErrorCode::NoAnswer, QStringLiteral("status request")}
                           : Error{ErrorCode::NoAnswerAfterCut, cut});
        return;
    }
    const StatusReading reading = readStatusReply(reply_);
    fail(Error{ErrorCode::ShortReply, QStringLiteral("%1 of %2").arg(reading.values.size()).arg(kStatusValueCount)});
}

// ---- SendJob ----

SendJob::SendJob(QByteArray message, int pauseMs, bool purgeFirst)
    : SendJob(QList<Part>{{std::move(message), pauseMs, purgeFirst}})
{}

SendJob::SendJob(QList<Part> parts) : parts_(std::move(parts)) {}

void SendJob::sendNext()
{
    if (next_ >= parts_.size()) {
        finish();
        return;
    }
    const Part &part = parts_[next_++];
    if (part.purgeFirst && !check("FT_Purge TX", link().transport().purgeTx()))
        return;
    if (!send(part.message))
        return;
    if (part.pauseMs > 0)
        arm(part.pauseMs);
    else
        sendNext();
}

QString SendJob::interruptedState() const
{
    if (what_.isEmpty() || next_ == 0)
        return {};
    qsizetype total = 0;
    qsizetype handedOver = 0;
    for (int k = 0; k < parts_.size(); ++k) {
        total += parts_[k].message.size();
        if (k < next_)
            handedOver += parts_[k].message.size();
    }
    // Until the last part's pause has ended, the pedal may not have taken it all in.
    const qsizetype out = handedOver - std::min(handedOver, link().unsentBytes());
    return QStringLiteral("the %1 was interrupted after %2 of %3 bytes; the pedal may hold only part of it: upload "
                          "again")
        .arg(what_)
        .arg(out)
        .arg(total);
}

// ---- UploadJob ----

UploadJob::UploadJob(QString imageText, QByteArray bypass)
    : bypass_(std::move(bypass)), imageText_(std::move(imageText))
{}

std::unique_ptr<UploadJob> UploadJob::fromFile(QByteArray bytes, QByteArray bypass)
{
    std::unique_ptr<UploadJob> job(new UploadJob(std::move(bypass)));
    job->fileBytes_ = std::move(bytes);
    job->fromFile_ = true;
    return job;
}

void UploadJob::start()
{
    if (!send(bypass_))
        return;
    arm(fromFile_ ? kFileUploadBypassPauseMs : kUploadBypassPauseMs);
}

QByteArray UploadJob::imageBytes()
{
    if (fromFile_)
        return fileBytes_;
    const int n = static_cast<int>(std::min<qsizetype>(imageText_.size() / 2, kUsbBufferSize));
    log().print(QStringLiteral("size: %1").arg(n));
    log().print(QStringLiteral("filecontent (first 128 bytes): ") + imageText_.left(256));
    // The conversion stops at the first pair that is not two hex digits; what came before it
    // goes out, as the image's own length field tells the pedal what to expect.
    QByteArray bytes(n, '\0');
    bytes.truncate(hexToBuffer(imageText_, reinterpret_cast<quint8 *>(bytes.data()), n));
    log().print(QStringLiteral("num of bytes: %1").arg(bytes.size()));
    return bytes;
}

void UploadJob::sendImage()
{
    const QByteArray bytes = imageBytes();
    // Whatever the pedal said before the image is not its answer to it.
    reply_.clear();
    imageSize_ = bytes.size();
    if (!send(bytes))
        return;
    log().print(fromFile_ ? QStringLiteral("%1 Bytes Sent ...").arg(bytes.size()) : QStringLiteral("write to device"));
    step_ = Step::AwaitFirst;
    arm(timing().uploadAnswerBoundMs);
}

QString UploadJob::interruptedState() const
{
    if (imageSize_ == 0)
        return {}; // only the bypass went out
    const qsizetype out = imageSize_ - std::min(imageSize_, link().unsentBytes());
    if (out == imageSize_)
        return QStringLiteral("the algorithm upload was interrupted after all %1 bytes, before the pedal confirmed "
                              "it: upload again")
            .arg(imageSize_);
    return QStringLiteral("the algorithm upload was interrupted after %1 of %2 bytes; the pedal may wait for the "
                          "rest: upload again")
        .arg(out)
        .arg(imageSize_);
}

void UploadJob::bytesArrived(const QByteArray &bytes)
{
    reply_ += bytes;
    if (step_ == Step::Pause)
        return;
    if (fromFile_)
        log().print(QStringLiteral("num of bytes received from device: %1").arg(bytes.size()));
    // The answer is short text; it is whole once the pedal has been silent for a while.
    step_ = Step::Gather;
    arm(timing().replySilenceMs);
}

void UploadJob::timeout()
{
    switch (step_) {
    case Step::Pause:
        sendImage();
        return;
    case Step::AwaitFirst:
        fail(Error{ErrorCode::NoAnswer, QStringLiteral("algorithm upload")});
        return;
    case Step::Gather:
        answer_ = QString::fromLatin1(reply_.left(kUploadAnswerChars));
        log().print(QStringLiteral("received: ") + answer_);
        finish();
        return;
    }
}

} // namespace vadrelon
