#include "device/transport.h"
#include "inprocessdriver.h"
#include "support/scriptedprompt.h"
#include "virtualpedal.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace vadrelon;

class Transport : public ::testing::Test {
protected:
    Transport() { driver.attach(&pedal); }
    test::ScriptedPrompt prompt;
    sim::InProcessDriver driver;
    sim::VirtualPedal pedal;
    UsbTransport t{driver, prompt};

    void openPedal()
    {
        ASSERT_EQ(t.Open_USB_Device_By_Serial_Number(QString::fromLatin1(pedal.serialNumber)), FT_OK);
    }
    // Bytes from the pedal, as if it had sent them.
    void pedalSends(const QByteArray &bytes)
    {
        emit pedal.toHost(bytes);
        QCoreApplication::processEvents();
    }
};

TEST_F(Transport, ReportsEveryStatusWithItsTextOnlyWhileReportingIsOn)
{
    const std::pair<FT_STATUS, const char *> texts[] = {
        {1, "FT_Write - Invalid handle..."},           {2, "FT_Write - Device not found..."},
        {3, "FT_Write - Device not opened..."},        {4, "FT_Write - General IO error..."},
        {5, "FT_Write - Insufficient resources..."},   {6, "FT_Write - Invalid parameter..."},
        {7, "FT_Write - Invalid baud rate..."},        {8, "FT_Write Device not opened for erase..."},
        {9, "FT_Write Device not opened for write..."}, {10, "FT_Write - Failed to write..."},
        {11, "FT_Write - EEPROM read failed..."},      {12, "FT_Write - EEPROM write failed..."},
        {13, "FT_Write - EEPROM erase failed..."},     {14, "FT_Write - EEPROM not present..."},
        {15, "FT_Write - EEPROM not programmed..."},   {16, "FT_Write - Invalid arguments..."},
        {17, "FT_Write - Other error ..."},            {18, "FT_Write"},
    };
    for (const auto &[status, text] : texts) {
        prompt.messages.clear();
        t.UsbErrorReporting = true;
        t.ReportUsbError("FT_Write", status);
        EXPECT_EQ(prompt.messages, QStringList({text})) << status;
        t.UsbErrorReporting = false;
        t.ReportUsbError("FT_Write", status);
        EXPECT_EQ(prompt.messages.size(), 1) << status;
    }
    t.UsbErrorReporting = true;
    t.ReportUsbError("FT_Write", FT_OK);
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(Transport, SerialNumbersAreCutTo49Characters)
{
    const QByteArray serial49 = QByteArray(49, 'S');
    pedal.serialNumber = serial49;
    EXPECT_EQ(t.Open_USB_Device_By_Serial_Number(QString::fromLatin1(serial49 + "ELEVENMORE!")), FT_OK);

    pedal.serialNumber = QByteArray(60, 'L');
    EXPECT_EQ(t.Open_USB_Device_By_Serial_Number(QString::fromLatin1(pedal.serialNumber)), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(prompt.messages.last(), "Open_USB_Device_By_Serial_Number - Device not found...");
}

TEST_F(Transport, DeviceStringsTakeTheDriversAnswerUpToItsZeroByte)
{
    for (int length : {20, 63, 64, 70}) {
        pedal.description = QByteArray(length, 'D');
        ASSERT_EQ(t.GetFTDeviceCount(), FT_OK);
        ASSERT_EQ(t.GetFTDeviceDescription(0), FT_OK);
        EXPECT_EQ(t.UsbDeviceString.size(), std::min(length, 64)) << length;
    }
    ASSERT_EQ(t.GetFTDeviceSerialNo(0), FT_OK);
    EXPECT_EQ(t.UsbDeviceString, pedal.serialNumber);
    EXPECT_NE(t.GetFTDeviceDescription(5), FT_OK);
    EXPECT_EQ(t.UsbDeviceString, pedal.serialNumber) << "a failed query leaves the string";
    EXPECT_EQ(prompt.messages.last(), "GetFTDeviceDescription - Device not found...");
}

TEST_F(Transport, ReadTakesWhatIsWaitingButNeverMoreThanTheBuffer)
{
    openPedal();
    EXPECT_EQ(t.UsbRead(kUsbBufferSize), 0u);
    pedalSends(QByteArray(200, 'x'));
    EXPECT_EQ(t.UsbRead(1), 200u);
    QByteArray big(70000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i);
    pedalSends(big);
    EXPECT_EQ(t.UsbRead(kUsbBufferSize), kUsbBufferSize);
    EXPECT_EQ(t.lastRead(), big.left(65536));
    EXPECT_EQ(t.UsbRead(kUsbBufferSize), 70000u - 65536u);
    EXPECT_EQ(t.lastRead(), big.mid(65536));
}

TEST_F(Transport, AfterCloseTheStaleHandleReachesTheDriverAndItsAnswerIsReported)
{
    openPedal();
    ASSERT_EQ(t.UsbClose(), FT_OK);
    t.UsbTxBuffer[0] = 0x02;
    EXPECT_EQ(t.UsbWrite(1), 0u);
    EXPECT_EQ(t.UsbIoStatus, FT_INVALID_HANDLE);
    EXPECT_EQ(prompt.messages.last(), "FT_Write - Invalid handle...");
}

TEST_F(Transport, ASecondOpenClosesTheFirstHandle)
{
    openPedal();
    const FT_HANDLE first = t.UsbHandle;
    openPedal(); // the pedal refuses a second open while the first handle holds it
    EXPECT_NE(t.UsbHandle, first);
    EXPECT_EQ(driver.close(first), FT_INVALID_HANDLE) << "the first handle was closed";
}

TEST_F(Transport, AnUnplugIsReportedOnceAndClosesThePort)
{
    openPedal();
    int lost = 0;
    QObject::connect(&t, &UsbTransport::deviceLost, [&] { ++lost; });
    pedal.unplug();
    t.UsbErrorReporting = false;
    t.UsbQueueStatus();
    t.UsbRead(kUsbBufferSize);
    t.UsbTxBuffer[0] = 0x0D;
    t.UsbWrite(1);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(t.isOpen());
}
