#include "content/firmwaretable.h"
#include "support/synthetic_images.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

TEST(ContentFirmwareTable, VersionsInOrderAndLatestIsLast)
{
    QList<int> versions;
    for (const FirmwareEntry &e : kFirmwareTable) {
        versions << e.version;
        EXPECT_EQ(QLatin1String(e.resourceName), QStringLiteral("FIRMWARE_%1").arg(e.version));
    }
    EXPECT_EQ(versions, (QList<int>{5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(latestFirmwareVersion(), 11);
    EXPECT_EQ(firmwareListNames(), (QStringList{"Firmware_5", "Firmware_6", "Firmware_7", "Firmware_8", "Firmware_9",
                                                "Firmware_10", "Firmware_11"}));
}

TEST(ContentFirmwareTable, Lookups)
{
    const std::pair<const char *, int> byName[] = {
        {"Firmware_5", 5},   {"FIRMWARE_11", 11},    {"firmware_8", 8}, {"Firmware_1", -1},
        {"Firmware_12", -1}, {"Firmware_5.bin", -1}, {"", -1},
    };
    for (const auto &[name, version] : byName) {
        const std::optional<FirmwareEntry> e = firmwareByName(name);
        EXPECT_EQ(e ? e->version : -1, version) << name;
    }
    EXPECT_EQ(firmwareByVersion(11)->byteCount, 52376);
    EXPECT_FALSE(firmwareByVersion(4));
    EXPECT_FALSE(firmwareByVersion(12));
}

TEST(ContentFirmwareImage, VectorTableAndVersionRecord)
{
    using namespace synthetic_firmware;
    struct Case {
        int size;
        bool holdsVersion;
    };
    const Case cases[] = {
        {kFirmwareTable.back().byteCount, false},
        {kFirmwareTable.front().byteCount, false},
        {kMinSize, false},
        {kVersionByteOffset, false}, // stops one byte short
        {kVersionByteOffset + 1, true},
        {kMaxSize, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        const QByteArray image = MakeFirmwareImage(9, c.size);
        ASSERT_EQ(image.size(), c.size);
        const quint32 sp = qFromLittleEndian<quint32>(image.constData());
        const quint32 reset = qFromLittleEndian<quint32>(image.constData() + 4);
        EXPECT_EQ(sp, 0x20005000u);
        EXPECT_EQ(reset & 1u, 1u) << "Thumb";
        ASSERT_GE(reset, 0x08000000u + 0x130);
        ASSERT_LT(reset, 0x08000000u + quint32(c.size));
        const int handler = int(reset - 1 - 0x08000000u);
        EXPECT_EQ(image.mid(handler, 2), QByteArray("\xFE\xE7")) << "the reset handler is code";
        if (c.holdsVersion) {
            EXPECT_EQ(image.mid(kVersionRecordOffset, 8), QByteArray::fromHex("0000000000000009"));
        } else if (c.size > kVersionRecordOffset) {
            EXPECT_EQ(image.mid(kVersionRecordOffset, 7), QByteArray(7, '\0'));
        }
    }
}

TEST(ContentFirmwareImage, FillerDependsOnVersion)
{
    EXPECT_EQ(MakeFirmwareImage(10, 51472), MakeFirmwareImage(10, 51472));
    EXPECT_NE(MakeFirmwareImage(10, 51472), MakeFirmwareImage(11, 51472));
}

TEST(ContentFirmwareImage, SizesOutsideTheFlashGiveNoImage)
{
    for (int size : {0, synthetic_firmware::kMinSize - 1, synthetic_firmware::kMaxSize + 1})
        EXPECT_TRUE(MakeFirmwareImage(11, size).isEmpty()) << size;
}

} // namespace

namespace {

// The file's own name says the version, and only a name that is exactly of that form does.
TEST(FirmwareFileName, GivesTheVersionOnlyForTheMakersForm)
{
    struct Case {
        const char *name;
        std::optional<int> version;
    };
    const Case cases[] = {
        {"FIRMWARE_12.bin", 12},
        {"firmware_9.BIN", 9},
        {"FIRMWARE_12.bin\n", std::nullopt},
        {"FIRMWARE_12.bin.exe", std::nullopt},
        {"my FIRMWARE_12.bin", std::nullopt},
        {"FIRMWARE_1234.bin", std::nullopt},
        {"FIRMWARE_.bin", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(firmwareVersionFromFileName(c.name), c.version) << '"' << c.name << '"';
}

} // namespace
