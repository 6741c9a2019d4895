#pragma once
// A model of the pedal that the editor cannot tell from the real one through the serial link:
// the running firmware's face (fixed-length messages, status reply, upload acknowledgement,
// EEPROM dump, bootloader entry) and the STM32 system bootloader's face (AN3155).
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <array>

namespace vadrelon::sim {

// The serial framing the host side has set; the bootloader only understands even parity.
struct Framing {
    quint32 baud = 115200;
    quint8 dataBits = 8;
    quint8 stopBits = 0; // D2XX code: 0 = one stop bit
    quint8 parity = 0;   // D2XX code: 0 = none, 2 = even
    // A pseudo-terminal cannot carry parity: the pty server says it does not know it.
    bool parityKnown = true;
};

struct ReceivedMessage {
    qint64 msecsSinceEpoch = 0; // when the last byte of the message arrived
    QByteArray bytes;
};

// What the status reply reports.
struct PedalState {
    quint8 firmwareVersion = 11;
    quint16 algorithmVersion = 0x0012; // BCD
    quint8 effectNumber = 0;
    quint8 footswitchMode = 0;
    std::array<quint8, 5> assignFlags{};                       // I, II, III, IV, Remote
    std::array<quint16, 5> assignAddresses{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    quint8 tuning = 0;
    qint8 semitones = 0;
    quint8 bypass = 0;
    quint8 bypassStorage = 0;
    quint8 instrument = 255;
    quint8 midiChannel = 0;
    // Sixteen parameter values in block order (Dry, Sub Mix, -1 Oct, -2 Oct, Wave, Low Pass,
    // High Pass, 1st Harmonic, Split, Range, Input Level, 1st Harmonic Pitch, Wave Clip,
    // Dominant Notes Cut, High Notes Cut, Dry HPF).
    std::array<quint32, 16> parameters{};
};

}

namespace vadrelon::sim {

// Faults to inject; each stays until cleared.
struct Faults {
    bool silent = false;            // answers nothing at all
    int answerDelayMs = 0;          // extra delay before any answer starts
    int cutReplyAfterBytes = -1;    // status reply cut short after this many bytes
    int splitReplyAtByte = -1;      // status reply sent in two parts, the second 50 ms later
    bool garbleReply = false;       // status reply bytes garbled (not decimal digits)
    int nackAtBootloaderCommand = -1; // AN3155 command byte (0x31 write, 0x43/0x44 erase, 0x21 go) answered with NACK
    int unplugAfterMessages = -1;   // the device disappears after this many received messages
};

class VirtualPedal : public QObject {
    Q_OBJECT
public:
    enum class Face { Firmware, Bootloader };

    explicit VirtualPedal(QObject *parent = nullptr);
    ~VirtualPedal() override;

    // How the pedal appears in a device list.
    QByteArray serialNumber = "VP000001";
    QByteArray description = "Vadrelon MK3 (virtual)";

    PedalState &state();
    Faults &faults();
    // 115200 baud, 10 bits a byte (11 with parity), in both directions.
    void setLineRate(bool on);

    // Bytes written by the host, with the framing the host has set.
    void hostWrite(const QByteArray &bytes, const Framing &framing);
    // Every complete message received so far, in order.
    QList<ReceivedMessage> received() const;
    void clearReceived();

    Face face() const;
    bool isUnplugged() const;
    void unplug();

    // The status reply the running firmware would send now.
    QByteArray statusReply() const;

signals:
    // Bytes the pedal sends, emitted when they would have arrived at the host.
    void toHost(const QByteArray &bytes);
    void messageReceived(const vadrelon::sim::ReceivedMessage &message);
    void unplugged();

private:
    struct Impl;
    Impl *d;
};

} // namespace vadrelon::sim
