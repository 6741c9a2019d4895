// The D2XX-shaped driver over in-process virtual pedals.
#include "inprocessdriver.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

using namespace vadrelon;
using namespace vadrelon::sim;

namespace {

class Driver : public ::testing::Test {
protected:
    void SetUp() override
    {
        second.serialNumber = "VP000002";
        second.description = "Second pedal";
        driver.attach(&first);
        driver.attach(&second);
    }
    FT_HANDLE openFirst()
    {
        FT_HANDLE h = 0;
        EXPECT_EQ(driver.openBySerial("VP000001", h), FT_OK);
        return h;
    }
    FT_STATUS write(FT_HANDLE h, const QByteArray &bytes)
    {
        quint32 written = 0;
        return driver.write(h, bytes.constData(), quint32(bytes.size()), written);
    }
    QByteArray readAll(FT_HANDLE h)
    {
        char buffer[256];
        quint32 n = 0;
        EXPECT_EQ(driver.read(h, buffer, sizeof buffer, n), FT_OK);
        return QByteArray(buffer, int(n));
    }

    VirtualPedal first;
    VirtualPedal second;
    InProcessDriver driver;
};

} // namespace

TEST_F(Driver, ListsSerialNumbersAndDescriptions)
{
    quint32 count = 0;
    ASSERT_EQ(driver.listCount(count), FT_OK);
    ASSERT_EQ(count, 2u);
    char answer[FT_LIST_ANSWER_SIZE];
    ASSERT_EQ(driver.listByIndex(1, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_OK);
    EXPECT_STREQ(answer, "VP000002");
    ASSERT_EQ(driver.listByIndex(0, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
    EXPECT_STREQ(answer, "Vadrelon MK3 (virtual)");
    EXPECT_EQ(driver.listByIndex(2, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, answer), FT_DEVICE_NOT_FOUND);
}

TEST_F(Driver, ListAnswersFillTheBufferWithoutTerminatorAtSixtyFourCharacters)
{
    const struct {
        int length;
        bool terminated;
    } cases[] = {{63, true}, {64, false}, {70, false}};
    for (const auto &c : cases) {
        first.description = QByteArray(c.length, 'D');
        quint32 count = 0;
        driver.listCount(count);
        char answer[FT_LIST_ANSWER_SIZE];
        std::memset(answer, 'x', sizeof answer);
        ASSERT_EQ(driver.listByIndex(0, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, answer), FT_OK);
        const QByteArray got(answer, FT_LIST_ANSWER_SIZE);
        EXPECT_EQ(got.left(std::min(c.length, 64)), QByteArray(std::min(c.length, 64), 'D')) << c.length;
        if (c.terminated)
            EXPECT_EQ(got.at(c.length), '\0') << c.length;
        else
            EXPECT_FALSE(got.contains('\0')) << c.length;
    }
}

TEST_F(Driver, OpensBySerialNumberOrIndexOnce)
{
    FT_HANDLE h = 0;
    EXPECT_EQ(driver.openBySerial("VP999999", h), FT_DEVICE_NOT_FOUND);
    h = openFirst();
    FT_HANDLE again = 0;
    EXPECT_EQ(driver.openBySerial("VP000001", again), FT_DEVICE_NOT_OPENED);
    quint32 count = 0;
    driver.listCount(count);
    FT_HANDLE byIndex = 0;
    EXPECT_EQ(driver.openByIndex(1, byIndex), FT_OK);
    EXPECT_NE(byIndex, h);
}

TEST_F(Driver, WritesReachThePedalAndItsAnswerIsRead)
{
    const FT_HANDLE h = openFirst();
    QSignalSpy arrived(&driver, &SerialDriver::bytesArrived);
    ASSERT_EQ(write(h, QByteArray::fromHex("0200")), FT_OK);
    EXPECT_EQ(first.received().size(), 1);
    EXPECT_TRUE(second.received().isEmpty());
    ASSERT_TRUE(arrived.wait(1000));

    quint32 waiting = 0;
    ASSERT_EQ(driver.queueStatus(h, waiting), FT_OK);
    EXPECT_EQ(waiting, quint32(first.statusReply().size()));
    char part[10];
    quint32 n = 0;
    ASSERT_EQ(driver.read(h, part, sizeof part, n), FT_OK);
    EXPECT_EQ(QByteArray(part, int(n)), first.statusReply().left(10));
    ASSERT_EQ(driver.queueStatus(h, waiting), FT_OK);
    EXPECT_EQ(waiting, quint32(first.statusReply().size() - 10));

    EXPECT_EQ(driver.purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
    ASSERT_EQ(driver.queueStatus(h, waiting), FT_OK);
    EXPECT_EQ(waiting, 0u);
}

TEST_F(Driver, TheBootloaderHearsOnlyEvenParity)
{
    const FT_HANDLE h = openFirst();
    first.startInBootloader();
    ASSERT_EQ(driver.setBaudRate(h, 115200), FT_OK);
    ASSERT_EQ(driver.setDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    write(h, QByteArray::fromHex("7F"));
    QTest::qWait(20);
    EXPECT_TRUE(readAll(h).isEmpty());

    ASSERT_EQ(driver.setDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_EVEN), FT_OK);
    write(h, QByteArray::fromHex("7F"));
    QTest::qWait(20);
    EXPECT_EQ(readAll(h), QByteArray::fromHex("79"));
}

TEST_F(Driver, ClosedAndUnknownHandlesAreInvalid)
{
    const FT_HANDLE h = openFirst();
    ASSERT_EQ(driver.close(h), FT_OK);
    quint32 waiting = 0;
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_INVALID_HANDLE);
    EXPECT_EQ(write(h, "x"), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.close(h), FT_INVALID_HANDLE);
    // Opening again gives a new handle; the old one stays stale.
    const FT_HANDLE again = openFirst();
    EXPECT_NE(again, h);
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_INVALID_HANDLE);
    EXPECT_EQ(driver.setTimeouts(12345, 100, 100), FT_INVALID_HANDLE);
}

TEST_F(Driver, AnUnpluggedPedalFailsItsHandleAndLeavesTheList)
{
    const FT_HANDLE h = openFirst();
    first.unplug();
    quint32 waiting = 0;
    char buffer[4];
    quint32 n = 0;
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_IO_ERROR);
    EXPECT_EQ(driver.read(h, buffer, sizeof buffer, n), FT_IO_ERROR);
    EXPECT_EQ(write(h, "x"), FT_IO_ERROR);
    quint32 count = 0;
    driver.listCount(count);
    EXPECT_EQ(count, 1u);
    FT_HANDLE again = 0;
    EXPECT_EQ(driver.openBySerial("VP000001", again), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(driver.close(h), FT_OK);
}

TEST_F(Driver, UnplugFaultStrikesAfterTheChosenMessage)
{
    const FT_HANDLE h = openFirst();
    first.faults().unplugAfterMessages = 1;
    EXPECT_EQ(write(h, QByteArray::fromHex("0D01")), FT_OK);
    EXPECT_EQ(write(h, QByteArray::fromHex("0D00")), FT_IO_ERROR);
}

TEST_F(Driver, DetachedOrDestroyedPedalsAreGone)
{
    auto *temporary = new VirtualPedal;
    temporary->serialNumber = "VP000003";
    driver.attach(temporary);
    FT_HANDLE h = 0;
    ASSERT_EQ(driver.openBySerial("VP000003", h), FT_OK);
    delete temporary;
    quint32 waiting = 0;
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_IO_ERROR);

    const FT_HANDLE f = openFirst();
    driver.detach(&first);
    EXPECT_EQ(driver.queueStatus(f, waiting), FT_IO_ERROR);
}

TEST_F(Driver, ForcedStatusHitsOnlyTheNextCall)
{
    const FT_HANDLE h = openFirst();
    driver.failNextCall(FT_OTHER_ERROR);
    quint32 waiting = 0;
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_OTHER_ERROR);
    EXPECT_EQ(driver.queueStatus(h, waiting), FT_OK);
}
