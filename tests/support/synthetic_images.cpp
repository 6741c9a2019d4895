#include "synthetic_images.h"

#include "base/hexcodec.h"
#include "content/algorithmimage.h"

#include <QtEndian>
#include <algorithm>

namespace vadrelon {

namespace {

// Deterministic filler, so that two runs (and the editor and the virtual pedal) build the same
// bytes, while different versions differ.
class Filler {
public:
    explicit Filler(quint32 seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
    quint32 next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    quint32 state_;
};

void appendBE(QByteArray &out, quint32 v, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void appendWrite(QByteArray &out, quint16 target, const QByteArray &data)
{
    out.append(static_cast<char>(algorithm_image::kWriteRecord));
    appendBE(out, static_cast<quint32>(data.size() + 3), 2);
    out.append('\0'); // device address
    appendBE(out, target, 2);
    out.append(data);
}

quint16 word125For(quint16 bcdVersion)
{
    if (bcdVersion <= 0x0010)
        return 0x0005;
    return bcdVersion == 0x0011 ? 0x0007 : 0x0006;
}

// Everything of the stream but the two blocks: the first write (8 bytes), 18 no-ops, the
// 32-byte write (38), the two block records' own 6 bytes each, the twelve small writes (96),
// the last write (8) and the end byte.
constexpr int kStreamOverhead = 8 + 18 + 38 + 6 + 6 + 96 + 8 + 1;
constexpr int kSmallWriteSizes[12] = {2, 1, 2, 1, 3, 3, 2, 2, 2, 2, 2, 2};

} // namespace

QByteArray MakeAlgorithmImage(quint16 bcdVersion, const std::array<quint16, 18> &header, int length)
{
    using namespace algorithm_image;
    // 240 words, as in the real images; more when a header word would point past the block.
    const int maxWord = *std::max_element(header.begin(), header.end());
    const int paramBytes = 4 * std::max(240, maxWord + 1);
    const int room = length - kStreamOffset - kStreamOverhead - paramBytes;
    if (room < 0 || length > 0xFFFFFF)
        return {};
    const int programBytes = room / 5 * 5;

    Filler fill(bcdVersion);
    QByteArray image;
    image.reserve(length);
    appendBE(image, static_cast<quint32>(length), kLengthBytes);
    for (int k = 0; k < kWordCount; ++k)
        appendBE(image, k < kHeaderWords ? header[k] : 0, 2);
    appendBE(image, bcdVersion, 2);
    appendBE(image, word125For(bcdVersion), 2);
    image.append(static_cast<char>(0x12));

    appendWrite(image, 0x081C, QByteArray(2, '\0'));
    image.append(QByteArray(18, static_cast<char>(kNoOpRecord)));
    appendWrite(image, 0x0800, QByteArray(32, '\0'));
    QByteArray params;
    for (int i = 0; i < paramBytes / 4; ++i) // 5.23 fixed point within -1.0 … 1.0
        appendBE(params, static_cast<quint32>(static_cast<qint32>(fill.next() % 0x01000000u) - 0x00800000), 4);
    appendWrite(image, 0x0000, params);
    QByteArray program;
    for (int i = 0; i < programBytes; ++i)
        program.append(static_cast<char>(fill.next() & 0xFF));
    appendWrite(image, 0x0400, program);
    for (int k = 0; k < 12; ++k)
        appendWrite(image, static_cast<quint16>(0x081C + k), QByteArray(kSmallWriteSizes[k], '\x01'));
    appendWrite(image, 0x081C, QByteArray(2, '\0'));
    image.append(static_cast<char>(kEndRecord));

    image.append(QByteArray(length - image.size(), '\0'));
    return image;
}

QString AlgorithmImageHex(const QByteArray &bytes)
{
    return bytesToHex(bytes);
}

QByteArray MakeFirmwareImage(quint8 version, int size)
{
    using namespace synthetic_firmware;
    if (size < kMinSize || size > kMaxSize)
        return {};

    // STM32F103 medium density: 16 system vectors and 60 interrupts, 0x130 bytes. Reserved
    // system slots stay 0; every other vector points at a default handler after the reset one.
    constexpr int kVectors = 76;
    constexpr quint32 kDefaultHandler = kResetAddress + 4;
    QByteArray image(size, '\0');
    auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, image.data() + at); };
    put32(0, kInitialStackPointer);
    put32(4, kResetAddress);
    for (int k = 2; k < kVectors; ++k) {
        const bool reserved = (k >= 7 && k <= 10) || k == 13;
        put32(4 * k, reserved ? 0 : kDefaultHandler);
    }
    // Reset and default handler: "b ." each, with a nop between to keep them word-aligned.
    const char handlers[] = {'\xFE', '\xE7', '\x00', '\xBF', '\xFE', '\xE7'};
    std::copy(std::begin(handlers), std::end(handlers), image.begin() + 0x130);

    Filler fill(version);
    const int programEnd = std::min(size, kVersionRecordOffset);
    for (int i = 0x130 + int(sizeof handlers); i < programEnd; ++i)
        image[i] = static_cast<char>(fill.next() & 0xFF);
    // A whole-flash dump also holds the version record (seven zeros, then the version) and
    // erased flash after it.
    if (size > kVersionByteOffset)
        image[kVersionByteOffset] = static_cast<char>(version);
    for (int i = kVersionByteOffset + 1; i < size; ++i)
        image[i] = '\xFF';
    return image;
}

} // namespace vadrelon
