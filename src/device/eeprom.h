#pragma once
// The pedal's settings memory (a serial EEPROM at I2C address 0x50 or 0x51): the messages that
// erase it and ask for its dump, the hand-typed parameter message of the debug console, and
// the dump itself. Every text a person types is checked here, so that nothing shifted or stale
// reaches the pedal.
#include "base/error.h"
#include "device/link.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vadrelon {

constexpr int kEepromBytes = 16384;
constexpr quint8 kEepromDumpMarker = 0xAB;

// "0B" a "00" "0000": erase the memory at I2C address a (two hex digits, "50" or "51").
Result<QString> buildEepromEraseMessage(const QString &i2cAddress);
// "0C" a "0000" "0000": ask for its dump.
Result<QString> buildEepromReadMessage(const QString &i2cAddress);
// "01", a DSP address of exactly four hex digits and a value of exactly eight: the seven-byte
// parameter message.
Result<QString> buildRawParameterMessage(const QString &address, const QString &value);

// The console's listing of a dump: "pos: XX" for each byte received after the marker.
QStringList eepromDumpTrace(const QByteArray &bytes);

// Asks for the dump of one memory and waits for the 0xAB marker and its 16384 bytes, at most
// 4 s (the dump needs about 1.5 s on the line); it ends as soon as the dump is whole. A dump
// that stops short is reported as short, never padded.
class EepromReadJob : public Job {
public:
    explicit EepromReadJob(QByteArray message);
    // The 16384 bytes, once the job has finished.
    const QByteArray &dump() const { return dump_; }

protected:
    void start() override;
    void bytesArrived(const QByteArray &bytes) override;
    void timeout() override;

private:
    QByteArray message_;
    QByteArray received_;
    QByteArray dump_;
};

} // namespace vadrelon
