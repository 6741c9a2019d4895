#pragma once
// Waits that keep the window alive: each one runs a nested event loop that a timer (and, for
// the waits on the pedal, the driver's "bytes arrived") ends. None of them spins the processor.
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace vadrelon {

// Scales every fixed wait and every bound; tests shorten them here instead of at each wait.
void setWaitScale(double scale);
double waitScale();

// The fixed pauses between device operations (10 … 4000 ms).
void WaitMs(int ms);

int scaledMs(int ms);

// Runs the event loop until `wake` emits `signal` or `ms` pass; true when woken by the signal.
template <typename Sender, typename Signal>
bool WaitForSignal(const Sender *wake, Signal signal, int ms)
{
    QEventLoop loop;
    bool woken = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(wake, signal, &loop, [&] {
        woken = true;
        loop.quit();
    });
    timer.start(scaledMs(ms));
    loop.exec(QEventLoop::AllEvents);
    return woken;
}

} // namespace vadrelon
