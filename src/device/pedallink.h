#pragma once
// The link to the pedal: the link state, the serial settings of the two link modes, and the
// read helpers that every exchange with the pedal shares. All waits here are bounded and
// sleep in the event loop until bytes arrive.
#include "device/transport.h"
#include "support/consolelog.h"

#include <QByteArray>
#include <QString>
#include <variant>

namespace vadrelon {

enum LinkMode { LinkModeNormal = 0, LinkModeBootloader = 2 };

// The bootloader's acknowledge byte 0x79 as two hex digits.
inline const QString BootloaderAck = QStringLiteral("79");

// What the editor knows of the link and of the pedal's last status reply.
struct DeviceState {
    QString LinkSerialNumber;
    bool DeviceLinked = false;
    bool FirmwareUpgradeMode = false;
    bool LegacyUpgradeLink = false;
    QByteArray StatusValues;
    QString DeviceFirmwareVersion = QStringLiteral("0");
    QString DeviceAlgorithmVersion;
    QString DeviceEffectNumber;
    quint8 InstrumentCode = 0;
};

// Stores the serial settings of a link mode; UsbSetBaudRate and UsbSetDataCharacteristics
// apply them.
void SelectLinkMode(UsbTransport &transport, int mode);

class PedalExchange {
public:
    // How long the pedal may stay silent before the editor gives up on an answer.
    static constexpr int kAnswerBoundMs = 2000;
    // A reply is whole once the pedal has been silent this long.
    static constexpr int kReplySilenceMs = 100;
    // The sixteen kilobytes of an EEPROM dump after its 0xAB marker.
    static constexpr int kDumpBytes = 16384;

    PedalExchange(UsbTransport &transport, ConsoleLog &log, DeviceState &device);

    // Sends the status request and reads the reply into StatusValues. On failure returns the
    // reason for the user and leaves StatusValues as it was.
    std::variant<QByteArray, QString> RequestStatusValues();
    // Waits for the reply, gathers it whole and decodes it.
    std::variant<QByteArray, QString> ReadStatusReply();
    // Waits for bytes and returns them as text (in upgrade mode the first byte as two hex
    // digits); empty when nothing came within the bound.
    QByteArray ReadReplyText();
    // Waits up to boundMs for the pedal's answer to an upload and gathers it whole; nothing
    // when the pedal stayed silent or could not be read.
    std::optional<QByteArray> ReadUploadAnswer(int boundMs);
    // One DSP write, at once.
    void WriteToDsp(const QString &prefix, quint16 address, quint32 value);
    // The periodic read: drains and traces whatever the pedal sends unasked.
    void PollIncoming();

private:
    enum class Wait { Bytes, Silent, Failed };
    // Waits until bytes are queued, the bound passes, or the queue query fails.
    Wait WaitForBytes(int boundMs);
    // Reads until the pedal has been silent for kReplySilenceMs.
    std::optional<QByteArray> GatherReply();
    void traceDump(const QByteArray &dump);

    UsbTransport &transport_;
    ConsoleLog &log_;
    DeviceState &device_;
    QByteArray dump_;          // an EEPROM dump being gathered across ticks
    qint64 dumpLastBytesMs_ = 0;
};

} // namespace vadrelon
