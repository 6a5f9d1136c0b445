#pragma once

#include <QDateTime>
#include <QTimeZone>

#include <functional>
#include <memory>

class QFileSystemWatcher;

namespace auravox {

// The one source of "now" for the program, and the message-pumping wait.
//
// Everything that reads the wall clock (the tick, the staleness gate, the
// readers) asks a Clock, so tests can play a whole day on a ManualClock.
class Clock
{
public:
    virtual ~Clock() = default;

    // Local wall-clock time.
    virtual QDateTime now() const = 0;

    // Waits `ms` milliseconds while the event loop keeps running, so timers
    // and other handlers go on during the wait. Never spins the processor.
    // Nested waits are allowed. A wait that spans midnight or a change of the
    // wall clock ends after the same elapsed time.
    virtual void waitPumping(int ms) = 0;
};

// The real clock: the system's time in the local time zone, and a nested
// QEventLoop that a single-shot (monotonic) timer ends.
//
// The zone is read once and again only when it changes (TZ, or a change in
// /etc such as a new /etc/localtime), not on every reading as the C library's
// localtime does (a stat of the zone file each time).
class SystemClock final : public Clock
{
public:
    SystemClock();
    ~SystemClock() override;

    QDateTime now() const override;
    void waitPumping(int ms) override;

private:
    void watchZone() const;

    mutable QTimeZone m_zone;
    mutable QByteArray m_tz;
    mutable bool m_zoneStale = true;
    mutable std::unique_ptr<QFileSystemWatcher> m_watcher;
};

// A clock that only moves when told to. waitPumping() advances the time by the
// wait and lets the events already posted run, without waiting in real time.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(const QDateTime &start);

    QDateTime now() const override { return m_now; }
    void waitPumping(int ms) override;

    void setNow(const QDateTime &t) { m_now = t; }
    // Takes over the waits: `handler` is called instead of the usual advance
    // and pump, and moves the time itself (a test that lets real timers fire
    // during an announcement's waits). An empty handler restores the usual.
    void setWaitHandler(std::function<void(int ms)> handler) { m_waitHandler = std::move(handler); }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }
    void advanceSeconds(qint64 s) { m_now = m_now.addSecs(s); }

    // Total of all waits asked for so far, in milliseconds.
    qint64 waitedMs() const { return m_waitedMs; }

private:
    QDateTime m_now;
    qint64 m_waitedMs = 0;
    std::function<void(int ms)> m_waitHandler;
};

} // namespace auravox
