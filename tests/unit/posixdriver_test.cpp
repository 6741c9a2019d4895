// What the termios driver does beyond every driver (tests/unit/serialdriver_test.cpp): the
// terminal's own flags, read back after each setting.
#include "device/posixdriver.h"

#include <gtest/gtest.h>

#include "unit/ptypedal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <utility>

namespace vadrelon {
namespace {

using test::kDescription;
using test::kSerial;

class PosixDriverTest : public test::PtyPedalTest {
protected:
    SerialDriver &driver() override { return driver_; }
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override { return driver_.openPort(port, handle); }

    PosixSerialDriver driver_;
};

TEST_F(PosixDriverTest, PortIsHeldExclusively)
{
    const FT_HANDLE first = openPedal();
    int exclusive = 0;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    FT_HANDLE second = 0;
    EXPECT_EQ(driver_.openBySerial(kSerial, second), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(driver_.openBySerial("NOSUCH", second), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver_.openBySerial(nullptr, second), FT_INVALID_PARAMETER);

    // Closing gives the port back, to us and to other programs.
    ASSERT_EQ(driver_.close(first), FT_OK);
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_EQ(driver_.openBySerial(kSerial, second), FT_OK);
    EXPECT_NE(second, first);
}

TEST_F(PosixDriverTest, BaudRateIsAppliedAndReadBack)
{
    const FT_HANDLE handle = openPedal();
    const std::pair<quint32, FT_STATUS> cases[] = {
        {115200, FT_OK}, {9600, FT_OK}, {921600, FT_OK}, {12345, FT_INVALID_BAUD_RATE}, {0, FT_INVALID_BAUD_RATE},
    };
    for (const auto &[baud, status] : cases) {
        SCOPED_TRACE(baud);
        EXPECT_EQ(driver_.setBaudRate(handle, baud), status);
    }
    ASSERT_EQ(driver_.setBaudRate(handle, 115200), FT_OK);
    termios tio{};
    ASSERT_EQ(::tcgetattr(slave_, &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t(B115200));
}

TEST_F(PosixDriverTest, FramingIsReadBackAndParityExcusedOnlyOnAVirtualPedal)
{
    struct Case {
        const char *name;
        bool announced;
        quint8 bits, stop, parity;
        FT_STATUS status;
    };
    const Case cases[] = {
        {"8N1", true, 8, 0, 0, FT_OK},
        {"8N2", true, 8, 2, 0, FT_OK},
        {"8E1 on a virtual pedal", true, 8, 0, 2, FT_OK},
        {"8O1 on a virtual pedal", true, 8, 0, 1, FT_OK},
        {"8N1 on a bare terminal", false, 8, 0, 0, FT_OK},
        {"8E1 on a bare terminal", false, 8, 0, 2, FT_IO_ERROR},
        {"7 bits on a terminal that forces 8", true, 7, 0, 0, FT_IO_ERROR},
        {"9 bits", true, 9, 0, 0, FT_INVALID_PARAMETER},
        {"stop code 1", true, 8, 1, 0, FT_INVALID_PARAMETER},
        {"mark parity", true, 8, 0, 3, FT_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FT_HANDLE handle = 0;
        ASSERT_EQ(driver_.openPort({path_, kSerial, kDescription, c.announced}, handle), FT_OK);
        EXPECT_EQ(driver_.setDataCharacteristics(handle, c.bits, c.stop, c.parity), c.status);
        if (c.status == FT_OK) {
            termios tio{};
            ASSERT_EQ(::tcgetattr(slave_, &tio), 0);
            EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
            EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.stop == 2);
        }
        ASSERT_EQ(driver_.close(handle), FT_OK);
    }
}

TEST_F(PosixDriverTest, OpenSetsRawModeWithoutFlowControl)
{
    // A terminal as it comes: line editing, echo, CR/LF translation.
    termios cooked{};
    ASSERT_EQ(::tcgetattr(slave_, &cooked), 0);
    ASSERT_TRUE(cooked.c_lflag & ICANON);

    const FT_HANDLE handle = openPedal();
    termios tio{};
    ASSERT_EQ(::tcgetattr(slave_, &tio), 0);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);

    // A CR must arrive as a CR, and a reply without a line end must be readable at once.
    pedalSends("\r\x03"
               "7");
    EXPECT_EQ(waitQueued(handle, 3), 3u);
    char buffer[8] = {};
    quint32 got = 0;
    ASSERT_EQ(driver_.read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), QByteArray("\r\x03"
                                                                    "7"));
}

} // namespace
} // namespace vadrelon
