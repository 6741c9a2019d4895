#pragma once
// A model of the pedal that the editor cannot tell from the real one through the serial link:
// the running firmware's face (fixed-length messages, status reply, upload acknowledgement,
// EEPROM dump, bootloader entry) and the STM32 system bootloader's face (AN3155).
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <array>
#include <memory>

namespace vadrelon::sim {

// The serial framing the host side has set; the bootloader only understands even parity.
struct Framing {
    quint32 baud = 115200;
    quint8 dataBits = 8;
    quint8 stopBits = 0; // D2XX code: 0 = one stop bit
    quint8 parity = 0;   // D2XX code: 0 = none, 2 = even
    // A pseudo-terminal cannot carry parity: the pty server says it does not know it, and
    // then neither face looks at the framing.
    bool parityKnown = true;
};

struct ReceivedMessage {
    qint64 msecsSinceEpoch = 0; // when the last byte of the message arrived
    QByteArray bytes;
};

// Block positions of the parameters whose status value is a step number, not the level sent.
constexpr int kLowPassIndex = 5;
constexpr int kHighPassIndex = 6;
constexpr int kRangeIndex = 9;

// What the status reply reports, plus the few settings the pedal keeps without reporting them.
struct PedalState {
    quint8 firmwareVersion = 11;
    quint16 algorithmVersion = 0x0012; // BCD
    quint8 effectNumber = 0;
    quint8 footswitchMode = 0;
    std::array<quint8, 5> assignFlags{}; // I, II, III, IV, Remote
    std::array<quint16, 5> assignAddresses{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    quint8 tuning = 0;
    qint8 semitones = 0;
    quint8 bypass = 0;
    quint8 bypassStorage = 0;
    quint8 instrument = 255;
    quint8 midiChannel = 0;
    // Sixteen parameter values in block order (Dry, Sub Mix, -1 Oct, -2 Oct, Wave, Low Pass,
    // High Pass, 1st Harmonic, Split, Range, Input Level, 1st Harmonic Pitch, Wave Clip,
    // Dominant Notes Cut, High Notes Cut, Dry HPF), as the status reply reports them: steps
    // for Low Pass (0..24), High Pass (0..16) and Range (0..22), the value sent for the others.
    std::array<quint32, 16> parameters{};

    // Not reported.
    quint8 trackingLimit = 0;      // 1 on, 0 off
    QByteArray tuningCoefficients; // the 640 bytes of the last tuning data message
};

// The frames of an AN3155 command that the bootloader answers, in the order the host sends them.
enum class BootloaderStep {
    Command, // the command byte and its complement
    Address, // four address bytes and their checksum (Read Memory, Go, Write Memory)
    Count,   // Read Memory's byte count and its complement
    Data,    // Write Memory's data block and its checksum
    Erase,   // Erase's page list and checksum, or the global-erase code
};

// Faults to inject; each stays until cleared.
struct Faults {
    bool silent = false;          // answers nothing at all
    int answerDelayMs = 0;        // extra delay before any answer starts
    int cutReplyAfterBytes = -1;  // status reply cut short after this many bytes
    int splitReplyAtByte = -1;    // status reply cut in two here, the second part after splitReplyGapMs
    QList<int> splitReplyAtBytes; // further cuts, each part after splitReplyGapMs of quiet line
    int splitReplyGapMs = 50;
    bool garbleReply = false;         // every status reply byte garbled: no digit, and no CR LF either
    bool garbleReplyDigits = false;   // digits garbled, CR LF kept: the right number of lines, none a number
    int nackAtBootloaderCommand = -1; // AN3155 command byte (0x31 write, 0x43 erase, 0x21 go …) answered
    BootloaderStep nackAtBootloaderStep = BootloaderStep::Command; // with NACK at this step
    int nackTimes = -1;                                            // how many times that NACK comes; -1: every time
    int unplugAfterMessages = -1; // the device disappears after this many received messages

    // The status reply's text. Byte offsets (cutReplyAfterBytes, the splits, dieAfterReplyBytes)
    // count everything sent for the request: prefix, reply, suffix.
    int replyValueCount = -1;              // only the first this many values (lines) are sent
    QMap<int, QByteArray> replyValueTexts; // value number (0-based) → the text sent in its place, as is
    QByteArray replyPrefix;                // sent just before the status reply, e.g. a stray CR LF
    QByteArray replySuffix;                // sent just after it
    int statusRequestsAnswered = -1;       // only the first this many status requests get a reply
    QByteArray uploadAnswer;               // said after an algorithm image in place of "Upload complete" CR LF

    // Bytes sent unasked every chatterEveryMs for as long as the pedal is plugged in, whatever
    // else it does (silent too). Faults are plain data, so the pedal looks for chatter in the
    // event loop turn after each faults() call; the first burst comes a period after that.
    QByteArray chatter;
    int chatterEveryMs = 0;

    // The status reply stops after this many bytes and the pedal is pulled out, as by
    // unplugAfterMessages, kDyingPauseMs after the last of them has arrived.
    int dieAfterReplyBytes = -1;
    // After this many received messages the pedal takes no more bytes from the host (they are
    // lost, as is the rest of the write that brought the last message); what it has still to
    // send it sends, and it stays plugged in. Cleared, it reads what comes next.
    int stopReadingAfterMessages = -1;
    // A flash cell that does not take: the byte at this offset from the start of flash keeps
    // its lowest bit set whatever is written, while the write is still acknowledged, as a worn
    // cell does. Only reading the flash back finds it.
    int stuckBitOffset = -1;
};

// Long enough for a host that reads bytes as they come to have taken the last of a dying
// pedal's reply before its port goes, which makes the reading fail.
constexpr int kDyingPauseMs = 20;

// The flash of the modelled STM32F103: 128 KiB from 0x08000000, 1 KiB pages; the firmware's
// version record sits in the last-but-one KiB.
constexpr quint32 kFlashStart = 0x08000000;
constexpr int kFlashSize = 128 * 1024;
constexpr int kFlashPageSize = 1024;
constexpr quint32 kFirmwareVersionByteAddress = 0x0801FC07;
constexpr int kEepromSize = 16384;

// The addresses of algorithm version 0012: sixteen in block order, 0 where a parameter has none.
std::array<quint16, 16> defaultParameterAddresses();
// The sixteen addresses from the 18-word header that starts at byte 3 of an algorithm image;
// header words 10 to 12 belong to no parameter and "Range" has none.
std::array<quint16, 16> parameterAddressesFromImage(const QByteArray &image);
// A level message value (level × 8192) as the step number the pedal reports for it.
quint32 levelValueToStep(quint32 value, int maxStep);
// The values a status reply carries.
constexpr int kStatusValueCount = 90;
// The status reply for a state: every value in decimal followed by CR LF, in reply order.
QByteArray buildStatusReply(const PedalState &state);

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
    // Every complete message received so far, in order. In the bootloader each step the
    // bootloader answers (sync byte, command pair, address, data block, erase list) counts as
    // one message.
    QList<ReceivedMessage> received() const;
    void clearReceived();

    Face face() const;
    // Power-up with SHIFT held: the pedal comes up in its bootloader, waiting for 0x7F.
    void startInBootloader();
    bool isUnplugged() const;
    void unplug();
    // False once stopReadingAfterMessages has taken effect (or the pedal is unplugged): what the
    // host writes then goes unread.
    bool isReading() const;

    // The status reply the running firmware would send now.
    QByteArray statusReply() const;

    // The installed algorithm's parameter addresses, in block order.
    std::array<quint16, 16> parameterAddresses() const;
    // The last algorithm image received whole (empty until one arrives).
    QByteArray installedImage() const;
    // The 16384 bytes of the EEPROM at an I2C address (0x50 or 0x51; empty for others).
    QByteArray eeprom(quint8 i2cAddress) const;
    void setEeprom(quint8 i2cAddress, const QByteArray &bytes);
    // The whole 128 KiB of flash.
    QByteArray flash() const;

signals:
    // Bytes the pedal sends, emitted when they would have arrived at the host.
    void toHost(const QByteArray &bytes);
    void messageReceived(const vadrelon::sim::ReceivedMessage &message);
    void unplugged();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace vadrelon::sim
