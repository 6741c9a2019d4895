#pragma once
// The host side of the pedal's serial bootloader (ST's USART protocol): the frames the editor
// sends, cut from the firmware image, and the checks an image must pass before any of its
// flash is erased.
#include "base/error.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace vadrelon::bootloader {

constexpr quint8 kAck = 0x79;
constexpr quint8 kNack = 0x1F;
constexpr quint32 kFlashStart = 0x08000000;
// The last KiB of the 128 KiB the pedal's flash has: the version record lives there.
constexpr quint32 kVersionRecordAddress = 0x0801FC00;
constexpr int kBlockSize = 256;
// An image that goes on past this would overwrite the version record's page.
constexpr int kLargestImage = int(kVersionRecordAddress - kFlashStart); // 130048
constexpr quint32 kSramStart = 0x20000000;
constexpr quint32 kSramEnd = 0x20010000;

// A command byte and its complement: 31 CE (Write Memory), 43 BC (Erase), 11 EE (Read Memory),
// 21 DE (Go).
QByteArray commandFrame(quint8 command);
// The address, most significant byte first, and the XOR of its four bytes.
QByteArray addressFrame(quint32 address);
// N (the byte count less one), the bytes, and the XOR of N and the bytes.
QByteArray dataFrame(const QByteArray &bytes);
// Read Memory's byte count: N and its complement.
QByteArray readCountFrame(int count);
// The global erase: FF and its checksum 00.
QByteArray globalEraseFrame();
// The eight bytes 00 00 00 00 00 00 00 v that tell the running firmware its version.
QByteArray versionRecord(quint8 version);

// The image in blocks of 256 bytes from its start, the last one holding the rest.
QList<QByteArray> splitIntoBlocks(const QByteArray &image);
// A block as Write Memory takes it: whole 32-bit words, so a last block of another size is
// filled up with FF, which is what the erased flash holds there anyway. Only the block's own
// bytes are read back and compared.
QByteArray wordAligned(const QByteArray &block);
// The console lines of the split: the whole blocks, the bytes of the last.
QStringList splitTrace(const QByteArray &image);

// Refuses an image that cannot be a firmware for the pedal: empty, too large to stay clear of
// the version record, an initial stack pointer outside the SRAM, or a reset address that is
// not an odd (Thumb) address inside the image. Checked before anything is erased, because a
// pedal whose flash was erased has no firmware until an image is written whole.
std::optional<Error> checkFirmwareImage(const QByteArray &image);

} // namespace vadrelon::bootloader
