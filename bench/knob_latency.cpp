// The whole editor, offscreen, linked to the in-process virtual pedal: first the processor
// share while it sits linked and idle for five seconds; then how long a knob change takes to
// reach the pedal, the effect window turning a dial many times at uneven intervals and each
// change matched with the first message the pedal receives after it.
#include "benchsupport.h"
#include "inprocessdriver.h"
#include "ui/dialwidget.h"
#include "ui/editor.h"
#include "ui/effectwindow.h"
#include "ui/mainwindow.h"
#include "virtualpedal.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace vadrelon;
using bench::cpuSeconds;
using bench::NoPrompt;

namespace {

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int changes = argc > 1 ? std::atoi(argv[1]) : 300;
    QTemporaryDir docs;
    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    driver.attach(&pedal);
    NoPrompt prompt;
    Editor editor(driver, prompt, docs.path());
    editor.mainWindow->findChild<QAction *>(QStringLiteral("menuConnect"))->trigger();
    pause(200);

    const double cpu0 = cpuSeconds();
    pause(5000);
    std::printf("linked and idle for 5 s: %.2f %% of one core (goal: under 1 %%)\n",
                100.0 * (cpuSeconds() - cpu0) / 5.0);

    QList<qint64> received;
    QObject::connect(&pedal, &sim::VirtualPedal::messageReceived, [&](const sim::ReceivedMessage &m) {
        if (m.bytes.startsWith('\x01'))
            received << m.msecsSinceEpoch;
    });
    DialWidget *dial = editor.windows.effect().findChild<DialWidget *>(QStringLiteral("dialDry"));
    QList<qint64> changed;
    auto *random = QRandomGenerator::global();
    for (int i = 0; i < changes; ++i) {
        dial->setAngle(dial->angle() == 90 ? 0 : 90);
        changed << QDateTime::currentMSecsSinceEpoch();
        pause(static_cast<int>(random->bounded(5, 160)));
    }
    pause(300);

    QList<qint64> latency;
    for (qint64 t : changed) {
        const auto next = std::lower_bound(received.begin(), received.end(), t);
        if (next != received.end())
            latency << *next - t;
    }
    std::sort(latency.begin(), latency.end());
    if (latency.isEmpty()) {
        std::printf("no message reached the pedal\n");
        return 1;
    }
    double sum = 0;
    for (qint64 l : latency)
        sum += static_cast<double>(l);
    std::printf("%d knob changes, %d messages received (at most one per 100 ms)\n", static_cast<int>(changed.size()),
                static_cast<int>(received.size()));
    std::printf("change to pedal: mean %.1f ms, 95th percentile %lld ms, worst %lld ms (goal: within 100 ms)\n",
                sum / latency.size(), static_cast<long long>(latency[latency.size() * 95 / 100]),
                static_cast<long long>(latency.last()));
    return 0;
}
