#include "device/transport.h"
#include "inprocessdriver.h"
#include "virtualpedal.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace vadrelon;

class Transport : public ::testing::Test {
protected:
    Transport()
    {
        pedal2.serialNumber = "VP000002";
        driver.attach(&pedal);
        driver.attach(&pedal2);
    }
    sim::InProcessDriver driver;
    sim::VirtualPedal pedal;
    sim::VirtualPedal pedal2;
    UsbTransport t{driver};

    void openPedal() { ASSERT_EQ(t.open(QString::fromLatin1(pedal.serialNumber)), FT_OK); }
    // Bytes from the pedal, as if it had sent them.
    void pedalSends(const QByteArray &bytes)
    {
        emit pedal.toHost(bytes);
        QCoreApplication::processEvents();
    }
};

TEST_F(Transport, NamesEveryStatusWithItsText)
{
    const std::pair<FT_STATUS, const char *> texts[] = {
        {1, "FT_Write - Invalid handle..."},
        {2, "FT_Write - Device not found..."},
        {3, "FT_Write - Device not opened..."},
        {4, "FT_Write - General IO error..."},
        {5, "FT_Write - Insufficient resources..."},
        {6, "FT_Write - Invalid parameter..."},
        {7, "FT_Write - Invalid baud rate..."},
        {8, "FT_Write Device not opened for erase..."},
        {9, "FT_Write Device not opened for write..."},
        {10, "FT_Write - Failed to write..."},
        {11, "FT_Write - EEPROM read failed..."},
        {12, "FT_Write - EEPROM write failed..."},
        {13, "FT_Write - EEPROM erase failed..."},
        {14, "FT_Write - EEPROM not present..."},
        {15, "FT_Write - EEPROM not programmed..."},
        {16, "FT_Write - Invalid arguments..."},
        {17, "FT_Write - Other error ..."},
        {18, "FT_Write"},
    };
    for (const auto &[status, text] : texts) {
        const Error e = usbError("FT_Write", status);
        EXPECT_EQ(e.code, ErrorCode::Transport);
        EXPECT_EQ(e.detail, text) << status;
    }
}

TEST_F(Transport, SerialNumbersAreCutTo49Characters)
{
    const QByteArray serial49 = QByteArray(49, 'S');
    pedal.serialNumber = serial49;
    EXPECT_EQ(t.open(QString::fromLatin1(serial49 + "ELEVENMORE!")), FT_OK);
    t.close();

    pedal.serialNumber = QByteArray(60, 'L');
    EXPECT_EQ(t.open(QString::fromLatin1(pedal.serialNumber)), FT_DEVICE_NOT_FOUND);
}

TEST_F(Transport, DeviceStringsTakeTheDriversAnswerUpToItsZeroByte)
{
    quint32 count = 0;
    QByteArray text;
    for (int length : {20, 63, 64, 70}) {
        pedal.description = QByteArray(length, 'D');
        ASSERT_EQ(t.countDevices(count), FT_OK);
        ASSERT_EQ(t.descriptionAt(0, text), FT_OK);
        EXPECT_EQ(text.size(), std::min(length, 64)) << length;
    }
    ASSERT_EQ(t.serialNumberAt(0, text), FT_OK);
    EXPECT_EQ(text, pedal.serialNumber);
    EXPECT_NE(t.descriptionAt(5, text), FT_OK);
    EXPECT_EQ(text, pedal.serialNumber) << "a failed query leaves the string";
}

TEST_F(Transport, ReadTakesWhatIsWaitingButNeverMoreThanTheBuffer)
{
    openPedal();
    QByteArray got;
    ASSERT_EQ(t.read(got), FT_OK);
    EXPECT_TRUE(got.isEmpty());
    pedalSends(QByteArray(200, 'x'));
    ASSERT_EQ(t.read(got), FT_OK);
    EXPECT_EQ(got, QByteArray(200, 'x'));
    QByteArray big(70000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i);
    pedalSends(big);
    ASSERT_EQ(t.read(got), FT_OK);
    EXPECT_EQ(got, big.left(65536));
    ASSERT_EQ(t.read(got), FT_OK);
    EXPECT_EQ(got, big.mid(65536));
}

TEST_F(Transport, AfterCloseTheStaleHandleReachesTheDriverAndItsAnswerComesBack)
{
    openPedal();
    ASSERT_EQ(t.close(), FT_OK);
    quint32 written = 1;
    EXPECT_EQ(t.write(QByteArray(1, '\x02'), written), FT_INVALID_HANDLE);
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(t.isOpen());
}

TEST_F(Transport, OpeningAnotherPedalClosesTheFirstHandleOnlyOnceTheNewOneIsOpen)
{
    openPedal();
    const FT_HANDLE first = t.handle();
    EXPECT_EQ(t.open(QStringLiteral("NOSUCHPEDAL")), FT_DEVICE_NOT_FOUND);
    EXPECT_TRUE(t.isOpen());
    EXPECT_EQ(t.handle(), first) << "a failed open keeps the link that works";
    quint32 waiting = 0;
    EXPECT_EQ(t.queueStatus(waiting), FT_OK) << "and its handle still open";

    ASSERT_EQ(t.open(QString::fromLatin1(pedal2.serialNumber)), FT_OK);
    EXPECT_NE(t.handle(), first);
    EXPECT_EQ(driver.close(first), FT_INVALID_HANDLE) << "the first handle was closed";
}

TEST_F(Transport, ACloseThatFailsStillGivesTheHandleUp)
{
    openPedal();
    pedal.unplug();
    t.close();
    EXPECT_FALSE(t.isOpen());
}

TEST_F(Transport, LinkModesSetParityOnlyForTheBootloader)
{
    openPedal();
    t.selectLinkMode(LinkMode::Bootloader);
    EXPECT_EQ(t.baudRate(), 115200u);
    EXPECT_EQ(t.parity(), FT_PARITY_EVEN);
    t.selectLinkMode(LinkMode::Normal);
    EXPECT_EQ(t.parity(), FT_PARITY_NONE);
}
