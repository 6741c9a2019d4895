// One exchange at a time: questions before bytes, nothing between a job's bytes, and a
// window that can always be closed.
#include "editorfixture.h"

#include "device/jobs.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QResource>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

using namespace vadrelon;

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Exchanges : public test::EditorFixture {
public:
    Exchanges() { EXPECT_TRUE(QResource::registerResource(VADRELON_TEST_IMAGES_RCC)); }
    ~Exchanges() override { QResource::unregisterResource(VADRELON_TEST_IMAGES_RCC); }

    void linkedTo(sim::VirtualPedal &p)
    {
        start({&p});
        link();
        p.clearReceived();
        prompt.messages.clear();
    }
    static QString hex(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }
};

struct Command {
    const char *what;
    std::function<void(Exchanges &)> run;
};

// Every way a person can reach the pedal from the windows, and the core's own doors.
const Command kCommands[] = {
    {"Request", [](Exchanges &f) { f.find<QPushButton>("btnRequest")->click(); }},
    {"Assign",
     [](Exchanges &f) {
         f.prompt.answers = {true};
         f.find<QPushButton>("btnAssign")->click();
     }},
    {"Set Footswitch Mode", [](Exchanges &f) { f.find<QPushButton>("btnSetFootswitchMode")->click(); }},
    {"Save Parameters",
     [](Exchanges &f) {
         f.prompt.answers = {true};
         f.find<QPushButton>("btnSaveParameters")->click();
     }},
    {"Upload Selected",
     [](Exchanges &f) {
         f.prompt.answers = {true};
         f.find<QPushButton>("btnUpload")->click();
     }},
    {"MIDI channel", [](Exchanges &f) { f.find<QMenu>("menuMIDIchannel")->actions().at(3)->trigger(); }},
    {"bypass storage", [](Exchanges &f) { f.trigger("menuStoreBypassStatus"); }},
    {"Unlink", [](Exchanges &f) { f.trigger("menuDisconnect"); }},
    {"a dial", [](Exchanges &f) { f.find<DialWidget>("dialDry")->setAngle(0); }},
    {"a switch", [](Exchanges &f) { f.find<QPushButton>("swtSplit")->toggle(); }},
    {"the bypass", [](Exchanges &f) { f.find<QPushButton>("swtBypass")->toggle(); }},
    {"the pitch list", [](Exchanges &f) { f.find<QComboBox>("cmbVariableWavePitch")->setCurrentIndex(2); }},
    {"a job from the core",
     [](Exchanges &f) {
         EXPECT_FALSE(f.editor->session.link().run(std::make_unique<SendJob>(QByteArray::fromHex("1101"), 0)));
     }},
    {"a live message from the core",
     [](Exchanges &f) { EXPECT_FALSE(f.editor->session.link().sendLive(QByteArray::fromHex("0D00"))); }},
};

struct Exchange {
    const char *what;
    std::function<void(Exchanges &)> start;
    std::function<bool(const QByteArray &)> own; // the job's own messages
};

const Exchange kExchanges[] = {
    {"status request", [](Exchanges &f) { f.find<QPushButton>("btnRequest")->click(); },
     [](const QByteArray &m) { return m == QByteArray::fromHex("0200"); }},
    {"upload",
     [](Exchanges &f) {
         f.prompt.answers = {true};
         f.find<QPushButton>("btnUpload")->click();
     },
     // after its answer the versions are read again, a job of its own
     [](const QByteArray &m) {
         return m == QByteArray::fromHex("0D01") || m.size() == 4512 || m == QByteArray::fromHex("0200");
     }},
    {"Save Parameters",
     [](Exchanges &f) {
         f.prompt.answers = {true};
         f.find<QPushButton>("btnSaveParameters")->click();
     },
     [](const QByteArray &m) { return m.startsWith('\x03') && m.size() == 25; }},
};

} // namespace

TEST_F(Exchanges, NothingReachesThePedalBetweenAJobsBytes)
{
    timing.scale = 0.5; // the pauses inside the jobs stay longer than the commands take
    for (const Exchange &e : kExchanges) {
        sim::VirtualPedal p;
        p.faults().answerDelayMs = 100;
        linkedTo(p);
        for (const Command &c : kCommands) {
            SCOPED_TRACE(std::string(e.what) + " / " + c.what);
            QStringList duringJob;
            const auto recorder =
                QObject::connect(&p, &sim::VirtualPedal::messageReceived, &p, [&](const sim::ReceivedMessage &m) {
                    if (editor->session.link().busy() && !e.own(m.bytes))
                        duringJob << hex(m.bytes);
                });
            e.start(*this);
            ASSERT_TRUE(editor->session.link().busy());
            c.run(*this);
            QTest::qWait(20);
            c.run(*this); // and once more, later in the job
            ASSERT_TRUE(settle(5000));
            QObject::disconnect(recorder);
            EXPECT_EQ(duringJob, QStringList());
            ASSERT_TRUE(editor->session.link().isLinked());
        }
        editor.reset();
        driver.detach(&p);
    }
}

// A real box runs the event loop while it is open: the knob's period can end meanwhile.
TEST_F(Exchanges, ConfirmedCommandsSendExactlyWhatWasConfirmedAndTheKnobOnce)
{
    const struct {
        const char *what;
        const char *button;
        QString bytes;
    } cases[] = {
        {"Assign", "btnAssign", "04 00 00 00 00 00 FF FF FF FF FF FF FF FF FF FF"},
        {"Set Footswitch Mode", "btnSetFootswitchMode", "08 00 00"},
        {"Save Parameters", "btnSaveParameters",
         "03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        linkedTo(p);
        prompt.openMs = 150;
        prompt.answers = {true};
        find<DialWidget>("dialDry")->setAngle(90);
        click(c.button);
        ASSERT_TRUE(
            waitFor([&] { return !editor->session.link().busy() && !editor->session.link().hasPacedMessage(); }));
        QTest::qWait(150);
        EXPECT_EQ(received(p), QStringList({"01 00 25 00 3F C0 00", c.bytes}));
        prompt.openMs = 0;
        editor.reset();
        driver.detach(&p);
    }
}

TEST_F(Exchanges, ClosingTheMainWindowDuringAnyWaitEndsAtOnceWithoutSpinning)
{
    timing.scale = 1.0; // the waits' real bounds: seconds
    const struct {
        const char *what;
        std::function<void(Exchanges &, sim::VirtualPedal &)> wait;
    } cases[] = {
        {"status request to a silent pedal",
         [](Exchanges &f, sim::VirtualPedal &p) {
             p.faults().silent = true;
             f.find<QPushButton>("btnRequest")->click();
         }},
        {"upload waiting for its answer",
         [](Exchanges &f, sim::VirtualPedal &p) {
             p.faults().silent = true;
             f.prompt.answers = {true};
             f.find<QPushButton>("btnUpload")->click();
         }},
        {"a pedal that chatters without end",
         [](Exchanges &f, sim::VirtualPedal &p) {
             auto *chatter = new QTimer(&p);
             QObject::connect(chatter, &QTimer::timeout, &p, [&p] { emit p.toHost("abc\n"); });
             chatter->start(50);
             f.find<QPushButton>("btnRequest")->click();
         }},
        {"the pause after Save Parameters",
         [](Exchanges &f, sim::VirtualPedal &) {
             f.prompt.answers = {true};
             f.find<QPushButton>("btnSaveParameters")->click();
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        sim::VirtualPedal p;
        linkedTo(p);
        c.wait(*this, p);
        ASSERT_TRUE(editor->session.link().busy());
        QTimer::singleShot(10, &w(), [this] { w().close(); });
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuSeconds();
        QCoreApplication::exec();
        EXPECT_LT(wall.elapsed(), 1000) << "ends long before the wait's bound";
        EXPECT_LT(cpuSeconds() - cpu0, 0.5);
        editor.reset();
        driver.detach(&p);
    }
}
