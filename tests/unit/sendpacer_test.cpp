// The knob pacing, pinned by the virtual pedal's own receipt times.
#include "device/jobs.h"
#include "inprocessdriver.h"
#include "support/consolelog.h"
#include "support/printers.h"
#include "virtualpedal.h"

#include <QDateTime>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

QByteArray dial(int position)
{
    return QByteArray::fromHex("010025000000") + char(position);
}

class Pacing : public ::testing::Test {
public:
    Pacing()
    {
        driver.attach(&pedal);
        link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false));
    }
    // Offers the knob's positions at the given times (ms from now); returns when each was offered.
    QList<qint64> turn(const QList<int> &atMs)
    {
        QList<qint64> offered;
        for (int i = 0; i < atMs.size(); ++i)
            QTimer::singleShot(atMs[i], Qt::PreciseTimer, &pedal, [this, i, &offered] {
                offered << QDateTime::currentMSecsSinceEpoch();
                EXPECT_TRUE(link.sendPaced(dial(i)));
            });
        QTest::qWait(atMs.last() + 250);
        return offered;
    }

    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    ConsoleLog log;
    UsbTransport transport{driver};
    PedalLink link{transport, log};
};

} // namespace

TEST_F(Pacing, OneMessageAPeriodCarryingTheNewestPositionAndTheNextChangeStartsTheNext)
{
    const QList<qint64> offered = turn({0, 30, 60, 120});
    ASSERT_EQ(offered.size(), 4);
    const QList<sim::ReceivedMessage> got = pedal.received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].bytes, dial(2)) << "the 60 ms position, the last of the first period";
    EXPECT_GE(got[0].msecsSinceEpoch - offered[0], 99);
    EXPECT_LE(got[0].msecsSinceEpoch - offered[0], 150);
    EXPECT_EQ(got[1].bytes, dial(3));
    EXPECT_GE(got[1].msecsSinceEpoch - offered[3], 99) << "the 120 ms change started a period of its own";
    EXPECT_LE(got[1].msecsSinceEpoch - offered[3], 150);
}

TEST_F(Pacing, AnExchangeTakesTheWaitingMessageWithItFirst)
{
    link.sendPaced(dial(7));
    ASSERT_TRUE(link.run(std::make_unique<SendJob>(QByteArray::fromHex("080000"), 0)));
    QTest::qWait(150);
    QStringList got;
    for (const sim::ReceivedMessage &m : pedal.received())
        got << QString::fromLatin1(m.bytes.toHex(' '));
    EXPECT_EQ(got, QStringList({"01 00 25 00 00 00 07", "08 00 00"})) << "once, and before the exchange";
}

TEST_F(Pacing, NothingIsPacedWhileUnlinkedOrBusy)
{
    pedal.faults().silent = true;
    ASSERT_TRUE(link.run(std::make_unique<StatusJob>()));
    EXPECT_FALSE(link.sendPaced(dial(1)));
    EXPECT_FALSE(link.sendLive(dial(2)));
    link.unlink();
    EXPECT_FALSE(link.sendPaced(dial(3)));
    QTest::qWait(150);
    ASSERT_EQ(pedal.received().size(), 1);
    EXPECT_EQ(pedal.received()[0].bytes, QByteArray::fromHex("0200"));
}
