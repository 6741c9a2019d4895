// What the Qt Serial Port driver does beyond every driver (tests/unit/serialdriver_test.cpp):
// what it makes of QSerialPort's errors and refusals, its place beside the termios driver, and
// the switch that chooses it.
#include "device/posixdriver.h"
#include "device/qtserialdriver.h"
#include "device/serialdrivers.h"
#include "device/transport.h"

#include <gtest/gtest.h>

#include "unit/ptypedal.h"
#include "unit/unprivileged.h"

#include <optional>

namespace vadrelon {
namespace {

using test::kDescription;
using test::kSerial;

TEST(QtSerialDriverErrors, OnlyThoseOfAPortThatIsGoneUnlink)
{
    struct Case {
        QSerialPort::SerialPortError error;
        bool gone;
    };
    const Case cases[] = {
        {QSerialPort::ResourceError, true},
        // What a hung-up terminal reports: its reads come back empty.
        {QSerialPort::ReadError, true},
        {QSerialPort::WriteError, true},
        {QSerialPort::DeviceNotFoundError, true},
        {QSerialPort::PermissionError, false},
        {QSerialPort::OpenError, false},
        {QSerialPort::NotOpenError, false},
        {QSerialPort::UnsupportedOperationError, false},
        {QSerialPort::TimeoutError, false},
        {QSerialPort::UnknownError, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.error);
        EXPECT_NE(serialPortStatus(c.error), FT_OK);
        EXPECT_EQ(isDeviceGone(serialPortStatus(c.error)), c.gone);
    }
    EXPECT_EQ(serialPortStatus(QSerialPort::NoError), FT_OK);
}

class QtSerialDriverTest : public test::PtyPedalTest {
protected:
    SerialDriver &driver() override { return driver_; }
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override { return driver_.openPort(port, handle); }

    QtSerialDriver driver_;
};

// QSerialPort cannot read the framing back; a pseudo-terminal refuses parity outright, which
// only a virtual pedal may be excused.
TEST_F(QtSerialDriverTest, FramingIsRefusedWhereTheSystemRefusesItUnlessOnAVirtualPedal)
{
    struct Case {
        const char *name;
        bool announced;
        quint8 bits, stop, parity;
        FT_STATUS status;
    };
    const Case cases[] = {
        {"8N1", true, 8, 0, 0, FT_OK},
        {"8E1 on a virtual pedal", true, 8, 0, 2, FT_OK},
        {"8N1 on a bare terminal", false, 8, 0, 0, FT_OK},
        {"8E1 on a bare terminal", false, 8, 0, 2, FT_IO_ERROR},
        {"9 bits", true, 9, 0, 0, FT_INVALID_PARAMETER},
        {"stop code 1", true, 8, 1, 0, FT_INVALID_PARAMETER},
        {"mark parity", true, 8, 0, 3, FT_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FT_HANDLE handle = 0;
        ASSERT_EQ(driver_.openPort({path_, kSerial, kDescription, c.announced}, handle), FT_OK);
        EXPECT_EQ(driver_.setBaudRate(handle, 115200), FT_OK);
        EXPECT_EQ(driver_.setDataCharacteristics(handle, c.bits, c.stop, c.parity), c.status);
        // A refused setting leaves the port working.
        quint32 written = 0;
        EXPECT_EQ(driver_.write(handle, "\x02\x00", 2, written), FT_OK);
        EXPECT_EQ(pedalReceives(2), QByteArray("\x02\x00", 2));
        ASSERT_EQ(driver_.close(handle), FT_OK);
    }
}

// An editor on the termios driver and one on the Qt driver (the same program's other build, or
// another player's tool) keep each other out, run as the tests run and as an ordinary user.
class EitherDriverHolding : public test::PtyPedalTest, public ::testing::WithParamInterface<bool> {
protected:
    SerialDriver &driver() override { return qt_; }
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override { return qt_.openPort(port, handle); }

    QtSerialDriver qt_;
    PosixSerialDriver termios_;
};

TEST_P(EitherDriverHolding, ThePortTheOtherIsToldItIsInUse)
{
    std::optional<test::WithoutAdminPower> ordinaryUser;
    if (GetParam())
        ordinaryUser.emplace();
    const PortInfo port{path_, kSerial, kDescription, true};
    const std::pair<SerialDriver *, SerialDriver *> turns[] = {{&termios_, &qt_}, {&qt_, &termios_}};
    for (const auto &[holder, other] : turns) {
        SCOPED_TRACE(holder == &qt_ ? "the Qt driver holds the port" : "the termios driver holds the port");
        FT_HANDLE held = 0;
        ASSERT_EQ(holder == &qt_ ? qt_.openPort(port, held) : termios_.openPort(port, held), FT_OK);
        FT_HANDLE refused = 0;
        EXPECT_EQ(other == &qt_ ? qt_.openPort(port, refused) : termios_.openPort(port, refused), FT_DEVICE_NOT_OPENED);
        EXPECT_EQ(other->lastOpenFailure().cause, OpenFailure::Cause::InUse);
        EXPECT_EQ(other->lastOpenFailure().port, path_);

        // The holder works on, and lets go for the other.
        quint32 written = 0;
        EXPECT_EQ(holder->write(held, "\x02\x00", 2, written), FT_OK);
        EXPECT_EQ(pedalReceives(2), QByteArray("\x02\x00", 2));
        ASSERT_EQ(holder->close(held), FT_OK);
        FT_HANDLE next = 0;
        ASSERT_EQ(other == &qt_ ? qt_.openPort(port, next) : termios_.openPort(port, next), FT_OK);
        ASSERT_EQ(other->close(next), FT_OK);
    }
}

INSTANTIATE_TEST_SUITE_P(, EitherDriverHolding, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &info) {
    return info.param ? "AsAnOrdinaryUser" : "AsTheTestsRun";
});

TEST(SerialDriverChoice, TheEnvironmentChoosesTheQtDriverOnLinux)
{
    const QByteArray saved = qgetenv("VADRELON_SERIAL_DRIVER");
    const bool wasSet = qEnvironmentVariableIsSet("VADRELON_SERIAL_DRIVER");
    struct Case {
        const char *value; // null: not set
        bool qt;
    };
    const Case cases[] = {{nullptr, false}, {"qt", true}, {"", false}, {"termios", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(not set)");
        if (c.value)
            qputenv("VADRELON_SERIAL_DRIVER", c.value);
        else
            qunsetenv("VADRELON_SERIAL_DRIVER");
        const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
        EXPECT_EQ(qobject_cast<QtSerialDriver *>(driver.get()) != nullptr, c.qt);
        EXPECT_EQ(qobject_cast<PosixSerialDriver *>(driver.get()) != nullptr, !c.qt);
    }
    if (wasSet)
        qputenv("VADRELON_SERIAL_DRIVER", saved);
    else
        qunsetenv("VADRELON_SERIAL_DRIVER");
}

} // namespace
} // namespace vadrelon
