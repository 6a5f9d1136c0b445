#pragma once

#include "common/Clock.h"
#include "engine/AnnounceHooks.h"

#include <QStringList>

namespace auravox::test {

// A serial port double: records every line change (with the clock's time) and
// reports the input lines the test sets.
class FakeTransmitterPort final : public TransmitterPort
{
public:
    explicit FakeTransmitterPort(const Clock &clock) : m_clock(clock) {}

    bool isOpen() const override { return open; }
    bool startOnDsr() const override { return dsrBox; }
    bool startOnCts() const override { return ctsBox; }
    bool inhibitOnDcd() const override { return dcdBox; }

    // Keys the lines its boxes choose; releases both.
    void key(const QString &cause) override
    {
        causes << QStringLiteral("key: ") + cause;
        if (!open)
            return;
        if (dtrBox)
            setDtr(true);
        if (rtsBox)
            setRts(true);
        led = dtrBox || rtsBox;
    }
    void release(const QString &cause) override
    {
        causes << QStringLiteral("release: ") + cause;
        if (!open)
            return;
        setDtr(false);
        setRts(false);
        led = false;
    }
    ModemStatus modemStatus() override { ++polls; return status; }

    // "DTR+@0" ... with milliseconds since the port was made.
    void record(const char *what)
    {
        events << QStringLiteral("%1@%2").arg(QLatin1String(what)).arg(m_start.msecsTo(m_clock.now()));
    }

    bool open = true;
    bool dtrBox = true, rtsBox = true, dsrBox = true, ctsBox = true, dcdBox = true;
    bool dtr = false, rts = false, led = false;
    ModemStatus status;
    int polls = 0;
    QStringList events;
    QStringList causes; // "key: announcement started by the button", "release: ..."

private:
    void setDtr(bool on)
    {
        record(on ? "DTR+" : "DTR-");
        dtr = on;
    }
    void setRts(bool on)
    {
        record(on ? "RTS+" : "RTS-");
        rts = on;
    }

    const Clock &m_clock;
    QDateTime m_start = m_clock.now();
};

} // namespace auravox::test
