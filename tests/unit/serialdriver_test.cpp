// What every driver of the system's serial ports does, the termios driver and the Qt Serial Port
// driver alike, against a pseudo-terminal.
#include "device/posixdriver.h"
#include "device/qtserialdriver.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "unit/ptypedal.h"
#include "unit/unprivileged.h"

#include <ctime>
#include <functional>
#include <optional>
#include <ostream>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

namespace vadrelon {
namespace {

using test::kDescription;
using test::kSerial;

enum class Driver { Termios, Qt };

void PrintTo(Driver driver, std::ostream *os)
{
    *os << (driver == Driver::Termios ? "termios" : "qt");
}

class SerialDriverOnAPty : public test::PtyPedalTest, public ::testing::WithParamInterface<Driver> {
protected:
    SerialDriverOnAPty()
    {
        if (GetParam() == Driver::Termios)
            driver_ = std::make_unique<PosixSerialDriver>();
        else
            driver_ = std::make_unique<QtSerialDriver>();
    }
    SerialDriver &driver() override { return *driver_; }
    FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) override
    {
        if (auto *termios = qobject_cast<PosixSerialDriver *>(driver_.get()))
            return termios->openPort(port, handle);
        return static_cast<QtSerialDriver &>(*driver_).openPort(port, handle);
    }

    std::unique_ptr<SerialDriver> driver_;
};

TEST_P(SerialDriverOnAPty, ListsAnnouncedPedal)
{
    quint32 count = 0;
    ASSERT_EQ(driver_->listCount(count), FT_OK);
    ASSERT_GE(count, 1u);
    const quint32 last = count - 1;

    char answer[FT_LIST_ANSWER_SIZE];
    std::memset(answer, 'x', sizeof answer);
    ASSERT_EQ(driver_->listByIndex(last, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_OK);
    EXPECT_STREQ(answer, kSerial);
    ASSERT_EQ(driver_->listByIndex(last, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
    EXPECT_STREQ(answer, kDescription);

    EXPECT_EQ(driver_->listByIndex(count, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver_->listByIndex(last, FT_LIST_BY_INDEX, answer), FT_INVALID_PARAMETER);

    FT_HANDLE handle = 0;
    EXPECT_EQ(driver_->openByIndex(last, handle), FT_OK);
    EXPECT_EQ(driver_->openByIndex(count + 5, handle), FT_DEVICE_NOT_FOUND);
}

TEST_P(SerialDriverOnAPty, LongDescriptionIsCutAtTheAnswerSize)
{
    const QByteArray description(70, 'D');
    announce("VP000002", description);
    quint32 count = 0;
    ASSERT_EQ(driver_->listCount(count), FT_OK);
    char answer[FT_LIST_ANSWER_SIZE];
    ASSERT_EQ(driver_->listByIndex(count - 1, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
    EXPECT_EQ(QByteArray(answer, FT_LIST_ANSWER_SIZE), description.left(FT_LIST_ANSWER_SIZE));
}

TEST_P(SerialDriverOnAPty, CarriesBytesBothWays)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(driver_.get(), &SerialDriver::bytesArrived);

    const char request[] = {0x02, 0x00};
    quint32 written = 0;
    ASSERT_EQ(driver_->write(handle, request, 2, written), FT_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(pedalReceives(2), QByteArray(request, 2));

    char buffer[64] = {};
    quint32 got = 99;
    EXPECT_EQ(driver_->read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(got, 0u) << "nothing sent yet, and the read must not wait";

    pedalSends("11\r\n12\r\n");
    ASSERT_TRUE(arrived.wait(2000));
    EXPECT_EQ(waitQueued(handle, 8), 8u);
    ASSERT_EQ(driver_->read(handle, buffer, 3, got), FT_OK);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), "11\r");
    ASSERT_EQ(driver_->read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), "\n12\r\n");
    quint32 waiting = 99;
    EXPECT_EQ(driver_->queueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);

    // The next bytes wake a waiter again.
    arrived.clear();
    pedalSends("x");
    EXPECT_TRUE(arrived.wait(2000));
}

TEST_P(SerialDriverOnAPty, PurgeDropsWaitingBytes)
{
    const FT_HANDLE handle = openPedal();
    pedalSends("stale reply");
    ASSERT_EQ(waitQueued(handle, 11), 11u);
    EXPECT_EQ(driver_->purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    quint32 waiting = 99;
    EXPECT_EQ(driver_->queueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(driver_->purge(handle, FT_PURGE_TX), FT_OK);
    EXPECT_EQ(driver_->purge(handle, 4), FT_INVALID_PARAMETER);
}

TEST_P(SerialDriverOnAPty, AFailedOpenNamesItsCause)
{
    using Cause = OpenFailure::Cause;
    std::vector<std::function<void()>> undo;
    enum class As { ItRuns, AnotherUser, WithoutAdminPower };
    struct Case {
        const char *name;
        // Makes the situation and says which path to open.
        std::function<QString()> arrange;
        FT_STATUS status;
        Cause cause;
        As as = As::ItRuns;
    };
    // What another program does to hold the port: the exclusive flag, and a lock as well when
    // it is an editor, which privileged programs too must honour.
    const auto heldByAnotherProgram = [&](bool locked) {
        const int other = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(other, 0);
        if (locked) {
            EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        }
        EXPECT_EQ(::ioctl(other, TIOCEXCL), 0);
        undo.push_back([other] {
            ::ioctl(other, TIOCNXCL);
            ::close(other);
        });
        return path_;
    };
    const Case cases[] = {
        {"the port has gone", [&] { return folder_.filePath("ttyGone"); }, FT_DEVICE_NOT_FOUND, Cause::Gone},
        {"this driver holds the port",
         [&] {
             const FT_HANDLE first = openPedal();
             undo.push_back([this, first] { driver_->close(first); });
             return path_;
         },
         FT_DEVICE_NOT_OPENED, Cause::InUse},
        {"another editor holds the port", [&] { return heldByAnotherProgram(true); }, FT_DEVICE_NOT_OPENED,
         Cause::InUse},
        {"another program holds the port for itself", [&] { return heldByAnotherProgram(false); }, FT_DEVICE_NOT_OPENED,
         Cause::InUse, As::WithoutAdminPower},
        {"the user may not open the port",
         [&] {
             const QByteArray name = QFile::encodeName(path_);
             struct stat was {};
             EXPECT_EQ(::stat(name.constData(), &was), 0);
             EXPECT_EQ(::chmod(name.constData(), 0), 0);
             undo.push_back([name, was] { ::chmod(name.constData(), was.st_mode & 07777); });
             return path_;
         },
         FT_DEVICE_NOT_OPENED, Cause::PermissionDenied, As::AnotherUser},
        {"/dev/null", [] { return QStringLiteral("/dev/null"); }, FT_DEVICE_NOT_OPENED, Cause::NotASerialPort},
        {"a regular file",
         [&] {
             QFile file(folder_.filePath("plain"));
             EXPECT_TRUE(file.open(QIODevice::WriteOnly));
             return file.fileName();
         },
         FT_DEVICE_NOT_OPENED, Cause::NotASerialPort},
        {"a folder", [&] { return folder_.path(); }, FT_DEVICE_NOT_OPENED, Cause::NotASerialPort},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString port = c.arrange();
        FT_HANDLE handle = 0;
        FT_STATUS status = FT_OK;
        {
            std::optional<test::AsAnotherUser> user;
            std::optional<test::WithoutAdminPower> withoutAdminPower;
            if (c.as == As::AnotherUser)
                user.emplace();
            if (c.as == As::WithoutAdminPower)
                withoutAdminPower.emplace();
            status = openPort({port, kSerial, kDescription, true}, handle);
        }
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(driver_->lastOpenFailure().cause, c.cause);
        EXPECT_EQ(driver_->lastOpenFailure().port, port);
        if (status == FT_OK)
            driver_->close(handle);
        for (const auto &step : undo)
            step();
        undo.clear();
    }

    // A serial number that nothing announces: nothing was there to open.
    FT_HANDLE handle = 0;
    EXPECT_EQ(driver_->openBySerial("NOSUCH", handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver_->lastOpenFailure().cause, Cause::Gone);
    // An open that works leaves no cause behind from the one before.
    EXPECT_EQ(openPort({path_, kSerial, kDescription, true}, handle), FT_OK);
    EXPECT_EQ(driver_->lastOpenFailure().cause, Cause::Unknown);
}

TEST_P(SerialDriverOnAPty, StaleAndUnknownHandlesAreRefused)
{
    const FT_HANDLE stale = openPedal();
    ASSERT_EQ(driver_->close(stale), FT_OK);
    char buffer[4] = {};
    quint32 n = 0;
    const std::pair<const char *, std::function<FT_STATUS(FT_HANDLE)>> calls[] = {
        {"close", [&](FT_HANDLE h) { return driver_->close(h); }},
        {"queueStatus", [&](FT_HANDLE h) { return driver_->queueStatus(h, n); }},
        {"read", [&](FT_HANDLE h) { return driver_->read(h, buffer, sizeof buffer, n); }},
        {"write", [&](FT_HANDLE h) { return driver_->write(h, buffer, sizeof buffer, n); }},
        {"purge", [&](FT_HANDLE h) { return driver_->purge(h, FT_PURGE_RX); }},
        {"setBaudRate", [&](FT_HANDLE h) { return driver_->setBaudRate(h, 115200); }},
        {"setDataCharacteristics", [&](FT_HANDLE h) { return driver_->setDataCharacteristics(h, 8, 0, 0); }},
        {"setTimeouts", [&](FT_HANDLE h) { return driver_->setTimeouts(h, 100, 100); }},
        {"resetDevice", [&](FT_HANDLE h) { return driver_->resetDevice(h); }},
    };
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(stale), FT_INVALID_HANDLE);
        EXPECT_EQ(call(0), FT_INVALID_HANDLE);
    }
}

TEST_P(SerialDriverOnAPty, UnplugIsReportedAsIoErrorAndQuietsTheNotifier)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(driver_.get(), &SerialDriver::bytesArrived);
    closeMaster();

    // Waiters are woken once so that they notice…
    ASSERT_TRUE(arrived.wait(2000));
    // …and not again and again: a hung-up terminal stays readable for ever.
    QTest::qWait(100);
    EXPECT_LE(arrived.count(), 2);

    quint32 waiting = 0;
    EXPECT_EQ(driver_->queueStatus(handle, waiting), FT_IO_ERROR);
    char buffer[8];
    quint32 n = 0;
    EXPECT_EQ(driver_->read(handle, buffer, sizeof buffer, n), FT_IO_ERROR);
    EXPECT_EQ(driver_->read(handle, buffer, 0, n), FT_IO_ERROR);
    EXPECT_EQ(driver_->write(handle, "x", 1, n), FT_IO_ERROR);
    EXPECT_EQ(driver_->close(handle), FT_OK);
}

TEST_P(SerialDriverOnAPty, HandleMayBeClosedFromTheWakeUp)
{
    // What the transport does when the wake-up leads to a read that finds the device gone.
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(driver_.get(), &SerialDriver::bytesArrived);
    QObject::connect(driver_.get(), &SerialDriver::bytesArrived, driver_.get(), [&] { driver_->close(handle); });
    pedalSends("bye");
    ASSERT_TRUE(arrived.wait(2000));
    QTest::qWait(30);
    quint32 waiting = 0;
    EXPECT_EQ(driver_->queueStatus(handle, waiting), FT_INVALID_HANDLE);
    EXPECT_EQ(arrived.count(), 1);
}

TEST_P(SerialDriverOnAPty, UnreadBytesDoNotKeepTheEventLoopBusy)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(driver_.get(), &SerialDriver::bytesArrived);
    pedalSends("unread");
    ASSERT_TRUE(arrived.wait(2000));
    QTest::qWait(200);
    // A level-triggered notifier would fire on every pass of the loop: thousands of times.
    EXPECT_LT(arrived.count(), 50);

    char buffer[16];
    quint32 got = 0;
    ASSERT_EQ(driver_->read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(got, 6u);
}

TEST_P(SerialDriverOnAPty, AFullLineTakesWhatFitsAtOnceAndSaysWhenItHasRoom)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy writable(driver_.get(), &SerialDriver::writable);
    QByteArray block(65536, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i % 251);
    // The pedal does not read yet: the terminal's buffer (a few KiB) fills.
    quint32 written = 0;
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(driver_->write(handle, block.constData(), static_cast<quint32>(block.size()), written), FT_OK);
    EXPECT_LT(clock.elapsed(), 100) << "a write never waits for the line";
    ASSERT_GT(written, 0u);
    ASSERT_LT(written, 65536u);

    // The rest goes out as the port makes room, each time it says so.
    QByteArray got;
    const auto drain = [&] {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(master_, buffer, sizeof buffer)) > 0)
            got.append(buffer, static_cast<int>(n));
    };
    while (written < 65536u && clock.elapsed() < 5000) {
        drain();
        if (writable.isEmpty() && !writable.wait(50))
            continue;
        writable.clear();
        quint32 more = 0;
        ASSERT_EQ(driver_->write(handle, block.constData() + written, 65536u - written, more), FT_OK);
        written += more;
    }
    EXPECT_EQ(written, 65536u);
    got += pedalReceives(65536 - static_cast<int>(got.size()));
    EXPECT_EQ(got.size(), block.size());
    EXPECT_TRUE(got == block);
}

// A hung-up terminal stays readable for ever, and QSerialPort reports a read error on every
// pass of the event loop while it stays open: the driver must not spin on either.
TEST_P(SerialDriverOnAPty, AHungUpPortDoesNotKeepTheProcessorBusy)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(driver_.get(), &SerialDriver::bytesArrived);
    closeMaster();
    ASSERT_TRUE(arrived.wait(2000));
    const std::clock_t before = std::clock();
    QTest::qWait(300);
    const double busyMs = 1000.0 * static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(busyMs, 100.0) << "of 300 ms waiting";
    quint32 waiting = 0;
    EXPECT_EQ(driver_->queueStatus(handle, waiting), FT_IO_ERROR);
}

// A command that ends right after its last message, and a live message, must not wait for a
// pass of the event loop to reach the line.
TEST_P(SerialDriverOnAPty, AWriteReachesTheLineWithoutTheEventLoop)
{
    const FT_HANDLE handle = openPedal();
    quint32 written = 0;
    ASSERT_EQ(driver_->write(handle, "\x07\x04", 2, written), FT_OK);
    ASSERT_EQ(written, 2u);
    pollfd p{master_, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 500), 1) << "nothing on the line";
    char buffer[4] = {};
    EXPECT_EQ(::read(master_, buffer, sizeof buffer), 2);
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("\x07\x04", 2));
}

INSTANTIATE_TEST_SUITE_P(Drivers, SerialDriverOnAPty, ::testing::Values(Driver::Termios, Driver::Qt),
                         [](const ::testing::TestParamInfo<Driver> &info) {
                             return info.param == Driver::Termios ? "termios" : "qt";
                         });

} // namespace
} // namespace vadrelon
