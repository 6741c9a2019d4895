#pragma once
// Runs the event loop until a condition holds or the time is up; true when it held.
#include <QDeadlineTimer>
#include <QTest>
#include <functional>

namespace vadrelon::test {

inline bool waitFor(const std::function<bool()> &cond, int ms = 3000)
{
    QDeadlineTimer deadline(ms);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

} // namespace vadrelon::test
