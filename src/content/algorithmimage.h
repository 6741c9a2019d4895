#pragma once
// The layout of a DSP algorithm image. The editor sends an image whole and reads only its
// address header; the parser is for checking an image before it goes to the pedal and for the
// virtual pedal and tests, which need to see what they were given.
#include "base/error.h"

#include <QByteArray>
#include <QList>
#include <array>

namespace vadrelon {

namespace algorithm_image {
inline constexpr int kLengthBytes = 3; // offset 0: image length, big-endian
inline constexpr int kWordsOffset = 3; // sixty big-endian 16-bit words
inline constexpr int kWordCount = 60;
inline constexpr int kHeaderWords = 18;    // the first eighteen: the parameter address header
inline constexpr int kVersionOffset = 123; // two BCD bytes, 0x00 0x12 for version 12
inline constexpr int kWord125Offset = 125;
inline constexpr int kByte127Offset = 127;
inline constexpr int kStreamOffset = 128; // the DSP load stream, then zero padding
inline constexpr int kSizeGranule = 32;   // every image length is a multiple of this

// Type bytes of the load stream's records.
inline constexpr quint8 kWriteRecord = 0x01;
inline constexpr quint8 kNoOpRecord = 0x03;
inline constexpr quint8 kEndRecord = 0x06;
} // namespace algorithm_image

// One write record of the load stream.
struct DspWrite {
    quint8 device = 0;
    quint16 target = 0;
    QByteArray data;
};

struct AlgorithmImage {
    quint32 length = 0;
    std::array<quint16, algorithm_image::kWordCount> words{};
    quint16 bcdVersion = 0;
    quint16 word125 = 0;
    quint8 byte127 = 0;
    QList<DspWrite> writes; // in stream order
    int noOps = 0;
    int streamEnd = 0; // offset just after the end byte

    std::array<quint16, algorithm_image::kHeaderWords> header() const;
};

// Reads an image's fields and walks its load stream. Fails when the image is shorter than its
// fixed fields, its length field differs from its size, its size is not a multiple of 32, a
// record is unknown or runs past the end, the end byte is missing, or the padding after the end
// byte is not zero.
Result<AlgorithmImage> parseAlgorithmImage(const QByteArray &bytes);

// An algorithm file chosen by the player, read and checked before anything reaches the pedal:
// it must be there and readable, not empty, at most 65536 bytes (what the pedal's transmit
// path takes in one write), and its length field must give its size. The stream is not walked:
// the maker's newer images may carry records this editor does not know.
Result<QByteArray> loadAlgorithmFile(const QString &path);
Result<QByteArray> checkAlgorithmFile(QByteArray bytes);

} // namespace vadrelon
