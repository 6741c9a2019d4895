// Processor time the editor spends while it waits on the pedal: a silent pedal during status
// requests, and a linked, idle pedal under the periodic read. Prints the share of one core.
#include "device/pedallink.h"
#include "inprocessdriver.h"
#include "support/consolelog.h"
#include "virtualpedal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace vadrelon;

namespace {

class NoPrompt : public Prompt {
public:
    void message(const QString &) override {}
    bool askYesNo(const QString &) override { return false; }
    QString openFileName(const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &) override { return {}; }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <typename Body>
void measure(const char *what, int seconds, Body body)
{
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    body(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("%-40s wall %.2f s  cpu %.3f s  = %.2f %% of one core\n", what, elapsed, cpu,
                100.0 * cpu / elapsed);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    sim::VirtualPedal pedal;
    sim::InProcessDriver driver;
    driver.attach(&pedal);
    NoPrompt prompt;
    ConsoleLog log;
    UsbTransport transport(driver, prompt);
    DeviceState device;
    PedalExchange exchange(transport, log, device);
    SelectLinkMode(transport, LinkModeNormal);
    transport.Open_USB_Device_By_Serial_Number(QString::fromLatin1(pedal.serialNumber));

    pedal.faults().silent = true;
    measure("waiting on a silent pedal", seconds, [&](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            exchange.RequestStatusValues();
    });

    pedal.faults().silent = false;
    measure("linked and idle (periodic read)", seconds, [&](int ms) {
        QTimer tick;
        tick.setInterval(50);
        QObject::connect(&tick, &QTimer::timeout, [&] { exchange.PollIncoming(); });
        tick.start();
        QTimer::singleShot(ms, &app, &QCoreApplication::quit);
        app.exec();
    });
    return 0;
}
