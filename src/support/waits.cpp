#include "support/waits.h"

#include <cmath>

namespace vadrelon {

namespace {
double g_scale = 1.0;
}

void setWaitScale(double scale) { g_scale = scale; }
double waitScale() { return g_scale; }

int scaledMs(int ms) { return static_cast<int>(std::lround(ms * g_scale)); }

void WaitMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(scaledMs(ms), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
}

} // namespace vadrelon
