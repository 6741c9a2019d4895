#include "device/pedallink.h"

#include "device/hexcodec.h"
#include "device/status.h"
#include "support/waits.h"

#include <QDateTime>
#include <QDeadlineTimer>

namespace vadrelon {

void SelectLinkMode(UsbTransport &transport, int mode)
{
    transport.UsbBaudRate = 115200;
    transport.UsbDataBits = FT_BITS_8;
    transport.UsbStopBits = FT_STOP_BITS_1;
    if (mode == LinkModeBootloader)
        transport.UsbParity = FT_PARITY_EVEN;
    else if (mode == LinkModeNormal)
        transport.UsbParity = FT_PARITY_NONE;
}

PedalExchange::PedalExchange(UsbTransport &transport, ConsoleLog &log, DeviceState &device)
    : transport_(transport), log_(log), device_(device)
{
}

PedalExchange::Wait PedalExchange::WaitForBytes(int boundMs)
{
    QDeadlineTimer deadline(static_cast<qint64>(boundMs * waitScale()));
    for (;;) {
        if (transport_.UsbQueueStatus() != FT_OK)
            return Wait::Failed;
        if (transport_.UsbQueuedBytes > 0)
            return Wait::Bytes;
        if (deadline.hasExpired())
            return Wait::Silent;
        // Sleep in the event loop until the driver says bytes came, or the bound passes.
        WaitForSignal(&transport_.driver(), &SerialDriver::bytesArrived,
                      static_cast<int>(deadline.remainingTime() / waitScale()) + 1);
    }
}

std::optional<QByteArray> PedalExchange::GatherReply()
{
    QByteArray gathered;
    for (;;) {
        const quint32 n = transport_.UsbRead(kUsbBufferSize);
        if (transport_.UsbIoStatus != FT_OK)
            return std::nullopt;
        if (n == 0)
            break;
        gathered += transport_.lastRead();
        const Wait w = WaitForBytes(kReplySilenceMs);
        if (w == Wait::Failed)
            return std::nullopt;
        if (w == Wait::Silent)
            break;
    }
    return gathered;
}

std::variant<QByteArray, QString> PedalExchange::RequestStatusValues()
{
    HexToBuffer(QStringLiteral("0200"), transport_.UsbTxBuffer.data(), 2);
    transport_.UsbPurgeTx();
    transport_.UsbWrite(2);
    WaitMs(200);
    return ReadStatusReply();
}

std::variant<QByteArray, QString> PedalExchange::ReadStatusReply()
{
    switch (WaitForBytes(kAnswerBoundMs)) {
    case Wait::Failed:
        return QStringLiteral("The pedal could not be read. Check the cable and link again.");
    case Wait::Silent:
        return QStringLiteral("The pedal did not answer the status request within %1 seconds. "
                              "Check that it is powered and linked, then press Request.")
            .arg(kAnswerBoundMs / 1000);
    case Wait::Bytes:
        break;
    }
    transport_.UsbPurgeTx();
    // The whole reply is gathered before it is decoded: each read lands at the start of the
    // receive buffer, so decoding the buffer after the last read would lose the first parts
    // and pick up stale bytes of an earlier, longer read.
    const std::optional<QByteArray> reply = GatherReply();
    if (!reply)
        return QStringLiteral("The pedal could not be read. Check the cable and link again.");
    DecodedStatus decoded;
    try {
        decoded = DecodeStatusValues(*reply);
    } catch (const ConversionError &e) {
        transport_.UsbPurgeRx();
        return QStringLiteral("The pedal's status reply could not be read (%1). Press Request to try again.")
            .arg(QString::fromStdString(e.what()));
    }
    for (const QString &line : decoded.trace)
        log_.ConsolePrint(line);
    if (!decoded.values.isEmpty())
        device_.StatusValues = decoded.values;
    transport_.UsbPurgeRx();
    return decoded.values;
}

QByteArray PedalExchange::ReadReplyText()
{
    if (WaitForBytes(kAnswerBoundMs) != Wait::Bytes)
        return {};
    const QByteArray bytes = GatherReply().value_or(QByteArray());
    log_.ConsolePrint(QStringLiteral("num of bytes received: %1").arg(bytes.size()));
    transport_.UsbPurgeRx();
    if (device_.FirmwareUpgradeMode)
        return BytesToHex(bytes.left(1)).toLatin1();
    return bytes;
}

std::optional<QByteArray> PedalExchange::ReadUploadAnswer(int boundMs)
{
    if (WaitForBytes(boundMs) != Wait::Bytes)
        return std::nullopt;
    return GatherReply();
}

void PedalExchange::WriteToDsp(const QString &prefix, quint16 address, quint32 value)
{
    const QString text = prefix + hex4(address) + hex8(value);
    const int count = static_cast<quint8>(text.size() / 2);
    log_.ConsolePrint(QStringLiteral("write to DSP msg: ") + text);
    HexToBuffer(text, transport_.UsbTxBuffer.data(), count);
    transport_.UsbWrite(static_cast<quint32>(count));
}

void PedalExchange::PollIncoming()
{
    transport_.UsbErrorReporting = false;
    if (transport_.UsbQueueStatus() == FT_OK) {
        const quint32 n = transport_.UsbRead(kUsbBufferSize);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (n > 0) {
            log_.ConsolePrint(QStringLiteral("num of bytes read: %1").arg(n));
            const QByteArray bytes = transport_.lastRead();
            // A memory dump arrives over many ticks at 115200 baud: gather it whole before
            // listing it, so that no position shows a byte of some other read.
            if (dump_.isEmpty() && static_cast<quint8>(bytes[0]) == 0xAB)
                dump_ = bytes;
            else if (!dump_.isEmpty())
                dump_ += bytes;
            dumpLastBytesMs_ = now;
        }
        if (!dump_.isEmpty() &&
            (dump_.size() > kDumpBytes || now - dumpLastBytesMs_ > kAnswerBoundMs * waitScale()))
            traceDump(dump_);
    }
    transport_.UsbErrorReporting = true;
}

void PedalExchange::traceDump(const QByteArray &dump)
{
    const int available = static_cast<int>(dump.size()) - 1;
    if (available < kDumpBytes)
        log_.ConsolePrint(QStringLiteral("memory dump incomplete: %1 of %2 bytes received")
                              .arg(available)
                              .arg(kDumpBytes));
    QStringList lines;
    lines.reserve(std::min(available, kDumpBytes));
    for (int pos = 0; pos < kDumpBytes && pos < available; ++pos)
        lines << QStringLiteral("%1: %2").arg(pos).arg(hex2(static_cast<quint8>(dump[pos + 1])));
    log_.ConsolePrintLines(lines);
    dump_.clear();
}

} // namespace vadrelon
