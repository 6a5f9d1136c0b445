#pragma once

#include <QDateTime>

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

// The real clock: QDateTime::currentDateTime() and a nested QEventLoop that a
// single-shot (monotonic) timer ends.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    void waitPumping(int ms) override;
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
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }
    void advanceSeconds(qint64 s) { m_now = m_now.addSecs(s); }

    // Total of all waits asked for so far, in milliseconds.
    qint64 waitedMs() const { return m_waitedMs; }

private:
    QDateTime m_now;
    qint64 m_waitedMs = 0;
};

} // namespace auravox
