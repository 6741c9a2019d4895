#pragma once
#include <QEventLoop>
#include <QTimer>

namespace vadrelon {

int scaledMs(int ms);

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
