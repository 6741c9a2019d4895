// The POSIX driver against a pseudo-terminal: the test holds the master side and plays the
// pedal; the driver opens the slave side like any serial port.
#include "device/posixdriver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/scopedpedalsdir.h"
#include "unit/unprivileged.h"

#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace vadrelon {
namespace {

constexpr const char *kSerial = "VP000001";
constexpr const char *kDescription = "Vadrelon MK3 (virtual)";

using test::ScopedPedalsDir;

class PosixDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.isValid());
        char name[128] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(name);
        announce(kSerial, kDescription);
    }

    void TearDown() override
    {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }

    void announce(const QByteArray &serial, const QByteArray &description)
    {
        QFile file(folder_.filePath(QString::fromLatin1(serial) + ".port"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QFile::encodeName(path_) + '\n' + serial + '\n' + description + '\n');
    }

    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    FT_HANDLE openPedal()
    {
        quint32 count = 0;
        EXPECT_EQ(driver_.listCount(count), FT_OK);
        FT_HANDLE handle = 0;
        EXPECT_EQ(driver_.openBySerial(kSerial, handle), FT_OK);
        return handle;
    }

    void pedalSends(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    }

    // What the pedal received, waiting at most 2 s for `expected` bytes.
    QByteArray pedalReceives(int expected)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < expected && clock.elapsed() < 2000) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<int>(n));
        }
        return got;
    }

    // Waits (bounded) until the driver sees `count` bytes waiting.
    quint32 waitQueued(FT_HANDLE handle, quint32 count)
    {
        quint32 waiting = 0;
        QElapsedTimer clock;
        clock.start();
        while (driver_.queueStatus(handle, waiting) == FT_OK && waiting < count && clock.elapsed() < 2000)
            QTest::qWait(5);
        return waiting;
    }

    QTemporaryDir folder_;
    ScopedPedalsDir pedalsDir_{folder_.path()};
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    PosixSerialDriver driver_;
};

TEST_F(PosixDriverTest, ListsAnnouncedPedal)
{
    quint32 count = 0;
    ASSERT_EQ(driver_.listCount(count), FT_OK);
    ASSERT_GE(count, 1u);
    const quint32 last = count - 1;

    char answer[FT_LIST_ANSWER_SIZE];
    std::memset(answer, 'x', sizeof answer);
    ASSERT_EQ(driver_.listByIndex(last, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_OK);
    EXPECT_STREQ(answer, kSerial);
    ASSERT_EQ(driver_.listByIndex(last, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
    EXPECT_STREQ(answer, kDescription);

    EXPECT_EQ(driver_.listByIndex(count, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver_.listByIndex(last, FT_LIST_BY_INDEX, answer), FT_INVALID_PARAMETER);

    FT_HANDLE handle = 0;
    EXPECT_EQ(driver_.openByIndex(last, handle), FT_OK);
    EXPECT_EQ(driver_.openByIndex(count + 5, handle), FT_DEVICE_NOT_FOUND);
}

TEST_F(PosixDriverTest, LongDescriptionIsCutAtTheAnswerSize)
{
    const QByteArray description(70, 'D');
    announce("VP000002", description);
    quint32 count = 0;
    ASSERT_EQ(driver_.listCount(count), FT_OK);
    char answer[FT_LIST_ANSWER_SIZE];
    ASSERT_EQ(driver_.listByIndex(count - 1, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
    EXPECT_EQ(QByteArray(answer, FT_LIST_ANSWER_SIZE), description.left(FT_LIST_ANSWER_SIZE));
}

TEST_F(PosixDriverTest, CarriesBytesBothWays)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(&driver_, &SerialDriver::bytesArrived);

    const char request[] = {0x02, 0x00};
    quint32 written = 0;
    ASSERT_EQ(driver_.write(handle, request, 2, written), FT_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(pedalReceives(2), QByteArray(request, 2));

    char buffer[64] = {};
    quint32 got = 99;
    EXPECT_EQ(driver_.read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(got, 0u) << "nothing sent yet, and the read must not wait";

    pedalSends("11\r\n12\r\n");
    ASSERT_TRUE(arrived.wait(2000));
    EXPECT_EQ(waitQueued(handle, 8), 8u);
    ASSERT_EQ(driver_.read(handle, buffer, 3, got), FT_OK);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), "11\r");
    ASSERT_EQ(driver_.read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(QByteArray(buffer, static_cast<int>(got)), "\n12\r\n");
    quint32 waiting = 99;
    EXPECT_EQ(driver_.queueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);

    // The next bytes wake a waiter again.
    arrived.clear();
    pedalSends("x");
    EXPECT_TRUE(arrived.wait(2000));
}

TEST_F(PosixDriverTest, PurgeDropsWaitingBytes)
{
    const FT_HANDLE handle = openPedal();
    pedalSends("stale reply");
    ASSERT_EQ(waitQueued(handle, 11), 11u);
    EXPECT_EQ(driver_.purge(handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    quint32 waiting = 99;
    EXPECT_EQ(driver_.queueStatus(handle, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(driver_.purge(handle, FT_PURGE_TX), FT_OK);
    EXPECT_EQ(driver_.purge(handle, 4), FT_INVALID_PARAMETER);
}

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

TEST_F(PosixDriverTest, AFailedOpenNamesItsCause)
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
             undo.push_back([this, first] { driver_.close(first); });
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
            status = driver_.openPort({port, kSerial, kDescription, true}, handle);
        }
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(driver_.lastOpenFailure().cause, c.cause);
        EXPECT_EQ(driver_.lastOpenFailure().port, port);
        if (status == FT_OK)
            driver_.close(handle);
        for (const auto &step : undo)
            step();
        undo.clear();
    }

    // A serial number that nothing announces: nothing was there to open.
    FT_HANDLE handle = 0;
    EXPECT_EQ(driver_.openBySerial("NOSUCH", handle), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver_.lastOpenFailure().cause, Cause::Gone);
    // An open that works leaves no cause behind from the one before.
    EXPECT_EQ(driver_.openPort({path_, kSerial, kDescription, true}, handle), FT_OK);
    EXPECT_EQ(driver_.lastOpenFailure().cause, Cause::Unknown);
}

TEST_F(PosixDriverTest, StaleAndUnknownHandlesAreRefused)
{
    const FT_HANDLE stale = openPedal();
    ASSERT_EQ(driver_.close(stale), FT_OK);
    char buffer[4] = {};
    quint32 n = 0;
    const std::pair<const char *, std::function<FT_STATUS(FT_HANDLE)>> calls[] = {
        {"close", [&](FT_HANDLE h) { return driver_.close(h); }},
        {"queueStatus", [&](FT_HANDLE h) { return driver_.queueStatus(h, n); }},
        {"read", [&](FT_HANDLE h) { return driver_.read(h, buffer, sizeof buffer, n); }},
        {"write", [&](FT_HANDLE h) { return driver_.write(h, buffer, sizeof buffer, n); }},
        {"purge", [&](FT_HANDLE h) { return driver_.purge(h, FT_PURGE_RX); }},
        {"setBaudRate", [&](FT_HANDLE h) { return driver_.setBaudRate(h, 115200); }},
        {"setDataCharacteristics", [&](FT_HANDLE h) { return driver_.setDataCharacteristics(h, 8, 0, 0); }},
        {"setTimeouts", [&](FT_HANDLE h) { return driver_.setTimeouts(h, 100, 100); }},
        {"resetDevice", [&](FT_HANDLE h) { return driver_.resetDevice(h); }},
    };
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(call(stale), FT_INVALID_HANDLE);
        EXPECT_EQ(call(0), FT_INVALID_HANDLE);
    }
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

TEST_F(PosixDriverTest, UnplugIsReportedAsIoErrorAndQuietsTheNotifier)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(&driver_, &SerialDriver::bytesArrived);
    closeMaster();

    // Waiters are woken once so that they notice…
    ASSERT_TRUE(arrived.wait(2000));
    // …and not again and again: a hung-up terminal stays readable for ever.
    QTest::qWait(100);
    EXPECT_LE(arrived.count(), 2);

    quint32 waiting = 0;
    EXPECT_EQ(driver_.queueStatus(handle, waiting), FT_IO_ERROR);
    char buffer[8];
    quint32 n = 0;
    EXPECT_EQ(driver_.read(handle, buffer, sizeof buffer, n), FT_IO_ERROR);
    EXPECT_EQ(driver_.read(handle, buffer, 0, n), FT_IO_ERROR);
    EXPECT_EQ(driver_.write(handle, "x", 1, n), FT_IO_ERROR);
    EXPECT_EQ(driver_.close(handle), FT_OK);
}

TEST_F(PosixDriverTest, HandleMayBeClosedFromTheWakeUp)
{
    // What the transport does when the wake-up leads to a read that finds the device gone.
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(&driver_, &SerialDriver::bytesArrived);
    QObject::connect(&driver_, &SerialDriver::bytesArrived, &driver_, [&] { driver_.close(handle); });
    pedalSends("bye");
    ASSERT_TRUE(arrived.wait(2000));
    QTest::qWait(30);
    quint32 waiting = 0;
    EXPECT_EQ(driver_.queueStatus(handle, waiting), FT_INVALID_HANDLE);
    EXPECT_EQ(arrived.count(), 1);
}

TEST_F(PosixDriverTest, UnreadBytesDoNotKeepTheEventLoopBusy)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy arrived(&driver_, &SerialDriver::bytesArrived);
    pedalSends("unread");
    ASSERT_TRUE(arrived.wait(2000));
    QTest::qWait(200);
    // A level-triggered notifier would fire on every pass of the loop: thousands of times.
    EXPECT_LT(arrived.count(), 50);

    char buffer[16];
    quint32 got = 0;
    ASSERT_EQ(driver_.read(handle, buffer, sizeof buffer, got), FT_OK);
    EXPECT_EQ(got, 6u);
}

TEST_F(PosixDriverTest, AFullLineTakesWhatFitsAtOnceAndSaysWhenItHasRoom)
{
    const FT_HANDLE handle = openPedal();
    QSignalSpy writable(&driver_, &SerialDriver::writable);
    QByteArray block(65536, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i % 251);
    // The pedal does not read yet: the terminal's buffer (a few KiB) fills.
    quint32 written = 0;
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(driver_.write(handle, block.constData(), static_cast<quint32>(block.size()), written), FT_OK);
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
        ASSERT_EQ(driver_.write(handle, block.constData() + written, 65536u - written, more), FT_OK);
        written += more;
    }
    EXPECT_EQ(written, 65536u);
    got += pedalReceives(65536 - static_cast<int>(got.size()));
    EXPECT_EQ(got.size(), block.size());
    EXPECT_TRUE(got == block);
}

} // namespace
} // namespace vadrelon
