#include "common/Clock.h"

#include <QEventLoop>
#include <QTimer>

namespace auravox {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

void SystemClock::waitPumping(int ms)
{
    if (ms <= 0)
        return;
    // QTimer measures on the monotonic clock, so a change of the wall clock or
    // midnight does not shorten or lengthen the wait.
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
}

ManualClock::ManualClock(const QDateTime &start) : m_now(start) {}

void ManualClock::waitPumping(int ms)
{
    if (ms > 0) {
        m_now = m_now.addMSecs(ms);
        m_waitedMs += ms;
    }
    // A zero timer fires once every event already posted has run.
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace auravox
