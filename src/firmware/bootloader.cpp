#include "firmware/bootloader.h"

#include "base/hexcodec.h"

#include <QtEndian>

namespace vadrelon::bootloader {

namespace {

quint8 xorOf(const QByteArray &bytes, quint8 start = 0)
{
    quint8 x = start;
    for (char c : bytes)
        x ^= static_cast<quint8>(c);
    return x;
}

Error badImage(const QString &reason)
{
    return Error{ErrorCode::BadFirmwareImage, reason};
}

} // namespace

QByteArray commandFrame(quint8 command)
{
    return QByteArray{1, static_cast<char>(command)} + QByteArray(1, static_cast<char>(~command));
}

QByteArray addressFrame(quint32 address)
{
    char bytes[4];
    qToBigEndian(address, bytes);
    QByteArray frame(bytes, 4);
    frame.append(static_cast<char>(xorOf(frame)));
    return frame;
}

QByteArray dataFrame(const QByteArray &bytes)
{
    const quint8 n = static_cast<quint8>(bytes.size() - 1);
    QByteArray frame(1, static_cast<char>(n));
    frame += bytes;
    frame.append(static_cast<char>(xorOf(bytes, n)));
    return frame;
}

QByteArray readCountFrame(int count)
{
    const quint8 n = static_cast<quint8>(count - 1);
    return QByteArray(1, static_cast<char>(n)) + QByteArray(1, static_cast<char>(~n));
}

QByteArray globalEraseFrame()
{
    return QByteArray::fromHex("FF00");
}

QByteArray versionRecord(quint8 version)
{
    QByteArray record(8, '\0');
    record[7] = static_cast<char>(version);
    return record;
}

QList<QByteArray> splitIntoBlocks(const QByteArray &image)
{
    QList<QByteArray> blocks;
    for (int at = 0; at < image.size(); at += kBlockSize)
        blocks.append(image.mid(at, kBlockSize));
    return blocks;
}

QByteArray wordAligned(const QByteArray &block)
{
    const int words = (int(block.size()) + 3) / 4;
    return block.leftJustified(words * 4, char(0xFF));
}

QStringList splitTrace(const QByteArray &image)
{
    return {QStringLiteral("num of chunks: %1").arg(image.size() / kBlockSize),
            QStringLiteral("num of bytes last chunk: %1").arg(image.size() % kBlockSize)};
}

std::optional<Error> checkFirmwareImage(const QByteArray &image)
{
    if (image.isEmpty())
        return badImage(QStringLiteral("the image is empty"));
    if (image.size() > kLargestImage)
        return badImage(QStringLiteral("it has %1 bytes, more than the %2 that fit below the version record")
                            .arg(image.size())
                            .arg(kLargestImage));
    if (image.size() < 8)
        return badImage(QStringLiteral("it has only %1 bytes, too few for a vector table").arg(image.size()));
    const quint32 stack = qFromLittleEndian<quint32>(image.constData());
    const quint32 reset = qFromLittleEndian<quint32>(image.constData() + 4);
    if (stack <= kSramStart || stack > kSramEnd)
        return badImage(QStringLiteral("its initial stack pointer 0x%1 is not in the pedal's memory").arg(hex8(stack)));
    if ((reset & 1u) == 0 || reset <= kFlashStart || reset - 1 >= kFlashStart + quint32(image.size()))
        return badImage(
            QStringLiteral("its reset address 0x%1 is not an entry point inside the image").arg(hex8(reset)));
    return std::nullopt;
}

} // namespace vadrelon::bootloader
