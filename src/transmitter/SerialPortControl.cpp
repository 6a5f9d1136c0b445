#include "transmitter/SerialPortControl.h"

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

QString SerialPortControl::portText() const
{
    return isOpen() ? QStringLiteral("\\\\.\\") + m_portName : TransmitterPort::kNoPortText;
}

bool SerialPortControl::openChosenPort()
{
    return m_transmitter.open(m_portName);
}

void SerialPortControl::chooseNoPort(const QString &cause)
{
    m_transmitter.close(cause);
    m_portName = TransmitterPort::kNoPortName;
}

} // namespace auravox
