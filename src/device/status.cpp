#include "device/status.h"

#include "device/hexcodec.h"

namespace vadrelon {

DecodedStatus decodeStatusValues(const QByteArray &received)
{
    // The reply is read on its hex text: every "D" (of a CR, 0D) closes a field and every "A"
    // (of an LF, 0A) opens the next one. Each digit byte is 3x, so the field's odd characters
    // are the decimal digits. A field of another length (four digits or more) repeats the
    // previous value, as the pedal's readers have always done.
    const QString h = bytesToHex(received);
    DecodedStatus out;
    int start = 0;
    int last = 0;
    for (int j = 0; j < h.size(); ++j) {
        if (h[j] == QLatin1Char('A')) {
            start = j + 1;
        } else if (h[j] == QLatin1Char('D')) {
            const QString field = h.mid(start, std::max(0, j - 1 - start));
            if (field.size() == 2 || field.size() == 4 || field.size() == 6) {
                QString digits;
                for (int k = 1; k < field.size(); k += 2)
                    digits += field[k];
                last = parseDecimal(digits);
            }
            out.values.append(static_cast<char>(last & 0xFF));
            if (j < h.size() - 1 && h[j + 1] == QLatin1Char('A'))
                ++j;
            start = j + 1;
        }
    }
    out.trace << QStringLiteral("num of bytes received: %1").arg(out.values.size())
              << QStringLiteral("received_bytes_array size: %1").arg(out.values.size());
    for (int k = 0; k < out.values.size(); ++k)
        out.trace << QStringLiteral("%1:    %2").arg(k).arg(hex2(static_cast<quint8>(out.values[k])));
    return out;
}

Result<StatusSummary> summarizeStatus(const QByteArray &values, int effectCount)
{
    if (values.size() < kStatusValueCount)
        return Error{ErrorCode::ShortReply, QStringLiteral("%1 of %2").arg(values.size()).arg(kStatusValueCount)};
    const auto at = [&](int i) { return static_cast<quint8>(values[i]); };
    StatusSummary s;
    s.firmware = at(StatusIndex::Firmware);
    s.firmwareVersion = QString::number(s.firmware);
    s.algorithmVersion = hex2(at(StatusIndex::AlgorithmHigh)) + hex2(at(StatusIndex::AlgorithmLow));
    s.effectNumber = hex2(at(StatusIndex::Effect));
    // Both are hex digits read as decimal: a letter among them is not a version we know.
    try {
        s.algorithm = parseDecimal(s.algorithmVersion);
    } catch (const ConversionError &) {
        return Error{
            ErrorCode::UntrustedReply,
            QStringLiteral("The pedal reported an algorithm version that is not valid (%1).").arg(s.algorithmVersion)};
    }
    bool known = true;
    try {
        s.effectRow = parseDecimal(s.effectNumber);
    } catch (const ConversionError &) {
        known = false;
    }
    // A row beyond the catalogue would open the effect window on no effect at all.
    if (!known || s.effectRow > 9 || s.effectRow >= effectCount)
        return Error{ErrorCode::UntrustedReply,
                     QStringLiteral("The pedal reported an effect number that is not valid (%1).").arg(s.effectNumber)};
    return s;
}

} // namespace vadrelon
