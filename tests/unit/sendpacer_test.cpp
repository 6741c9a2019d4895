// The knob pacing, pinned by the virtual pedal's own receipt times.
#include "base/consolelog.h"
#include "device/jobs.h"
#include "inprocessdriver.h"
#include "support/printers.h"
#include "virtualpedal.h"

#include <QDateTime>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace vadrelon;

namespace {

// Knob 0 is Dry (address 0025), knob 1 Sub Mix (address 0026): the first two in block order.
QByteArray dial(int position, int knob = 0)
{
    return QByteArray::fromHex(knob == 0 ? "010025000000" : "010026000000") + char(position);
}

class Pacing : public ::testing::Test {
public:
    Pacing()
    {
        driver.attach(&pedal);
        link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false));
    }
    struct Turn {
        int atMs; // from now
        int knob = 0;
    };
    // Offers position i of the i-th turn at its time; returns when each was offered.
    QList<qint64> turn(const QList<Turn> &turns)
    {
        QList<qint64> offered;
        for (int i = 0; i < turns.size(); ++i)
            QTimer::singleShot(turns[i].atMs, Qt::PreciseTimer, &pedal, [this, i, &offered, knob = turns[i].knob] {
                offered << QDateTime::currentMSecsSinceEpoch();
                EXPECT_TRUE(link.sendPaced(knob, dial(i, knob)));
            });
        QTest::qWait(turns.last().atMs + 250);
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
    const QList<qint64> offered = turn({{0}, {30}, {60}, {120}});
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

// Dry then Sub Mix within one period, then a few more notches of each: every knob's last
// position reaches the pedal at the period's end, in block order, even when the later knob
// was turned first.
TEST_F(Pacing, KnobsTurnedWithinOnePeriodEachSendTheirLastPosition)
{
    const QList<qint64> offered = turn({{0, 1}, {10, 0}, {30, 1}, {40, 0}, {50, 0}});
    ASSERT_EQ(offered.size(), 5);
    const QList<sim::ReceivedMessage> got = pedal.received();
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].bytes, dial(4, 0)) << "Dry's last position, first in block order";
    EXPECT_EQ(got[1].bytes, dial(2, 1)) << "Sub Mix's last position";
    for (const sim::ReceivedMessage &m : got) {
        EXPECT_GE(m.msecsSinceEpoch - offered[0], 99) << "both at the end of the one period";
        EXPECT_LE(m.msecsSinceEpoch - offered[0], 150);
    }
}

TEST_F(Pacing, TenChangesOfOneKnobWithinAPeriodGiveOneMessage)
{
    QList<Turn> turns;
    for (int i = 0; i < 10; ++i)
        turns.append(Turn{i * 8});
    turn(turns);
    const QList<sim::ReceivedMessage> got = pedal.received();
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].bytes, dial(9));
}

TEST_F(Pacing, AnExchangeTakesTheWaitingMessagesWithItFirst)
{
    link.sendPaced(1, dial(5, 1));
    link.sendPaced(0, dial(7));
    ASSERT_TRUE(link.run(std::make_unique<SendJob>(QByteArray::fromHex("080000"), 0)));
    QTest::qWait(150);
    QStringList got;
    for (const sim::ReceivedMessage &m : pedal.received())
        got << QString::fromLatin1(m.bytes.toHex(' '));
    EXPECT_EQ(got, QStringList({"01 00 25 00 00 00 07", "01 00 26 00 00 00 05", "08 00 00"}))
        << "once each, in block order, and before the exchange";
}

TEST_F(Pacing, NothingIsPacedWhileUnlinkedOrBusy)
{
    pedal.faults().silent = true;
    ASSERT_TRUE(link.run(std::make_unique<StatusJob>()));
    EXPECT_FALSE(link.sendPaced(0, dial(1)));
    EXPECT_FALSE(link.sendLive(dial(2)));
    link.unlink();
    EXPECT_FALSE(link.sendPaced(0, dial(3)));
    QTest::qWait(150);
    ASSERT_EQ(pedal.received().size(), 1);
    EXPECT_EQ(pedal.received()[0].bytes, QByteArray::fromHex("0200"));
}
