// One libFuzzer target for each reader of bytes that come from outside: files in the user's
// folders, the pedal's replies, the update server's body. Each checks what must hold for any
// input it accepts, not only that nothing crashes. FUZZ_READER names the reader.
#include "base/hexcodec.h"
#include "content/addressheader.h"
#include "content/algorithmimage.h"
#include "content/preset.h"
#include "device/discovery.h"
#include "device/eeprom.h"
#include "device/status.h"
#include "effect/pedalstatus.h"
#include "firmware/bootloader.h"
#include "support/settings.h"
#include "support/versioncheck.h"

#include <QByteArray>
#include <QString>
#include <cstdlib>

using namespace vadrelon;

namespace {

// A broken promise is a crash, so that the fuzzer keeps the input.
void require(bool holds)
{
    if (!holds)
        std::abort();
}

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
}

void status(const QByteArray &in)
{
    const StatusReading reading = readStatusReply(in);
    require(reading.values.size() <= 90);
    if (reading.state == StatusReading::State::Complete) {
        require(reading.values.size() == 90);
        require(in.endsWith(reading.following)); // handed back as it came, never judged
        require(statusTrace(reading.values).size() == 92);
        for (int effects : {1, 3, 64})
            (void)summarizeStatus(reading.values, effects);
    }
    // The summary must also refuse what is no whole reply, whatever it is handed.
    (void)summarizeStatus(in, 3);
}

void hexCodec(const QByteArray &in)
{
    const QString text = QString::fromLatin1(in);
    require(hexToBytes(bytesToHex(in)) == in);
    try {
        const QByteArray decoded = hexToBytes(text);
        require(decoded.size() == text.size() / 2);
        require(hexToBytes(bytesToHex(decoded)) == decoded);
    } catch (const ConversionError &) {
        // Its documented answer to a pair that is not two hex digits.
    }
    quint8 buffer[64];
    const int count = in.isEmpty() ? 0 : quint8(in[0]) % 65;
    const int got = hexToBuffer(text, buffer, count);
    require(got >= 0 && got <= count);
    require(hexToByteString(text).size() == text.size() / 2);
    try {
        (void)xorChecksum(text, static_cast<int>(text.size()));
    } catch (const ConversionError &) {
    }
    try {
        (void)parseDecimal(text);
    } catch (const ConversionError &) {
    }
}

void preset(const QByteArray &in)
{
    const Result<Preset> read = readPreset(in);
    if (const Preset *p = std::get_if<Preset>(&read)) {
        require(p->fields.size() == kParameterCount);
        (void)presetLoadTrace(*p);
        // What was read is what the editor would write again, and reads back the same.
        const Result<Preset> again = readPreset(writePreset(p->values));
        require(std::holds_alternative<Preset>(again) && std::get<Preset>(again).values == p->values);
    }
}

void algorithm(const QByteArray &in)
{
    const Result<AlgorithmImage> image = parseAlgorithmImage(in);
    if (const AlgorithmImage *i = std::get_if<AlgorithmImage>(&image))
        require(i->streamEnd <= in.size());
    (void)checkAlgorithmFile(in);
    const QString text = QString::fromLatin1(in);
    (void)isAddressHeaderLine(text);
    (void)addressHeaderFor(QStringLiteral("Vadrelon MK3 0012"), text);
}

void firmware(const QByteArray &in)
{
    if (!bootloader::checkFirmwareImage(in)) {
        const QList<QByteArray> blocks = bootloader::splitIntoBlocks(in);
        QByteArray joined;
        for (const QByteArray &b : blocks) {
            require(!b.isEmpty() && b.size() <= bootloader::kBlockSize);
            joined += b;
        }
        require(joined == in);
        (void)bootloader::splitTrace(in);
        for (const QByteArray &b : blocks) {
            const QByteArray frame = bootloader::dataFrame(b);
            quint8 x = 0;
            for (char c : frame)
                x ^= quint8(c);
            require(x == 0); // N, the bytes and their checksum XOR to zero
        }
    }
}

void announcement(const QByteArray &in)
{
    if (const std::optional<PortInfo> port = parseAnnouncement(in))
        require(!port->path.isEmpty());
}

void settings(const QByteArray &in)
{
    (void)parseWholeNumber(decodeSettingText(in));
    (void)parseWholeNumber(QString::fromLatin1(in));
}

void version(const QByteArray &in)
{
    if (const std::optional<QVersionNumber> v = parseEditorVersion(in)) {
        const std::optional<QVersionNumber> again = parseEditorVersion(v->toString().toLatin1());
        require(again && *again == *v);
        require(!isNewerVersion(*v, *v));
    }
}

void eeprom(const QByteArray &in)
{
    (void)eepromDumpTrace(in);
    const QString text = QString::fromLatin1(in);
    (void)buildEepromEraseMessage(text);
    (void)buildEepromReadMessage(text);
    (void)buildRawParameterMessage(text.left(4), text.mid(4));
    const Result<QString> raw = buildRawParameterMessage(text.left(4), text.mid(4));
    if (const QString *message = std::get_if<QString>(&raw))
        require(hexToBytes(*message).size() * 2 == message->size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray in = bytesOf(data, size);
    FUZZ_READER(in);
    return 0;
}
