#pragma once
// Every message to the pedal is first written as text of upper-case hex digit pairs, traced,
// then converted into bytes; replies are turned back into hex text before they are read.
#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace vadrelon {

// A text that had to be a number and was not. It ends the running command with a clear
// message instead of a crash.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One byte per pair; an odd last character is ignored; a pair that is not two hex digits
// throws ConversionError.
QByteArray hexToBytes(const QString &text);
// Converts pairs into dest, at most count bytes, stopping quietly at the first bad pair;
// returns the number of bytes written.
int hexToBuffer(const QString &text, quint8 *dest, int count);
QString bytesToHex(const quint8 *bytes, int count);
QString bytesToHex(const QByteArray &bytes);
// length/2 bytes, filled by hexToBuffer; bytes from the first bad pair on stay zero.
QByteArray hexToByteString(const QString &text);
// Exclusive or of the first n bytes of text, read as hexToBytes reads them.
quint8 xorChecksum(const QString &text, int n);

// Fixed-width upper-case hex of a number, as every message field is written.
QString hex2(quint32 v);
QString hex4(quint32 v);
QString hex8(quint32 v);

// A decimal whole number, or ConversionError naming the text.
int parseDecimal(const QString &text);

} // namespace vadrelon
