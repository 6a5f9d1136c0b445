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

    QString portText() const override { return open ? QStringLiteral("\\\\.\\COM3") : kNoPortText; }
    QString portName() const override { return open ? QStringLiteral("COM3") : kNoPortName; }
    bool useDtr() const override { return dtrBox; }
    bool useRts() const override { return rtsBox; }
    bool startOnDsr() const override { return dsrBox; }
    bool startOnCts() const override { return ctsBox; }
    bool inhibitOnDcd() const override { return dcdBox; }

    void setDtr(bool on) override { record(on ? "DTR+" : "DTR-"); dtr = on; }
    void setRts(bool on) override { record(on ? "RTS+" : "RTS-"); rts = on; }
    void showLed(bool on) override { led = on; }
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

private:
    const Clock &m_clock;
    QDateTime m_start = m_clock.now();
};

} // namespace auravox::test
