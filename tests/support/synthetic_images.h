#pragma once
// Images made from the documented layouts, for tests and the virtual pedal. They are not the
// maker's images and never go into resources/: the build embeds only real product data.
#include <QByteArray>
#include <QString>
#include <array>

namespace vadrelon {

// The address header that the image of version 0012 carries.
inline constexpr std::array<quint16, 18> kHeader0012{0x0025, 0x00ED, 0x00A5, 0x007B, 0x0002, 0x00CF,
                                                     0x00E3, 0x00A6, 0x00EE, 0x0052, 0x0066, 0x005C,
                                                     0x000A, 0x0078, 0x00EC, 0x001B, 0x000C, 0x0006};

// An algorithm image of `length` bytes (4512 like the real 0012): length field, the sixty
// words with `header` first, the BCD version (0x0012 for 12), the DSP load stream in the
// shipped order, zero padding. The parameter block is large enough for every header word to
// index it. `length` is taken as given, so a test can ask for one that is not a multiple of
// 32; a length too small for the stream gives an empty array.
QByteArray MakeAlgorithmImage(quint16 bcdVersion, const std::array<quint16, 18> &header = kHeader0012,
                              int length = 4512);

// An image as the editor carries it: upper-case hex digit pairs, one line, no line break.
QString AlgorithmImageHex(const QByteArray &bytes);

// A raw flash image of `size` bytes from 0x08000000: a Cortex-M vector table (initial stack
// pointer 0x20005000, Thumb reset address in flash), then filler program bytes that depend on
// `version`. The real images (about 50 KB) stop well short of the version record page at
// 0x0801FC00, whose last byte the upgrade writes separately; only an image that reaches into
// that page (a whole-flash dump) carries the record 00 00 00 00 00 00 00 <version> there,
// followed by erased flash (0xFF).
// Sizes from 0x140 to 0x20000 bytes; any other size gives an empty array.
QByteArray MakeFirmwareImage(quint8 version, int size);

namespace synthetic_firmware {
inline constexpr quint32 kInitialStackPointer = 0x20005000;
inline constexpr quint32 kResetAddress = 0x08000131; // handler at offset 0x130, Thumb bit set
inline constexpr int kVersionRecordOffset = 0x1FC00;
inline constexpr int kVersionByteOffset = 0x1FC07;
inline constexpr int kMinSize = 0x140;
inline constexpr int kMaxSize = 0x20000;
} // namespace synthetic_firmware

} // namespace vadrelon
