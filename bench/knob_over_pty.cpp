// The whole editor, offscreen, on the system's serial driver (VADRELON_SERIAL_DRIVER chooses it)
// linked to a vadrelon-pedal-sim announced in $VADRELON_VIRTUAL_PEDALS_DIR: a dial turned many
// times at uneven intervals, each change matched with the first live message in the pedal's
// log (its --log FILE, the second argument) after it; then the status request's round trip,
// many times. bench/serial_drivers.sh runs it once for each driver.
#include "benchsupport.h"
#include "device/serialdrivers.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace vadrelon;
using bench::NoPrompt;

namespace {

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The times (ms since the epoch) of the live parameter messages in the pedal's log.
QList<qint64> liveMessagesIn(const QString &log)
{
    QList<qint64> times;
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return times;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0 && line.mid(blank + 1).startsWith("01 "))
            times
                << QDateTime::fromString(QString::fromLatin1(line.left(blank)), Qt::ISODateWithMs).toMSecsSinceEpoch();
    }
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_knob_over_pty CHANGES PEDAL_LOG\n");
        return 2;
    }
    const int changes = std::atoi(argv[1]);
    const QString log = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir docs;
    const std::unique_ptr<SerialDriver> driver = makeSerialDriver();
    NoPrompt prompt;
    Editor editor(*driver, prompt, docs.path());
    editor.mainWindow->findChild<QAction *>(QStringLiteral("menuConnect"))->trigger();
    for (int waited = 0; (editor.link.busy() || !editor.link.isLinked()) && waited < 5000; waited += 50)
        pause(50);
    if (!editor.link.isLinked()) {
        std::fprintf(stderr, "the pedal did not link\n");
        return 1;
    }
    pause(300);

    DialWidget *dial = editor.windows.effect().findChild<DialWidget *>(QStringLiteral("dialDry"));
    QList<qint64> changed;
    // The same uneven intervals on every run, so that the drivers are compared on equal turns.
    QRandomGenerator random(20261211);
    for (int i = 0; i < changes; ++i) {
        dial->setAngle(dial->angle() == 90 ? 0 : 90);
        changed << QDateTime::currentMSecsSinceEpoch();
        pause(static_cast<int>(random.bounded(5, 160)));
    }
    pause(500);

    // The status request's round trip, the request out and its 90 values in: the driver's
    // writing and reading without the knob's pacing in between.
    QPushButton *request = editor.mainWindow->findChild<QPushButton *>(QStringLiteral("btnRequest"));
    QList<qint64> roundTripsUs;
    for (int i = 0; i < 50; ++i) {
        QElapsedTimer clock;
        clock.start();
        request->click();
        while (editor.link.busy())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        roundTripsUs << clock.nsecsElapsed() / 1000;
        pause(20);
    }
    std::sort(roundTripsUs.begin(), roundTripsUs.end());

    const QList<qint64> received = liveMessagesIn(log);
    QList<qint64> latency;
    for (qint64 t : changed) {
        const auto next = std::lower_bound(received.begin(), received.end(), t);
        if (next != received.end())
            latency << *next - t;
    }
    std::sort(latency.begin(), latency.end());
    if (latency.isEmpty()) {
        std::fprintf(stderr, "no message reached the pedal\n");
        return 1;
    }
    double sum = 0;
    for (qint64 l : latency)
        sum += static_cast<double>(l);
    // One line for the script: changes, messages, mean, 95th percentile and worst in ms, then
    // the status round trip's median and 95th percentile in µs.
    std::printf("%d %d %.2f %lld %lld %lld %lld\n", static_cast<int>(changed.size()), static_cast<int>(received.size()),
                sum / static_cast<double>(latency.size()), static_cast<long long>(latency[latency.size() * 95 / 100]),
                static_cast<long long>(latency.last()), static_cast<long long>(roundTripsUs[roundTripsUs.size() / 2]),
                static_cast<long long>(roundTripsUs[roundTripsUs.size() * 95 / 100]));
    return 0;
}
