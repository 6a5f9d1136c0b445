#include "transmitter/SerialPtt.h"

#include "platform/SerialLines.h"

namespace auravox {

SerialPtt::SerialPtt(SerialLines &lines, const SerialLineChoice &choice, const QString &portName)
    : m_lines(lines), m_choice(choice), m_portName(portName), m_devicePath(lines.devicePath(portName))
{}

bool SerialPtt::open()
{
    if (m_lines.open(m_portName)) {
        m_error.clear();
        return true;
    }
    m_error = m_lines.lastError();
    if (m_error.isEmpty())
        m_error = m_devicePath.isEmpty() ? QStringLiteral("no device for this port name")
                                         : m_devicePath + QStringLiteral(": can't be opened");
    return false;
}

void SerialPtt::close()
{
    m_lines.close();
}

bool SerialPtt::isOpen() const
{
    return m_lines.isOpen();
}

QString SerialPtt::pttName() const
{
    QStringList raised;
    if (m_choice.dtr)
        raised << QStringLiteral("DTR");
    if (m_choice.rts)
        raised << QStringLiteral("RTS");
    return raised.join(QLatin1Char('+'));
}

bool SerialPtt::setPtt(bool on)
{
    // A release drops both lines whatever the boxes say: a box unticked
    // during an announcement must not leave its line up.
    const bool dtr = on ? m_choice.dtr : true;
    const bool rts = on ? m_choice.rts : true;
    QString error; // the first failure's
    if (dtr && !m_lines.setDtr(on))
        error = m_lines.lastError();
    if (rts && !m_lines.setRts(on) && error.isEmpty())
        error = m_lines.lastError();
    if (!error.isEmpty()) {
        m_error = error;
        return false;
    }
    return true;
}

ModemStatus SerialPtt::inputs()
{
    return m_lines.modemStatus();
}

std::optional<QStringList> SerialPtt::pttFoundUp()
{
    const ModemStatus s = m_lines.modemStatus();
    QStringList up;
    if (s.dtr)
        up << QStringLiteral("DTR");
    if (s.rts)
        up << QStringLiteral("RTS");
    return up;
}

QString SerialPtt::where() const
{
    return QStringLiteral("%1 (%2)").arg(m_devicePath, m_portName);
}

bool SerialPtt::isKernelConsole() const
{
    return m_lines.isKernelConsole(m_portName);
}

} // namespace auravox
