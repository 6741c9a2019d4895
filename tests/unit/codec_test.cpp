#include "base/hexcodec.h"

#include <gtest/gtest.h>

using namespace vadrelon;

TEST(HexToBytes, ReadsPairsAndIgnoresAnOddLastDigit)
{
    EXPECT_EQ(hexToBytes("0aFF7"), QByteArray::fromHex("0aff"));
    EXPECT_EQ(hexToBytes(""), QByteArray());
}

TEST(HexToBytes, ABadPairIsATypedErrorNamingThePair)
{
    try {
        hexToBytes("001G");
        FAIL() << "no error";
    } catch (const ConversionError &e) {
        EXPECT_NE(std::string(e.what()).find("1G"), std::string::npos);
    }
}

TEST(HexToBuffer, StopsQuietlyAtTheFirstBadPairOrTheCount)
{
    struct Case {
        const char *text;
        int count;
        int written;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"0A0G01", 3, 1, QByteArray::fromHex("0a")},
        {"0102030405", 3, 3, QByteArray::fromHex("010203")},
        {"0D01", 2, 2, QByteArray::fromHex("0d01")},
        {"zz", 1, 0, QByteArray()},
    };
    for (const Case &c : cases) {
        quint8 out[8] = {};
        EXPECT_EQ(hexToBuffer(c.text, out, c.count), c.written) << c.text;
        EXPECT_EQ(QByteArray(reinterpret_cast<char *>(out), c.written), c.bytes) << c.text;
    }
}

TEST(BytesToHex, WritesUpperCasePairs)
{
    const quint8 bytes[] = {0x00, 0xAB};
    EXPECT_EQ(bytesToHex(bytes, 2), "00AB");
}

TEST(HexToByteString, KeepsLengthAndZeroesFromTheFirstBadPair)
{
    const QByteArray s = hexToByteString("41ZZ42");
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s, QByteArray("A\0\0", 3));
}

TEST(XorChecksum, XorsTheFirstNBytes)
{
    struct Case {
        const char *text;
        int n;
        quint8 sum;
    };
    const Case cases[] = {{"0FFF0102030405", 7, 0xF1}, {"FF", 1, 0xFF}, {"0102", 2, 0x03}, {"0102FF", 2, 0x03}};
    for (const Case &c : cases)
        EXPECT_EQ(xorChecksum(c.text, c.n), c.sum) << c.text;
    EXPECT_THROW(xorChecksum("01XX", 2), ConversionError);
}

TEST(FixedWidthHex, PadsAndWritesTwosComplement)
{
    EXPECT_EQ(hex2(0x5), "05");
    EXPECT_EQ(hex4(0x25), "0025");
    EXPECT_EQ(hex8(0x3FC000), "003FC000");
    EXPECT_EQ(hex8(static_cast<quint32>(-2)), "FFFFFFFE");
}

TEST(ParseDecimal, ReadsDecimalDigitsOnly)
{
    EXPECT_EQ(parseDecimal("0012"), 12);
    EXPECT_EQ(parseDecimal(" 0012"), 12);
    EXPECT_THROW(parseDecimal("001A"), ConversionError);
    EXPECT_THROW(parseDecimal(""), ConversionError);
}
