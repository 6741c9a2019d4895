#include "content/algorithmimage.h"
#include "support/synthetic_images.h"

#include <QRegularExpression>
#include <functional>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// The versions the editor knows, with the lengths and the word at offset 125 of their images.
struct KnownImage {
    quint16 bcd;
    int length;
    quint16 word125;
};
const KnownImage kKnownImages[] = {
    {0x0008, 4640, 0x0005}, {0x0009, 4672, 0x0005}, {0x0010, 4544, 0x0005},
    {0x0011, 4544, 0x0007}, {0x0012, 4512, 0x0006},
};

TEST(ContentAlgorithmImage, SyntheticImagesFollowTheLayout)
{
    for (const KnownImage &k : kKnownImages) {
        SCOPED_TRACE(k.bcd);
        const QByteArray bytes = MakeAlgorithmImage(k.bcd, kHeader0012, k.length);
        ASSERT_EQ(bytes.size(), k.length);
        EXPECT_EQ(bytes.size() % 32, 0);

        // The fields at their offsets, read straight from the bytes.
        EXPECT_EQ(bytes.left(3), QByteArray::fromHex(QByteArray::number(k.length, 16).rightJustified(6, '0')));
        for (int i = 0; i < 18; ++i) {
            EXPECT_EQ(quint8(bytes[3 + 2 * i]), kHeader0012[i] >> 8);
            EXPECT_EQ(quint8(bytes[4 + 2 * i]), kHeader0012[i] & 0xFF);
        }
        EXPECT_EQ(bytes.mid(39, 84), QByteArray(84, '\0')); // words 18 to 59
        EXPECT_EQ(quint8(bytes[123]), k.bcd >> 8);
        EXPECT_EQ(quint8(bytes[124]), k.bcd & 0xFF);
        EXPECT_EQ(quint8(bytes[127]), 0x12);

        const Result<AlgorithmImage> result = parseAlgorithmImage(bytes);
        const AlgorithmImage *parsed = std::get_if<AlgorithmImage>(&result);
        ASSERT_TRUE(parsed) << std::get<Error>(result).detail.toStdString();
        EXPECT_EQ(parsed->length, quint32(k.length));
        EXPECT_EQ(parsed->header(), kHeader0012);
        EXPECT_EQ(parsed->bcdVersion, k.bcd);
        EXPECT_EQ(parsed->word125, k.word125);
        EXPECT_EQ(parsed->byte127, 0x12);
        EXPECT_EQ(parsed->noOps, 18);

        // The writes in the shipped order, each to device 0.
        const QList<quint16> targets{0x081C, 0x0800, 0x0000, 0x0400, 0x081C, 0x081D, 0x081E, 0x081F, 0x0820,
                                     0x0821, 0x0822, 0x0823, 0x0824, 0x0825, 0x0826, 0x0827, 0x081C};
        const QList<int> fixedSizes{2, 32, -1, -1, 2, 1, 2, 1, 3, 3, 2, 2, 2, 2, 2, 2, 2};
        ASSERT_EQ(parsed->writes.size(), targets.size());
        for (int i = 0; i < targets.size(); ++i) {
            EXPECT_EQ(parsed->writes[i].target, targets[i]) << i;
            EXPECT_EQ(parsed->writes[i].device, 0) << i;
            if (fixedSizes[i] >= 0) {
                EXPECT_EQ(parsed->writes[i].data.size(), fixedSizes[i]) << i;
            }
        }
        const int paramBytes = int(parsed->writes[2].data.size());
        EXPECT_EQ(paramBytes % 4, 0);
        EXPECT_EQ(parsed->writes[3].data.size() % 5, 0);
        for (quint16 w : parsed->header())
            EXPECT_LT(w, paramBytes / 4) << "a header word must index the parameter block";
        EXPECT_LT(bytes.size() - parsed->streamEnd, 32) << "padding stays below one granule";
    }
}

TEST(ContentAlgorithmImage, SyntheticImagesAreStableAndDifferByVersion)
{
    EXPECT_EQ(MakeAlgorithmImage(0x0012), MakeAlgorithmImage(0x0012));
    EXPECT_NE(MakeAlgorithmImage(0x0012).mid(128), MakeAlgorithmImage(0x0013).mid(128));
}

TEST(ContentAlgorithmImage, HeaderWordsBeyondTheUsualBlockStillIndexIt)
{
    std::array<quint16, 18> header = kHeader0012;
    header[17] = 0x0300;
    const Result<AlgorithmImage> result = parseAlgorithmImage(MakeAlgorithmImage(0x0014, header, 6400));
    const AlgorithmImage *parsed = std::get_if<AlgorithmImage>(&result);
    ASSERT_TRUE(parsed) << std::get<Error>(result).detail.toStdString();
    EXPECT_EQ(parsed->header(), header);
    EXPECT_GT(parsed->writes[2].data.size() / 4, 0x0300);
}

TEST(ContentAlgorithmImage, TooSmallLengthGivesNoImage)
{
    EXPECT_TRUE(MakeAlgorithmImage(0x0012, kHeader0012, 1024).isEmpty());
}

TEST(ContentAlgorithmImage, HexIsOneUpperCaseLine)
{
    const QByteArray bytes = MakeAlgorithmImage(0x0012);
    const QString hex = AlgorithmImageHex(bytes);
    EXPECT_EQ(hex.size(), 2 * bytes.size());
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]+$").match(hex).hasMatch());
    EXPECT_TRUE(hex.startsWith("0011A0"));
    EXPECT_EQ(QByteArray::fromHex(hex.toLatin1()), bytes);
}

TEST(ContentAlgorithmImage, ParserRejectsDamagedImages)
{
    const QByteArray good = MakeAlgorithmImage(0x0012);
    const Result<AlgorithmImage> parsed = parseAlgorithmImage(good);
    ASSERT_TRUE(std::holds_alternative<AlgorithmImage>(parsed));
    const int end = std::get<AlgorithmImage>(parsed).streamEnd;
    ASSERT_LT(end, good.size()) << "the cases below need some padding";

    struct Case {
        const char *what;
        std::function<QByteArray()> make;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", [] { return QByteArray(); }, "too short"},
        {"fixed fields cut", [&] { return good.left(127); }, "too short"},
        {"cut short", [&] { return good.left(4480); }, "length field says 4512 bytes but the image holds 4480"},
        {"length field off",
         [&] {
             QByteArray b = good;
             b[2] = char(b[2] + 32);
             return b;
         },
         "length field says 4544"},
        {"not a multiple of 32", [] { return MakeAlgorithmImage(0x0012, kHeader0012, 4500); }, "not a multiple of 32"},
        {"unknown record",
         [&] {
             QByteArray b = good;
             b[128] = 0x07;
             return b;
         },
         "unknown DSP load record 0x07 at offset 128"},
        {"write count below its target",
         [&] {
             QByteArray b = good;
             b[129] = 0;
             b[130] = 2;
             return b;
         },
         "too short to hold its target"},
        {"write past the end",
         [&] {
             QByteArray b = good;
             b[129] = char(0xFF);
             b[130] = char(0xFF);
             return b;
         },
         "runs past the end"},
        {"no end byte",
         [&] {
             QByteArray b = good;
             for (int i = end - 1; i < b.size(); ++i)
                 b[i] = 0x03;
             return b;
         },
         "no end byte"},
        {"padding not zero",
         [&] {
             QByteArray b = good;
             b[b.size() - 1] = 1;
             return b;
         },
         "non-zero byte at offset 4511"},
    };
    for (const Case &c : cases) {
        const Result<AlgorithmImage> result = parseAlgorithmImage(c.make());
        const Error *error = std::get_if<Error>(&result);
        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->code, ErrorCode::BadImage) << c.what;
        EXPECT_TRUE(error->detail.contains(QLatin1String(c.reason))) << c.what << ": " << error->detail.toStdString();
    }
}

} // namespace
