#pragma once
// Bootloader frames as the tests write them: hex text, and bytes followed by their exclusive
// or, as addresses, data blocks and page lists carry it.
#include <QByteArray>

namespace vadrelon::test {

inline QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

inline QByteArray withXor(const QByteArray &bytes)
{
    char x = 0;
    for (char b : bytes)
        x ^= b;
    return bytes + x;
}

inline QByteArray withXor(const char *text)
{
    return withXor(hex(text));
}

} // namespace vadrelon::test
