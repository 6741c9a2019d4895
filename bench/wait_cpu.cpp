// Processor time the editor spends while it waits on the pedal: a silent pedal during status
// requests, and a linked, idle pedal under the periodic read. Prints the share of one core.
#include "device/pedallink.h"
#include "benchsupport.h"
#include "inprocessdriver.h"
#include "support/consolelog.h"
#include "virtualpedal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

using namespace vadrelon;
using bench::cpuSeconds;
using bench::NoPrompt;

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
