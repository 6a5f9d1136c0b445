#pragma once

#include "platform/SerialLines.h"

#include <QStringList>

#include <functional>

namespace auravox::test {

// Serial lines of a pretend machine: records every call in order.
class FakeSerialLines final : public SerialLines
{
public:
    QStringList portNames() override { return ports; }
    QString devicePath(const QString &portName) override
    {
        return ports.contains(portName) ? QStringLiteral("/dev/fake") + portName.mid(3) : QString();
    }
    bool open(const QString &portName) override
    {
        record(QStringLiteral("open ") + portName);
        if (!ports.contains(portName) || busy.contains(portName))
            return false;
        m_open = true;
        dtr = rts = false;
        return true;
    }
    void close() override
    {
        record(QStringLiteral("close"));
        m_open = false;
    }
    bool isOpen() const override { return m_open; }
    void setDtr(bool on) override
    {
        record(on ? QStringLiteral("DTR+") : QStringLiteral("DTR-"));
        dtr = on;
    }
    void setRts(bool on) override
    {
        record(on ? QStringLiteral("RTS+") : QStringLiteral("RTS-"));
        rts = on;
    }
    ModemStatus modemStatus() override { return m_open ? status : ModemStatus{}; }

    QStringList ports{QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM10")};
    QStringList busy; // in use by another program
    ModemStatus status;
    bool dtr = false;
    bool rts = false;
    QStringList calls;
    // Told of every call as it is made.
    std::function<void(const QString &call)> onCall;

private:
    void record(const QString &call)
    {
        calls << call;
        if (onCall)
            onCall(call);
    }
    bool m_open = false;
};

} // namespace auravox::test
