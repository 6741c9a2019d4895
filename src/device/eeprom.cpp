#include "device/eeprom.h"

#include "base/consolelog.h"
#include "base/hexcodec.h"

#include <QRegularExpression>

namespace vadrelon {

namespace {

constexpr int kDumpBoundMs = 4000;

bool isHex(const QString &text, int digits)
{
    // Anchored at the very end: "$" alone lets a final line break through.
    static const QRegularExpression hex(QRegularExpression::anchoredPattern(QStringLiteral("[0-9A-Fa-f]*")));
    return text.size() == digits && hex.match(text).hasMatch();
}

Result<QString> checkedAddress(const QString &i2cAddress)
{
    if (!isHex(i2cAddress, 2))
        return Error{ErrorCode::BadInput,
                     QStringLiteral("The memory's address must be two hex digits, such as 50 or 51, not \"%1\".")
                         .arg(i2cAddress.left(16))};
    return i2cAddress.toUpper();
}

} // namespace

Result<QString> buildEepromEraseMessage(const QString &i2cAddress)
{
    Result<QString> a = checkedAddress(i2cAddress);
    if (auto *address = std::get_if<QString>(&a))
        return QStringLiteral("0B") + *address + QStringLiteral("000000");
    return a;
}

Result<QString> buildEepromReadMessage(const QString &i2cAddress)
{
    Result<QString> a = checkedAddress(i2cAddress);
    if (auto *address = std::get_if<QString>(&a))
        return QStringLiteral("0C") + *address + QStringLiteral("00000000");
    return a;
}

Result<QString> buildRawParameterMessage(const QString &address, const QString &value)
{
    if (!isHex(address, 4) || !isHex(value, 8))
        return Error{ErrorCode::BadInput,
                     QStringLiteral("A parameter message needs a DSP address of four hex digits and a value of eight, "
                                    "not \"%1\" and \"%2\"; nothing was sent.")
                         .arg(address.left(16), value.left(16))};
    return QStringLiteral("01") + address.toUpper() + value.toUpper();
}

QStringList eepromDumpTrace(const QByteArray &bytes)
{
    QStringList lines;
    const int count = std::min<int>(static_cast<int>(bytes.size()), kEepromBytes);
    lines.reserve(count);
    for (int pos = 0; pos < count; ++pos)
        lines << QStringLiteral("%1: %2").arg(pos).arg(hex2(static_cast<quint8>(bytes[pos])));
    return lines;
}

EepromReadJob::EepromReadJob(QByteArray message) : message_(std::move(message)) {}

void EepromReadJob::start()
{
    // Bytes that came before the request are not its dump.
    if (!check("FT_Purge RX", link().transport().purgeRx()))
        return;
    log().print(bytesToHex(message_));
    if (!send(message_))
        return;
    arm(kDumpBoundMs);
}

void EepromReadJob::bytesArrived(const QByteArray &bytes)
{
    received_ += bytes;
    if (static_cast<quint8>(received_.front()) != kEepromDumpMarker) {
        fail(Error{ErrorCode::DumpGarbled, QStringLiteral("The pedal's answer began with %1, not with a memory dump. "
                                                          "Read the memory again.")
                                               .arg(hex2(quint8(received_.front())))});
        return;
    }
    if (received_.size() < 1 + kEepromBytes)
        return;
    dump_ = received_.mid(1, kEepromBytes);
    log().printLines(eepromDumpTrace(dump_));
    finish();
}

void EepromReadJob::timeout()
{
    const int got = std::max(0, static_cast<int>(received_.size()) - 1);
    if (received_.isEmpty()) {
        fail(Error{ErrorCode::NoAnswer, QStringLiteral("memory dump request")});
        return;
    }
    log().print(QStringLiteral("memory dump incomplete: %1 of %2 bytes received").arg(got).arg(kEepromBytes));
    fail(Error{ErrorCode::DumpShort, QStringLiteral("The memory dump stopped after %1 of its %2 bytes; nothing of it "
                                                    "was kept. Check the cable and read the memory again.")
                                         .arg(got)
                                         .arg(kEepromBytes)});
}

} // namespace vadrelon
