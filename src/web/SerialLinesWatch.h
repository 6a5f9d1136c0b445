#pragma once

#include "platform/SerialLines.h"

namespace auravox {

// Passes every call on to the real serial lines and remembers the state of
// the two transmitter lines, which a port cannot be asked for.
class SerialLinesWatch final : public SerialLines
{
public:
    explicit SerialLinesWatch(SerialLines &lines) : m_lines(lines) {}

    bool dtr() const { return m_dtr && m_lines.isOpen(); }
    bool rts() const { return m_rts && m_lines.isOpen(); }

    QStringList portNames() override { return m_lines.portNames(); }
    QString devicePath(const QString &portName) override { return m_lines.devicePath(portName); }
    bool open(const QString &portName) override
    {
        m_dtr = m_rts = false; // dropped at once on opening
        return m_lines.open(portName);
    }
    void close() override
    {
        m_lines.close();
        m_dtr = m_rts = false;
    }
    bool isOpen() const override { return m_lines.isOpen(); }
    void setDtr(bool on) override
    {
        m_lines.setDtr(on);
        m_dtr = on;
    }
    void setRts(bool on) override
    {
        m_lines.setRts(on);
        m_rts = on;
    }
    ModemStatus modemStatus() override { return m_lines.modemStatus(); }

private:
    SerialLines &m_lines;
    bool m_dtr = false;
    bool m_rts = false;
};

} // namespace auravox
