#include "base/hexcodec.h"

namespace vadrelon {

namespace {

int nibble(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// The byte written by the pair at character position i, or -1 when it is not two hex digits.
int pairAt(const QString &text, int i)
{
    const int hi = nibble(text[i]);
    const int lo = nibble(text[i + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

QString fixedHex(quint32 v, int digits)
{
    return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper().right(digits);
}

} // namespace

QByteArray hexToBytes(const QString &text)
{
    QByteArray out;
    const int pairs = static_cast<int>(text.size() / 2);
    out.reserve(pairs);
    for (int k = 0; k < pairs; ++k) {
        const int b = pairAt(text, 2 * k);
        if (b < 0)
            throw ConversionError("'" + text.mid(2 * k, 2).toStdString() + "' is not a valid hexadecimal value");
        out.append(static_cast<char>(b));
    }
    return out;
}

int hexToBuffer(const QString &text, quint8 *dest, int count)
{
    const int pairs = static_cast<int>(text.size() / 2);
    int n = 0;
    while (n < count && n < pairs) {
        const int b = pairAt(text, 2 * n);
        if (b < 0)
            break;
        dest[n++] = static_cast<quint8>(b);
    }
    return n;
}

QString bytesToHex(const quint8 *bytes, int count)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(bytes), count).toHex().toUpper());
}

QString bytesToHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray hexToByteString(const QString &text)
{
    QByteArray out(static_cast<int>(text.size() / 2), '\0');
    hexToBuffer(text, reinterpret_cast<quint8 *>(out.data()), static_cast<int>(out.size()));
    return out;
}

quint8 xorChecksum(const QString &text, int n)
{
    const QByteArray bytes = hexToBytes(text.left(2 * n));
    quint8 x = 0;
    for (char b : bytes)
        x ^= static_cast<quint8>(b);
    return x;
}

QString hex2(quint32 v)
{
    return fixedHex(v, 2);
}
QString hex4(quint32 v)
{
    return fixedHex(v, 4);
}
QString hex8(quint32 v)
{
    return fixedHex(v, 8);
}

int parseDecimal(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || text.trimmed().isEmpty())
        throw ConversionError("'" + text.toStdString() + "' is not a valid integer value");
    return v;
}

} // namespace vadrelon
