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
        if (!ports.contains(portName)) {
            error = portName + QStringLiteral(": no device for this port name");
            return false;
        }
        if (busy.contains(portName)) {
            error = devicePath(portName) + QStringLiteral(": Device or resource busy");
            return false;
        }
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
    bool setDtr(bool on) override
    {
        record(on ? QStringLiteral("DTR+") : QStringLiteral("DTR-"));
        if (linesFail) {
            error = devicePath(QStringLiteral("COM1")) + QStringLiteral(": DTR (Input/output error)");
            return false;
        }
        dtr = on;
        return true;
    }
    bool setRts(bool on) override
    {
        record(on ? QStringLiteral("RTS+") : QStringLiteral("RTS-"));
        if (linesFail) {
            error = devicePath(QStringLiteral("COM1")) + QStringLiteral(": RTS (Input/output error)");
            return false;
        }
        rts = on;
        return true;
    }
    // The inputs the test sets, and the outputs as they stand.
    ModemStatus modemStatus() override
    {
        if (!m_open)
            return {};
        ModemStatus s = status;
        s.dtr = dtr;
        s.rts = rts;
        return s;
    }
    QString lastError() const override { return error; }
    bool isKernelConsole(const QString &portName) override { return consoles.contains(portName); }

    QStringList ports{QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM10")};
    QStringList busy;     // in use by another program
    QStringList consoles; // the kernel's consoles
    bool linesFail = false; // setting a line fails (an adapter pulled out)
    QString error;
    ModemStatus status; // the inputs
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
