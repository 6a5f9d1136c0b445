#include "transmitter/SerialPortControl.h"

#include "common/Log.h"
#include "platform/SerialLines.h"
#include "transmitter/PttSettings.h"

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

QString SerialPortControl::usePtt(const PttSettings &ptt)
{
    if (ptt.kind == PttKind::Serial) {
        if (!m_transmitter.isOtherKind())
            return {};
        // Back to the serial port: the port chosen before is opened again.
        m_transmitter.close(QStringLiteral("the serial port chosen"));
        if (m_portName == TransmitterPort::kNoPortName || openChosenPort())
            return {};
        const QString error = m_transmitter.lastError();
        m_portName = TransmitterPort::kNoPortName;
        return error;
    }
    // The serial port's choice stays (COM= is saved as it was, and comes back
    // with the serial port); only the port is closed.
    if (m_transmitter.isOpen() && !m_transmitter.isOtherKind())
        m_transmitter.close(QStringLiteral("another kind of transmitter port chosen"));
    const QStringList problems = ptt.problems();
    if (!problems.isEmpty()) {
        m_transmitter.close(QStringLiteral("settings changed"));
        const QString error = problems.join(QLatin1Char(' '));
        qCWarning(lcPort).noquote()
            << QStringLiteral("%1 transmitter port not opened: %2").arg(pttKindName(ptt.kind), error);
        return error;
    }
    if (!m_factory) {
        m_transmitter.close(QStringLiteral("settings changed"));
        const QString error = QStringLiteral("this program has no %1 transmitter port").arg(pttKindName(ptt.kind));
        qCWarning(lcPort).noquote() << error;
        return error;
    }
    return m_transmitter.openDevice(m_factory(ptt)) ? QString() : m_transmitter.lastError();
}

} // namespace auravox
