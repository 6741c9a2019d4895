#pragma once
// A driver against a pseudo-terminal: the test holds the master side and plays the pedal; the
// driver opens the slave side like any serial port, found through the pedal's announcement.
#include "device/d2xx.h"
#include "device/discovery.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/scopedpedalsdir.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace vadrelon::test {

constexpr const char *kSerial = "VP000001";
constexpr const char *kDescription = "Vadrelon MK3 (virtual)";

class PtyPedalTest : public ::testing::Test {
protected:
    virtual SerialDriver &driver() = 0;
    // Opens the given port, listed or not, as the driver's own open calls do once they have
    // found it.
    virtual FT_STATUS openPort(const PortInfo &port, FT_HANDLE &handle) = 0;

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
        EXPECT_EQ(driver().listCount(count), FT_OK);
        FT_HANDLE handle = 0;
        EXPECT_EQ(driver().openBySerial(kSerial, handle), FT_OK);
        return handle;
    }

    void pedalSends(const QByteArray &bytes)
    {
        ASSERT_EQ(::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
    }

    // What the pedal received, waiting at most 2 s for `expected` bytes. The event loop runs
    // meanwhile, as a driver may hand bytes to the line from it.
    QByteArray pedalReceives(int expected)
    {
        QByteArray got;
        QElapsedTimer clock;
        clock.start();
        while (got.size() < expected && clock.elapsed() < 2000) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0) {
                QTest::qWait(5);
                continue;
            }
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
        while (driver().queueStatus(handle, waiting) == FT_OK && waiting < count && clock.elapsed() < 2000)
            QTest::qWait(5);
        return waiting;
    }

    QTemporaryDir folder_;
    ScopedPedalsDir pedalsDir_{folder_.path()};
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

} // namespace vadrelon::test
