#include "base/hexcodec.h"
#include "firmware/bootloader.h"
#include "support/printers.h"
#include "support/synthetic_images.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace vadrelon;
using namespace vadrelon::bootloader;

namespace {

TEST(UpgradeBlocks, AreWholeBlocksOf256ThenTheRest)
{
    struct Case {
        int size, blocks, last;
    };
    const Case cases[] = {{53840, 211, 80}, {512, 2, 256}, {1, 1, 1}, {52376, 205, 152}, {0, 0, 0}};
    for (const Case &c : cases) {
        const QList<QByteArray> blocks = splitIntoBlocks(QByteArray(c.size, 'x'));
        ASSERT_EQ(blocks.size(), c.blocks) << c.size;
        if (c.blocks > 0) {
            EXPECT_EQ(blocks.last().size(), c.last) << c.size;
        }
        for (int k = 0; k + 1 < blocks.size(); ++k)
            EXPECT_EQ(blocks[k].size(), 256) << c.size << ", block " << k;
    }
    EXPECT_EQ(splitTrace(QByteArray(53840, 'x')), QStringList({"num of chunks: 210", "num of bytes last chunk: 80"}));
}

// Write Memory takes whole 32-bit words: a last block of another size is filled up with FF,
// which the erased flash holds anyway.
TEST(UpgradeBlocks, AreWrittenAsWholeWords)
{
    const std::pair<int, int> cases[] = {{1, 4}, {2, 4}, {3, 4}, {4, 4}, {5, 8}, {153, 156}, {255, 256}, {256, 256}};
    for (const auto &[size, written] : cases) {
        const QByteArray block(size, '\x5A');
        EXPECT_EQ(bytesToHex(wordAligned(block)), bytesToHex(block + QByteArray(written - size, char(0xFF)))) << size;
    }
}

TEST(UpgradeFrames, CarryTheirChecksums)
{
    struct Case {
        const char *name;
        QByteArray frame;
        const char *bytes;
    };
    const Case cases[] = {
        {"flash start", addressFrame(0x08000000), "0800000008"},
        {"block 1", addressFrame(0x08000100), "0800010009"},
        {"last block of a 53840-byte image", addressFrame(0x0800D200), "0800D200DA"},
        {"version record", addressFrame(0x0801FC00), "0801FC00F5"},
        {"one byte", dataFrame(QByteArray::fromHex("5A")), "005A5A"},
        {"two bytes", dataFrame(QByteArray::fromHex("0102")), "01010202"},
        {"write command", commandFrame(0x31), "31CE"},
        {"erase command", commandFrame(0x43), "43BC"},
        {"read command", commandFrame(0x11), "11EE"},
        {"go command", commandFrame(0x21), "21DE"},
        {"global erase", globalEraseFrame(), "FF00"},
        {"read 256", readCountFrame(256), "FF00"},
        {"read 80", readCountFrame(80), "4FB0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(bytesToHex(c.frame), c.bytes) << c.name;
    const QByteArray full = dataFrame(QByteArray(256, char(0xFF)));
    EXPECT_EQ(full.size(), 258);
    EXPECT_EQ(quint8(full.back()), 0xFF) << "N (FF) and 256 bytes of FF";
}

TEST(UpgradeFrames, VersionRecordForEachCarriedVersion)
{
    const std::pair<quint8, const char *> cases[] = {{5, "02"}, {6, "01"},  {7, "00"}, {8, "0F"},
                                                     {9, "0E"}, {10, "0D"}, {11, "0C"}};
    for (const auto &[version, checksum] : cases)
        EXPECT_EQ(bytesToHex(dataFrame(versionRecord(version))),
                  QStringLiteral("0700000000000000%1%2").arg(hex2(version), checksum))
            << int(version);
}

QByteArray withWords(quint32 stack, quint32 reset, int size = 0x400)
{
    QByteArray image(size, '\0');
    qToLittleEndian(stack, image.data());
    qToLittleEndian(reset, image.data() + 4);
    return image;
}

// An image that cannot start is refused before the flash is erased: an erased pedal has no
// firmware until a good image is written whole.
TEST(FirmwareImageCheck, RefusesWhatCannotBeThePedalsFirmware)
{
    for (int version : {5, 8, 11})
        for (int size : {0x140, 53840, 130048})
            EXPECT_FALSE(checkFirmwareImage(MakeFirmwareImage(quint8(version), size)))
                << version << ", " << size << " bytes";
    struct Case {
        const char *name;
        QByteArray image;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", {}, "the image is empty"},
        {"too large", MakeFirmwareImage(11, 130049 + 255).left(130049),
         "it has 130049 bytes, more than the 130048 that fit below the version record"},
        {"too short for a vector table", QByteArray(7, '\0'), "it has only 7 bytes, too few for a vector table"},
        {"stack at the start of SRAM", withWords(0x20000000, 0x08000101),
         "its initial stack pointer 0x20000000 is not in the pedal's memory"},
        {"stack past SRAM", withWords(0x20010004, 0x08000101),
         "its initial stack pointer 0x20010004 is not in the pedal's memory"},
        {"stack in flash", withWords(0x08001000, 0x08000101),
         "its initial stack pointer 0x08001000 is not in the pedal's memory"},
        {"reset address even", withWords(0x20005000, 0x08000100),
         "its reset address 0x08000100 is not an entry point inside the image"},
        {"reset address past the image", withWords(0x20005000, 0x08000401),
         "its reset address 0x08000401 is not an entry point inside the image"},
        {"reset address in SRAM", withWords(0x20005000, 0x20000001),
         "its reset address 0x20000001 is not an entry point inside the image"},
    };
    for (const Case &c : cases) {
        const std::optional<Error> error = checkFirmwareImage(c.image);
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(*error, (Error{ErrorCode::BadFirmwareImage, c.reason})) << c.name;
    }
    EXPECT_FALSE(checkFirmwareImage(withWords(0x20010000, 0x080003FF))) << "the last odd address, the top of SRAM";
}

} // namespace
