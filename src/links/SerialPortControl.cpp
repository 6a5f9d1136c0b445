#include "links/SerialPortControl.h"

#include "platform/SerialLines.h"

#include <algorithm>

namespace auravox {

QStringList SerialPortControl::discoverPorts()
{
    QStringList names;
    for (const QString &name : m_lines.portNames()) {
        bool ok = false;
        const int n = name.mid(3).toInt(&ok);
        if (name.startsWith(QLatin1String("COM")) && ok && n > 0 && !names.contains(name))
            names << name;
    }
    std::sort(names.begin(), names.end());
    names.prepend(TransmitterPort::kNoPortName);
    m_portList = names;
    return names;
}

QString SerialPortControl::devicePath(const QString &portName) const
{
    return m_lines.devicePath(portName);
}

void SerialPortControl::closeOpenPort()
{
    if (!isOpen())
        return;
    m_lines.setDtr(false);
    m_lines.setRts(false);
    m_lines.close();
    m_portText = TransmitterPort::kNoPortText;
}

bool SerialPortControl::openChosenPort()
{
    closeOpenPort();
    if (!m_lines.open(m_portName))
        return false;
    m_portText = QStringLiteral("\\\\.\\") + m_portName;
    return true;
}

void SerialPortControl::chooseNoPort()
{
    closeOpenPort();
    m_portName = TransmitterPort::kNoPortName;
}

void SerialPortControl::setDtr(bool on)
{
    if (isOpen())
        m_lines.setDtr(on);
}

void SerialPortControl::setRts(bool on)
{
    if (isOpen())
        m_lines.setRts(on);
}

ModemStatus SerialPortControl::modemStatus()
{
    return isOpen() ? m_lines.modemStatus() : ModemStatus{};
}

} // namespace auravox
