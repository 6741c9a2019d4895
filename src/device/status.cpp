#include "device/status.h"

#include "base/hexcodec.h"

#include <algorithm>

namespace vadrelon {

namespace {

// A value's text as a person can read it in a message: printable ASCII as it is, anything
// else as \xNN.
QString shown(const QByteArray &text)
{
    QString out;
    for (char c : text) {
        const auto b = static_cast<quint8>(c);
        out += (b >= 0x20 && b < 0x7F) ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(hex2(b));
    }
    return out;
}

// Enough of a bad value to recognise it; a chattering line would otherwise fill the box.
constexpr int kShownBytes = 8;

Error garbled(int valueIndex, const QByteArray &text)
{
    const QString more = text.size() > kShownBytes ? QStringLiteral("…") : QString();
    return {ErrorCode::GarbledReply,
            QStringLiteral("value %1 was \"%2%3\"").arg(valueIndex + 1).arg(shown(text.left(kShownBytes)), more)};
}

} // namespace

StatusReading readStatusReply(const QByteArray &received)
{
    StatusReading r;
    // A bootloader greeted before reads the request as a command with a wrong complement and
    // answers it with one NACK (or, by chance, an ACK); no reply of the firmware starts so.
    if (!received.isEmpty() &&
        (quint8(received[0]) == kBootloaderNackByte || quint8(received[0]) == kBootloaderAckByte)) {
        r.state = StatusReading::State::Refused;
        r.error = {ErrorCode::InBootloader,
                   QStringLiteral("status request answered with ") + bytesToHex(received.left(1))};
        return r;
    }
    int pos = 0;
    const int size = static_cast<int>(received.size());
    while (pos < size) {
        if (r.values.size() == kStatusValueCount) {
            // A later firmware may append values; they are not ours to judge.
            r.following = received.mid(pos);
            break;
        }
        const int cr = static_cast<int>(received.indexOf('\r', pos));
        const QByteArray text = received.mid(pos, cr < 0 ? size - pos : cr - pos);
        const int index = static_cast<int>(r.values.size());
        const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || text.size() > 3 || (cr >= 0 && (text.isEmpty() || text.toInt() > 255))) {
            r.state = StatusReading::State::Refused;
            r.error = garbled(index, text);
            return r;
        }
        if (cr < 0)
            break; // the value goes on in the next read
        r.values.append(static_cast<char>(text.toInt()));
        pos = cr + 1;
        if (pos < size && received[pos] == '\n')
            ++pos;
    }
    if (r.values.size() == kStatusValueCount)
        r.state = StatusReading::State::Complete;
    return r;
}

QStringList statusTrace(const QByteArray &values)
{
    QStringList out;
    out << QStringLiteral("num of bytes received: %1").arg(values.size())
        << QStringLiteral("received_bytes_array size: %1").arg(values.size());
    for (int k = 0; k < values.size(); ++k)
        out << QStringLiteral("%1:    %2").arg(k).arg(hex2(static_cast<quint8>(values[k])));
    return out;
}

} // namespace vadrelon
