#include "virtualpedal.h"

#include "base/hexcodec.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>

namespace vadrelon::sim {

namespace {

constexpr quint8 kAck = 0x79;
constexpr quint8 kNack = 0x1F;
constexpr quint8 kBootloaderVersion = 0x22;
constexpr quint16 kProductId = 0x410;
constexpr quint8 kEepromDumpMark = 0xAB;
// An algorithm image carries its version at 123-124, so anything shorter is not one; the
// editor never writes more than its 65536-byte buffer.
constexpr int kImageMinLength = 128;
constexpr int kImageMaxLength = 65536;
constexpr int kImageVersionOffset = 123;
constexpr int kImageHeaderOffset = 3;
// Line-rate traffic moves in pieces of this size, so a long transfer trickles in.
constexpr int kLineChunk = 64;
constexpr quint32 kLineBaud = 115200;

const char kHeader0012[] = "0011A0002500ED00A5007B000200CF00E300A600EE00520066005C000A007800EC001B000C0006";

// Header word (0-based) that carries each parameter's address; -1 for "Range".
constexpr std::array<int, 16> kHeaderWordOfParameter{0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 12, 13, 14, 15, 16, 17};

// Length of a running-firmware message by its first byte; 0 for a byte that starts none.
int firmwareMessageLength(quint8 command)
{
    switch (command) {
    case 0x01:
        return 7;
    case 0x02:
        return 2;
    case 0x03:
        return 25;
    case 0x04:
        return 16;
    case 0x05:
        return 8;
    case 0x07:
        return 2;
    case 0x08:
        return 3;
    case 0x09:
        return 3;
    case 0x0B:
        return 5;
    case 0x0C:
        return 6;
    case 0x0D:
        return 2;
    case 0x0E:
        return 641;
    case 0x0F:
        return 8;
    case 0x10:
        return 2;
    case 0x11:
        return 2;
    default:
        return 0;
    }
}

quint8 byteAt(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

quint32 bigEndian(const QByteArray &bytes, int offset, int count)
{
    quint32 v = 0;
    for (int i = 0; i < count; ++i)
        v = (v << 8) | byteAt(bytes, offset + i);
    return v;
}

quint8 xorOf(const QByteArray &bytes, int from, int count)
{
    quint8 x = 0;
    for (int i = from; i < from + count; ++i)
        x ^= byteAt(bytes, i);
    return x;
}

int stepScaleOf(int parameterIndex)
{
    switch (parameterIndex) {
    case kLowPassIndex:
        return 24;
    case kHighPassIndex:
        return 16;
    case kRangeIndex:
        return 22;
    default:
        return 0;
    }
}

// Callbacks run in the order they were queued, each no earlier than its due time, from the
// event loop; one timer serves the whole queue.
//
// An entry can also ask for quiet since the one before it actually ran: a busy machine runs an
// entry late, and the planned times after it would then shorten the pause that follows.
class TimedQueue {
public:
    TimedQueue(const QElapsedTimer &clock) : clock_(clock)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { run(); });
    }
    // Due times never run backwards, so that order is kept whatever delay each entry asks for.
    qint64 push(qint64 dueUs, std::function<void()> action, qint64 quietUs = 0)
    {
        dueUs = std::max(dueUs, lastDueUs_);
        lastDueUs_ = dueUs;
        queue_.push_back({dueUs, quietUs, std::move(action)});
        arm();
        return dueUs;
    }
    void clear()
    {
        queue_.clear();
        timer_.stop();
    }

private:
    struct Entry {
        qint64 dueUs;
        qint64 quietUs;
        std::function<void()> action;
    };
    qint64 nowUs() const { return clock_.nsecsElapsed() / 1000; }
    qint64 readyUs(const Entry &e) const { return std::max(e.dueUs, lastRunUs_ + e.quietUs); }
    void arm()
    {
        if (queue_.empty())
            return;
        const qint64 waitUs = std::max<qint64>(0, readyUs(queue_.front()) - nowUs());
        timer_.start(static_cast<int>((waitUs + 999) / 1000));
    }
    void run()
    {
        while (!queue_.empty() && readyUs(queue_.front()) <= nowUs() + 500) {
            auto action = std::move(queue_.front().action);
            queue_.pop_front();
            lastRunUs_ = nowUs();
            action();
        }
        arm();
    }

    const QElapsedTimer &clock_;
    QTimer timer_;
    std::deque<Entry> queue_;
    qint64 lastDueUs_ = 0;
    qint64 lastRunUs_ = 0;
};

} // namespace

std::array<quint16, 16> parameterAddressesFromImage(const QByteArray &image)
{
    std::array<quint16, 16> addresses{};
    for (int p = 0; p < 16; ++p) {
        const int word = kHeaderWordOfParameter[p];
        const int offset = kImageHeaderOffset + 2 * word;
        if (word >= 0 && offset + 2 <= image.size())
            addresses[p] = static_cast<quint16>(bigEndian(image, offset, 2));
    }
    return addresses;
}

std::array<quint16, 16> defaultParameterAddresses()
{
    return parameterAddressesFromImage(hexToBytes(QString::fromLatin1(kHeader0012)));
}

quint32 levelValueToStep(quint32 value, int maxStep)
{
    const quint32 level = std::min<quint32>(value >> 13, 1023);
    return (level * maxStep + 511) / 1023;
}

namespace {

QList<quint8> statusValues(const PedalState &s)
{
    QList<quint8> values;
    values << s.firmwareVersion << quint8(s.algorithmVersion >> 8) << quint8(s.algorithmVersion & 0xFF)
           << s.effectNumber << s.footswitchMode;
    for (quint8 flag : s.assignFlags)
        values << flag;
    for (quint16 address : s.assignAddresses)
        values << quint8(address >> 8) << quint8(address & 0xFF);
    values << s.tuning << quint8(s.semitones) << s.bypass << s.bypassStorage << s.instrument << s.midiChannel;
    for (quint32 v : s.parameters)
        values << quint8(v >> 24) << quint8(v >> 16) << quint8(v >> 8) << quint8(v);
    return values;
}

// The reply's lines, with as many values as `count` asks (all when negative) and any value's
// text replaced.
QByteArray statusReplyText(const PedalState &s, int count, const QMap<int, QByteArray> &texts)
{
    const QList<quint8> values = statusValues(s);
    const int lines = count < 0 ? int(values.size()) : std::min(count, int(values.size()));
    QByteArray reply;
    for (int i = 0; i < lines; ++i)
        reply += texts.value(i, QByteArray::number(values[i])) + "\r\n";
    return reply;
}

} // namespace

QByteArray buildStatusReply(const PedalState &s)
{
    return statusReplyText(s, -1, {});
}

struct VirtualPedal::Impl {
    enum class Stage { Sync, Command, Address, ReadCount, WriteData, Erase };

    explicit Impl(VirtualPedal &q) : q(q), inbound(clock), outbound(clock)
    {
        clock.start();
        chatterTimer.setSingleShot(true);
        chatterTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&chatterTimer, &QTimer::timeout, [this] { chatterTick(); });
        addresses = defaultParameterAddresses();
        eeproms[0x50] = QByteArray(kEepromSize, char(0xFF));
        eeproms[0x51] = QByteArray(kEepromSize, char(0xFF));
        flash = QByteArray(kFlashSize, char(0xFF));
    }

    VirtualPedal &q;
    QElapsedTimer clock;
    TimedQueue inbound;  // host bytes still on the wire (line rate only)
    TimedQueue outbound; // answers on their way to the host
    qint64 inboundFreeUs = 0;
    qint64 outboundFreeUs = 0;
    // Chatter keeps its own timer: the outbound queue would hold it behind a delayed answer.
    QTimer chatterTimer;
    qint64 nextChatterUs = -1; // -1 while there is no chatter

    PedalState state;
    Faults faults;
    bool lineRate = false;
    Face face = Face::Firmware;
    bool isUnplugged = false;
    QList<ReceivedMessage> received;
    int statusRequests = 0;

    std::array<quint16, 16> addresses{};
    QByteArray installedImage;
    std::map<quint8, QByteArray> eeproms;
    QByteArray flash;

    QByteArray firmwareRx;
    QByteArray bootloaderRx;
    Stage stage = Stage::Sync;
    quint8 command = 0;
    quint32 address = 0;

    qint64 nowUs() const { return clock.nsecsElapsed() / 1000; }
    static qint64 lineTimeUs(int bytes, int bitsPerByte) { return qint64(bytes) * bitsPerByte * 1000000 / kLineBaud; }

    // --- both directions -------------------------------------------------------------------

    void hostWrite(const QByteArray &bytes, const Framing &framing)
    {
        if (isUnplugged || bytes.isEmpty())
            return;
        if (!lineRate) {
            receive(bytes, framing);
            return;
        }
        const int bits = framing.parity != 0 ? 11 : 10;
        qint64 t = std::max(nowUs(), inboundFreeUs);
        for (int i = 0; i < bytes.size(); i += kLineChunk) {
            const QByteArray piece = bytes.mid(i, kLineChunk);
            t += lineTimeUs(piece.size(), bits);
            inbound.push(t, [this, piece, framing] { receive(piece, framing); });
        }
        inboundFreeUs = t;
    }

    // Returns when the last byte will have arrived, so that a pause can be measured from there.
    // `quietUs` is the quiet line the bytes want after whatever went before them, however late
    // that went.
    qint64 send(const QByteArray &bytes, qint64 notBeforeUs = 0, qint64 quietUs = 0)
    {
        if (isUnplugged || faults.silent || bytes.isEmpty())
            return nowUs();
        const qint64 start = std::max(nowUs() + qint64(faults.answerDelayMs) * 1000, notBeforeUs);
        auto deliver = [this](const QByteArray &piece) { return [this, piece] { emit q.toHost(piece); }; };
        if (!lineRate)
            return outbound.push(start, deliver(bytes), quietUs);
        const int bits = face == Face::Bootloader ? 11 : 10;
        qint64 t = std::max(start, outboundFreeUs);
        for (int i = 0; i < bytes.size(); i += kLineChunk) {
            const QByteArray piece = bytes.mid(i, kLineChunk);
            const qint64 pieceUs = lineTimeUs(piece.size(), bits);
            t += pieceUs;
            // Only the first piece: quiet measured from each one's late start would add up.
            t = outbound.push(t, deliver(piece), i == 0 && quietUs > 0 ? quietUs + pieceUs : 0);
        }
        outboundFreeUs = t;
        return t;
    }

    void receive(const QByteArray &bytes, const Framing &framing)
    {
        if (isUnplugged)
            return;
        // Bytes sent with the other face's framing arrive as framing errors and are lost, but
        // for the parity alone once the bootloader has been greeted: its receiver then takes
        // any byte of the right rate as a command byte (a status request 02 00 at no parity is
        // a command with a wrong complement, and NACKed).
        const quint8 wantedParity = face == Face::Bootloader ? 2 : 0;
        const bool parityForgiven = face == Face::Bootloader && stage != Stage::Sync;
        if (framing.parityKnown &&
            (framing.baud != kLineBaud || framing.dataBits != 8 || (framing.parity != wantedParity && !parityForgiven)))
            return;
        if (face == Face::Firmware) {
            firmwareRx += bytes;
            readFirmwareMessages();
        } else {
            bootloaderRx += bytes;
            readBootloaderFrames();
        }
    }

    // Every complete message is kept with the time its last byte arrived.
    void record(const QByteArray &bytes)
    {
        ReceivedMessage m{QDateTime::currentMSecsSinceEpoch(), bytes};
        received.append(m);
        emit q.messageReceived(m);
    }
    bool unplugDue() const { return faults.unplugAfterMessages >= 0 && received.size() >= faults.unplugAfterMessages; }
    // What comes once the pedal has stopped reading is lost, as bytes a UART is not read for
    // are; the read loops drop it.
    bool readingStopped() const
    {
        return faults.stopReadingAfterMessages >= 0 && received.size() >= faults.stopReadingAfterMessages;
    }

    void unplug()
    {
        if (isUnplugged)
            return;
        isUnplugged = true;
        inbound.clear();
        outbound.clear();
        chatterTimer.stop();
        nextChatterUs = -1;
        firmwareRx.clear();
        bootloaderRx.clear();
        emit q.unplugged();
    }

    // Faults are plain data that change behind the pedal's back; chatter is the one that has
    // to be started rather than looked at when something happens.
    void noticeFaults()
    {
        if (!chatterTimer.isActive())
            chatterTimer.start(0);
    }
    void chatterTick()
    {
        if (isUnplugged || faults.chatterEveryMs <= 0 || faults.chatter.isEmpty()) {
            nextChatterUs = -1;
            return;
        }
        const qint64 periodUs = qint64(faults.chatterEveryMs) * 1000;
        if (nextChatterUs < 0) {
            nextChatterUs = nowUs() + periodUs;
        } else {
            emit q.toHost(faults.chatter);
            // From the due time, not from now, so that a late tick does not push the rest back.
            nextChatterUs = std::max(nextChatterUs + periodUs, nowUs());
        }
        chatterTimer.start(int((std::max<qint64>(0, nextChatterUs - nowUs()) + 999) / 1000));
    }

    // --- running firmware ------------------------------------------------------------------

    void readFirmwareMessages()
    {
        while (!isUnplugged && face == Face::Firmware && !firmwareRx.isEmpty()) {
            if (readingStopped()) {
                firmwareRx.clear();
                return;
            }
            int length = 0;
            if (byteAt(firmwareRx, 0) == 0x00) {
                if (firmwareRx.size() < 3)
                    return;
                length = int(bigEndian(firmwareRx, 0, 3));
                if (length < kImageMinLength || length > kImageMaxLength)
                    length = 0;
            } else {
                length = firmwareMessageLength(byteAt(firmwareRx, 0));
            }
            if (length == 0) {
                firmwareRx.remove(0, 1); // starts nothing we know: resynchronise on the next byte
                continue;
            }
            if (firmwareRx.size() < length)
                return;
            const QByteArray message = firmwareRx.left(length);
            firmwareRx.remove(0, length);
            record(message);
            handleFirmwareMessage(message);
            if (unplugDue())
                unplug();
        }
    }

    void handleFirmwareMessage(const QByteArray &m)
    {
        switch (byteAt(m, 0)) {
        case 0x00:
            installImage(m);
            break;
        case 0x01:
            writeParameter(quint16(bigEndian(m, 1, 2)), bigEndian(m, 3, 4));
            break;
        case 0x02:
            if (byteAt(m, 1) != 0x00)
                break;
            ++statusRequests;
            if (faults.statusRequestsAnswered < 0 || statusRequests <= faults.statusRequestsAnswered)
                sendStatusReply();
            break;
        case 0x03:
            for (int i = 0; i < 6; ++i)
                state.parameters[10 + i] = bigEndian(m, 1 + 4 * i, 4);
            break;
        case 0x04:
            for (int c = 0; c < 5; ++c) {
                state.assignFlags[c] = byteAt(m, 1 + c);
                state.assignAddresses[c] = quint16(bigEndian(m, 6 + 2 * c, 2));
            }
            break;
        case 0x05:
            if (m == QByteArray::fromHex("0500010203040506"))
                enterBootloader();
            break;
        case 0x07:
            state.midiChannel = byteAt(m, 1);
            break;
        case 0x08:
            if (byteAt(m, 1) <= 1 && byteAt(m, 2) <= 1)
                state.footswitchMode = quint8(2 * byteAt(m, 1) + byteAt(m, 2));
            break;
        case 0x09:
            state.tuning = byteAt(m, 1);
            state.semitones = qint8(byteAt(m, 2));
            break;
        case 0x0B: {
            auto e = eeproms.find(byteAt(m, 1));
            if (e != eeproms.end())
                e->second.fill(char(0xFF));
            break;
        }
        case 0x0C: {
            auto e = eeproms.find(byteAt(m, 1));
            if (e != eeproms.end())
                send(QByteArray(1, char(kEepromDumpMark)) + e->second);
            break;
        }
        case 0x0D:
            if (byteAt(m, 1) <= 1)
                state.bypass = byteAt(m, 1);
            break;
        case 0x0E:
            state.tuningCoefficients = m.mid(1);
            break;
        case 0x0F:
            if (xorOf(m, 0, 7) == byteAt(m, 7))
                state.instrument = byteAt(m, 1);
            break;
        case 0x10:
            if (byteAt(m, 1) == 0x01 || byteAt(m, 1) == 0xFF)
                state.bypassStorage = byteAt(m, 1) == 0x01 ? 1 : 0;
            break;
        case 0x11:
            if (byteAt(m, 1) == 0x01 || byteAt(m, 1) == 0xFF)
                state.trackingLimit = byteAt(m, 1) == 0x01 ? 1 : 0;
            break;
        default:
            break;
        }
    }

    void writeParameter(quint16 target, quint32 value)
    {
        if (target == 0)
            return; // a parameter without an address ("Range") reaches nothing
        for (int p = 0; p < 16; ++p) {
            if (addresses[p] != target)
                continue;
            const int steps = stepScaleOf(p);
            state.parameters[p] = steps ? levelValueToStep(value, steps) : value;
            return;
        }
    }

    void installImage(const QByteArray &image)
    {
        installedImage = image;
        state.algorithmVersion = quint16(bigEndian(image, kImageVersionOffset, 2));
        addresses = parameterAddressesFromImage(image);
        send(faults.uploadAnswer.isEmpty() ? QByteArray("Upload complete\r\n") : faults.uploadAnswer);
    }

    void sendStatusReply()
    {
        QByteArray reply = statusReplyText(state, faults.replyValueCount, faults.replyValueTexts);
        if (faults.garbleReply) {
            for (char &c : reply)
                c = char(c ^ 0x5A); // digits become letters, CR and LF vanish
        } else if (faults.garbleReplyDigits) {
            for (char &c : reply) {
                if (c >= '0' && c <= '9')
                    c = char(c ^ 0x5A); // letters j to c: nothing a number parser takes or skips
            }
        }
        reply = faults.replyPrefix + reply + faults.replySuffix;
        if (faults.cutReplyAfterBytes >= 0)
            reply.truncate(faults.cutReplyAfterBytes);
        if (faults.dieAfterReplyBytes >= 0)
            reply.truncate(faults.dieAfterReplyBytes);

        QList<int> cuts = faults.splitReplyAtBytes;
        cuts << faults.splitReplyAtByte;
        std::sort(cuts.begin(), cuts.end());
        int from = 0;
        qint64 lastByteUs = 0;
        for (int cut : cuts) {
            if (cut <= from || cut >= reply.size())
                continue;
            lastByteUs =
                send(reply.mid(from, cut - from), from == 0 ? 0 : lastByteUs + gapUs(), from == 0 ? 0 : gapUs());
            from = cut;
        }
        lastByteUs = send(reply.mid(from), from == 0 ? 0 : lastByteUs + gapUs(), from == 0 ? 0 : gapUs());
        if (faults.dieAfterReplyBytes >= 0) {
            const qint64 pauseUs = qint64(kDyingPauseMs) * 1000;
            const auto pullOut = [this] { unplug(); };
            outbound.push(lastByteUs + pauseUs, pullOut, pauseUs);
        }
    }
    qint64 gapUs() const { return qint64(faults.splitReplyGapMs) * 1000; }

    // The flash holds the firmware that runs, so its version record says which one.
    void writeVersionRecord()
    {
        const int record = int(kFirmwareVersionByteAddress - kFlashStart) - 7;
        for (int i = 0; i < 7; ++i)
            flash[record + i] = 0;
        flash[record + 7] = char(state.firmwareVersion);
    }

    void enterBootloader()
    {
        writeVersionRecord();
        face = Face::Bootloader;
        stage = Stage::Sync;
        firmwareRx.clear(); // what follows the entry message in the same instant is lost
        bootloaderRx.clear();
    }

    // --- bootloader (AN3155) ---------------------------------------------------------------

    // Bytes the frame at the head of bootloaderRx takes, or 0 while that is not yet known.
    int bootloaderFrameLength() const
    {
        const int have = bootloaderRx.size();
        switch (stage) {
        case Stage::Sync:
            return 1;
        case Stage::Command:
            return 2;
        case Stage::Address:
            return 5;
        case Stage::ReadCount:
            return 2;
        case Stage::WriteData:
            return have >= 1 ? byteAt(bootloaderRx, 0) + 3 : 0;
        case Stage::Erase:
            if (have < 1)
                return 0;
            return byteAt(bootloaderRx, 0) == 0xFF ? 2 : byteAt(bootloaderRx, 0) + 3;
        }
        return 0;
    }

    void readBootloaderFrames()
    {
        while (!isUnplugged && face == Face::Bootloader && !bootloaderRx.isEmpty()) {
            if (readingStopped()) {
                bootloaderRx.clear();
                return;
            }
            const int length = bootloaderFrameLength();
            if (length == 0 || bootloaderRx.size() < length)
                return;
            const QByteArray frame = bootloaderRx.left(length);
            bootloaderRx.remove(0, length);
            if (stage == Stage::Sync && byteAt(frame, 0) != 0x7F)
                continue; // noise before synchronisation
            record(frame);
            handleBootloaderFrame(frame);
            if (unplugDue())
                unplug();
        }
    }

    void reply(quint8 byte) { send(QByteArray(1, char(byte))); }
    void nack()
    {
        stage = Stage::Command;
        reply(kNack);
    }

    static bool inFlash(quint32 from, quint32 count)
    {
        return from >= kFlashStart && count <= quint32(kFlashSize) && from - kFlashStart <= quint32(kFlashSize) - count;
    }

    static BootloaderStep stepOf(Stage s)
    {
        switch (s) {
        case Stage::Address:
            return BootloaderStep::Address;
        case Stage::ReadCount:
            return BootloaderStep::Count;
        case Stage::WriteData:
            return BootloaderStep::Data;
        case Stage::Erase:
            return BootloaderStep::Erase;
        case Stage::Sync:
        case Stage::Command:
            break;
        }
        return BootloaderStep::Command;
    }

    void handleBootloaderFrame(const QByteArray &f)
    {
        if (stage == Stage::Sync) {
            stage = Stage::Command;
            return reply(kAck);
        }
        // The refusal comes before the frame is looked at: a refused write writes nothing, a
        // refused erase erases nothing, a refused Go stays here.
        const quint8 cmd = stage == Stage::Command ? byteAt(f, 0) : command;
        if (faults.nackAtBootloaderCommand == cmd && faults.nackAtBootloaderStep == stepOf(stage) &&
            faults.nackTimes != 0) {
            if (faults.nackTimes > 0)
                --faults.nackTimes;
            return nack();
        }
        switch (stage) {
        case Stage::Sync:
            return;
        case Stage::Command:
            handleCommand(byteAt(f, 0), byteAt(f, 1));
            return;
        case Stage::Address:
            handleAddress(f);
            return;
        case Stage::ReadCount: {
            const quint8 n = byteAt(f, 0);
            if (quint8(~n) != byteAt(f, 1) || !inFlash(address, n + 1u))
                return nack();
            stage = Stage::Command;
            send(QByteArray(1, char(kAck)) + flash.mid(int(address - kFlashStart), n + 1));
            return;
        }
        case Stage::WriteData:
            writeBlock(f);
            return;
        case Stage::Erase:
            erase(f);
            return;
        }
    }

    void handleCommand(quint8 cmd, quint8 complement)
    {
        if (quint8(cmd ^ complement) != 0xFF)
            return nack();
        command = cmd; // kept for every command, so that a fault can name Erase's page list too
        const QByteArray ack(1, char(kAck));
        switch (cmd) {
        case 0x00: // Get: version and the commands understood
            send(ack + QByteArray::fromHex("07") + char(kBootloaderVersion) + QByteArray::fromHex("00010211213143") +
                 ack);
            return;
        case 0x01: // Get Version: version and two option bytes
            send(ack + char(kBootloaderVersion) + QByteArray(2, 0) + ack);
            return;
        case 0x02: // Get ID
            send(ack + char(1) + char(kProductId >> 8) + char(kProductId & 0xFF) + ack);
            return;
        case 0x11:
        case 0x21:
        case 0x31:
            stage = Stage::Address;
            reply(kAck);
            return;
        case 0x43:
            stage = Stage::Erase;
            reply(kAck);
            return;
        default:
            return nack();
        }
    }

    void handleAddress(const QByteArray &f)
    {
        const quint32 a = bigEndian(f, 0, 4);
        if (xorOf(f, 0, 4) != byteAt(f, 4) || !inFlash(a, 1))
            return nack();
        address = a;
        reply(kAck);
        switch (command) {
        case 0x11:
            stage = Stage::ReadCount;
            break;
        case 0x31:
            stage = Stage::WriteData;
            break;
        default:
            runFirmware();
            break; // Go
        }
    }

    void writeBlock(const QByteArray &f)
    {
        const int count = byteAt(f, 0) + 1;
        const QByteArray data = f.mid(1, count);
        if (xorOf(f, 0, count + 1) != byteAt(f, count + 1) || !inFlash(address, quint32(count)))
            return nack();
        // Flash programming only clears bits; a block that needs one set again fails, as the
        // real part does when it was not erased first.
        const int at = int(address - kFlashStart);
        for (int i = 0; i < count; ++i) {
            if (quint8(byteAt(data, i) & ~byteAt(flash, at + i)) != 0)
                return nack();
        }
        flash.replace(at, count, data);
        if (faults.stuckBitOffset >= at && faults.stuckBitOffset < at + count)
            flash[faults.stuckBitOffset] = char(flash[faults.stuckBitOffset] | 0x01);
        stage = Stage::Command;
        reply(kAck);
    }

    void erase(const QByteArray &f)
    {
        if (byteAt(f, 0) == 0xFF) {
            if (byteAt(f, 1) != 0x00)
                return nack();
            flash.fill(char(0xFF));
        } else {
            const int pages = byteAt(f, 0) + 1;
            if (xorOf(f, 0, pages + 1) != byteAt(f, pages + 1))
                return nack();
            for (int i = 1; i <= pages; ++i) {
                if (byteAt(f, i) >= kFlashSize / kFlashPageSize)
                    return nack();
            }
            for (int i = 1; i <= pages; ++i)
                flash.replace(byteAt(f, i) * kFlashPageSize, kFlashPageSize, QByteArray(kFlashPageSize, char(0xFF)));
        }
        stage = Stage::Command;
        reply(kAck);
    }

    void runFirmware()
    {
        state.firmwareVersion = byteAt(flash, int(kFirmwareVersionByteAddress - kFlashStart));
        face = Face::Firmware;
        stage = Stage::Sync;
        bootloaderRx.clear();
        firmwareRx.clear();
    }
};

VirtualPedal::VirtualPedal(QObject *parent) : QObject(parent), d(std::make_unique<Impl>(*this)) {}

VirtualPedal::~VirtualPedal() = default;

PedalState &VirtualPedal::state()
{
    return d->state;
}
Faults &VirtualPedal::faults()
{
    d->noticeFaults();
    return d->faults;
}
void VirtualPedal::setLineRate(bool on)
{
    d->lineRate = on;
}

void VirtualPedal::hostWrite(const QByteArray &bytes, const Framing &framing)
{
    d->hostWrite(bytes, framing);
}

QList<ReceivedMessage> VirtualPedal::received() const
{
    return d->received;
}
void VirtualPedal::clearReceived()
{
    d->received.clear();
}

VirtualPedal::Face VirtualPedal::face() const
{
    return d->face;
}
void VirtualPedal::startInBootloader()
{
    d->enterBootloader();
}
bool VirtualPedal::isUnplugged() const
{
    return d->isUnplugged;
}
void VirtualPedal::unplug()
{
    d->unplug();
}
bool VirtualPedal::isReading() const
{
    return !d->isUnplugged && !d->readingStopped();
}

QByteArray VirtualPedal::statusReply() const
{
    return buildStatusReply(d->state);
}

std::array<quint16, 16> VirtualPedal::parameterAddresses() const
{
    return d->addresses;
}
QByteArray VirtualPedal::installedImage() const
{
    return d->installedImage;
}

QByteArray VirtualPedal::eeprom(quint8 i2cAddress) const
{
    auto e = d->eeproms.find(i2cAddress);
    return e == d->eeproms.end() ? QByteArray() : e->second;
}

void VirtualPedal::setEeprom(quint8 i2cAddress, const QByteArray &bytes)
{
    auto e = d->eeproms.find(i2cAddress);
    if (e != d->eeproms.end())
        e->second = bytes.leftJustified(kEepromSize, char(0xFF), true);
}

QByteArray VirtualPedal::flash() const
{
    return d->flash;
}

} // namespace vadrelon::sim
