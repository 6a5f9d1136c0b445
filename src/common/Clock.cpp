#include "common/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QTimer>

namespace auravox {

SystemClock::SystemClock() = default;
SystemClock::~SystemClock() = default;

void SystemClock::watchZone() const
{
    // /etc itself: a new zone usually replaces the /etc/localtime link, which
    // a watch on the link's target would not see. Needs the event loop's thread.
    if (m_watcher || !QCoreApplication::instance())
        return;
    m_watcher = std::make_unique<QFileSystemWatcher>();
    m_watcher->addPath(QStringLiteral("/etc"));
    m_watcher->addPath(QStringLiteral("/etc/localtime"));
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::directoryChanged, [this] { m_zoneStale = true; });
    QObject::connect(m_watcher.get(), &QFileSystemWatcher::fileChanged, [this](const QString &path) {
        m_zoneStale = true;
        if (!m_watcher->files().contains(path)) // replaced: watch the new one
            m_watcher->addPath(path);
    });
}

QDateTime SystemClock::now() const
{
    const QByteArray tz = qgetenv("TZ");
    if (m_zoneStale || tz != m_tz) {
        watchZone();
        m_tz = tz;
        m_zone = QTimeZone::systemTimeZone();
        m_zoneStale = false;
        // A zone Qt names differently from the C library (a copied zone file
        // with no name, an odd TZ): keep to the library's local time.
        const QDateTime local = QDateTime::currentDateTime();
        if (m_zone.isValid() && local.toTimeZone(m_zone).offsetFromUtc() != local.offsetFromUtc())
            m_zone = QTimeZone();
    }
    if (!m_zone.isValid())
        return QDateTime::currentDateTime();
    return QDateTime::currentDateTimeUtc().toTimeZone(m_zone);
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
    if (m_waitHandler) {
        if (ms > 0)
            m_waitedMs += ms;
        m_waitHandler(ms);
        return;
    }
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
