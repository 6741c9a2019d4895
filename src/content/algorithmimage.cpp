#include "content/algorithmimage.h"

#include "base/safefile.h"

#include <QString>

#include <algorithm>

namespace vadrelon {

using namespace algorithm_image;

namespace {

quint32 be(const QByteArray &b, int at, int size)
{
    quint32 v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | static_cast<quint8>(b[at + i]);
    return v;
}

Error fail(const QString &reason)
{
    return Error{ErrorCode::BadImage, reason};
}

} // namespace

std::array<quint16, kHeaderWords> AlgorithmImage::header() const
{
    std::array<quint16, kHeaderWords> h{};
    std::copy_n(words.begin(), kHeaderWords, h.begin());
    return h;
}

Result<AlgorithmImage> parseAlgorithmImage(const QByteArray &bytes)
{
    const int size = static_cast<int>(bytes.size());
    if (size < kStreamOffset)
        return fail(QStringLiteral("image too short: %1 bytes, its fixed fields take %2").arg(size).arg(kStreamOffset));

    AlgorithmImage image;
    image.length = be(bytes, 0, kLengthBytes);
    if (image.length != static_cast<quint32>(size))
        return fail(
            QStringLiteral("image length field says %1 bytes but the image holds %2").arg(image.length).arg(size));
    if (size % kSizeGranule != 0)
        return fail(QStringLiteral("image length %1 is not a multiple of %2").arg(size).arg(kSizeGranule));

    for (int k = 0; k < kWordCount; ++k)
        image.words[k] = static_cast<quint16>(be(bytes, kWordsOffset + 2 * k, 2));
    image.bcdVersion = static_cast<quint16>(be(bytes, kVersionOffset, 2));
    image.word125 = static_cast<quint16>(be(bytes, kWord125Offset, 2));
    image.byte127 = static_cast<quint8>(bytes[kByte127Offset]);

    int pos = kStreamOffset;
    for (;;) {
        if (pos >= size)
            return fail(QStringLiteral("the DSP load stream has no end byte"));
        const quint8 type = static_cast<quint8>(bytes[pos]);
        if (type == kEndRecord) {
            ++pos;
            break;
        }
        if (type == kNoOpRecord) {
            ++image.noOps;
            ++pos;
            continue;
        }
        if (type != kWriteRecord)
            return fail(QStringLiteral("unknown DSP load record 0x%1 at offset %2")
                            .arg(type, 2, 16, QLatin1Char('0'))
                            .arg(pos));
        // type, 16-bit count n, then n bytes: device, 16-bit target, n - 3 data bytes
        if (pos + 3 > size)
            return fail(QStringLiteral("write record at offset %1 runs past the end of the image").arg(pos));
        const int n = static_cast<int>(be(bytes, pos + 1, 2));
        if (n < 3)
            return fail(QStringLiteral("write record at offset %1 is too short to hold its target").arg(pos));
        if (pos + 3 + n > size)
            return fail(QStringLiteral("write record at offset %1 runs past the end of the image").arg(pos));
        DspWrite write;
        write.device = static_cast<quint8>(bytes[pos + 3]);
        write.target = static_cast<quint16>(be(bytes, pos + 4, 2));
        write.data = bytes.mid(pos + 6, n - 3);
        image.writes.append(write);
        pos += 3 + n;
    }
    image.streamEnd = pos;

    for (int i = pos; i < size; ++i)
        if (bytes[i] != '\0')
            return fail(QStringLiteral("non-zero byte at offset %1 after the end of the DSP load stream").arg(i));
    return image;
}

Result<QByteArray> checkAlgorithmFile(QByteArray bytes)
{
    using namespace algorithm_image;
    if (bytes.isEmpty())
        return Error{ErrorCode::BadImage, QStringLiteral("the file is empty")};
    if (bytes.size() > kAlgorithmImageCap)
        return Error{ErrorCode::BadImage, QStringLiteral("the file has %1 bytes, more than the %2 an image may have")
                                              .arg(bytes.size())
                                              .arg(kAlgorithmImageCap)};
    if (bytes.size() < kLengthBytes)
        return Error{ErrorCode::BadImage, QStringLiteral("the file has only %1 bytes").arg(bytes.size())};
    const quint32 length = (quint32(quint8(bytes[0])) << 16) | (quint32(quint8(bytes[1])) << 8) | quint8(bytes[2]);
    if (length != quint32(bytes.size()))
        return Error{
            ErrorCode::BadImage,
            QStringLiteral("its length field says %1 bytes, but the file has %2").arg(length).arg(bytes.size())};
    return bytes;
}

Result<QByteArray> loadAlgorithmFile(const QString &path)
{
    Result<QByteArray> bytes = readRegularFile(path, kAlgorithmImageCap);
    if (std::holds_alternative<Error>(bytes))
        return bytes;
    return checkAlgorithmFile(std::move(std::get<QByteArray>(bytes)));
}

} // namespace vadrelon
