// Processor time the editor spends while it waits on the pedal: a silent pedal during status
// requests, and a linked, idle pedal under the periodic read. Prints the share of one core.
#include "base/consolelog.h"
#include "benchsupport.h"
#include "device/jobs.h"
#include "inprocessdriver.h"
#include "virtualpedal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace vadrelon;
using bench::cpuSeconds;

namespace {

template <typename Body>
void measure(const char *what, int seconds, Body body)
{
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    body(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("%-40s wall %.2f s  cpu %.3f s  = %.2f %% of one core\n", what, elapsed, cpu, 100.0 * cpu / elapsed);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    driver.attach(&pedal);
    ConsoleLog log;
    UsbTransport transport(driver);
    PedalLink link(transport, log);
    link.run(std::make_unique<OpenJob>(QString::fromLatin1(pedal.serialNumber), false));

    pedal.faults().silent = true;
    measure("waiting on a silent pedal", seconds, [&](int ms) {
        QElapsedTimer t;
        t.start();
        // One status request after the other, each ending at its bound.
        std::function<void()> next = [&] {
            if (t.elapsed() >= ms) {
                app.quit();
                return;
            }
            auto job = std::make_unique<StatusJob>();
            job->whenFinished([&](const std::optional<Error> &) { QTimer::singleShot(0, &app, next); });
            link.run(std::move(job));
        };
        next();
        app.exec();
    });

    pedal.faults().silent = false;
    measure("linked and idle (periodic read)", seconds, [&](int ms) {
        QTimer::singleShot(ms, &app, &QCoreApplication::quit);
        app.exec();
    });
    return 0;
}
