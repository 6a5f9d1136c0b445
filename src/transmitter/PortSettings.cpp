#include "transmitter/PortSettings.h"

#include "common/ConfigKeys.h"
#include "common/Log.h"
#include "transmitter/SerialPortControl.h"

namespace auravox {

PortSettings::PortSettings(QObject *parent) : QObject(parent)
{
    m_lines.dtr = m_lines.rts = m_lines.dsr = m_lines.cts = m_lines.dcd = true;
}

void PortSettings::setLines(const Transmitter::Lines &lines)
{
    if (lines.dtr == m_lines.dtr && lines.rts == m_lines.rts && lines.dsr == m_lines.dsr &&
        lines.cts == m_lines.cts && lines.dcd == m_lines.dcd)
        return;
    m_lines = lines;
    emit changed();
}

void PortSettings::bindTransmitter(Transmitter &transmitter)
{
    transmitter.setLines(m_lines);
    connect(this, &PortSettings::changed, this, [this, &transmitter] { transmitter.setLines(m_lines); });
}

void PortSettings::openRequestedPorts(SerialPortControl &control)
{
    connect(this, &PortSettings::portRequested, this, [this, &control](const QString &name) {
        if (name == TransmitterPort::kNoPortName) {
            control.chooseNoPort();
            m_savedPort = QStringLiteral("0");
            return;
        }
        m_savedPort = name.mid(3);
        control.setPortName(name);
        if (!control.openChosenPort()) {
            qCWarning(lcPort).noquote() << QStringLiteral("COM port error: ") + control.transmitter().lastError();
            control.chooseNoPort();
        }
    });
}

void PortSettings::declareConfig(ConfigRegistry &r)
{
    r.add(ConfigKeys::make(
        ConfigSection::Serial, 10, "COM=",
        [this] { return m_savedPort.isEmpty() ? QStringList() : QStringList{QStringLiteral("COM=") + m_savedPort}; },
        [this](const QString &v) {
            m_savedPort = v; // kept as read until a window or the port says otherwise
            requestPort(v == QLatin1String("0") ? TransmitterPort::kNoPortName : QStringLiteral("COM") + v);
        }));
    int position = 20;
    for (auto [key, field] : {std::pair{"DTR=", &Transmitter::Lines::dtr}, std::pair{"RTS=", &Transmitter::Lines::rts},
                              std::pair{"DSR=", &Transmitter::Lines::dsr}, std::pair{"CTS=", &Transmitter::Lines::cts},
                              std::pair{"DCD=", &Transmitter::Lines::dcd}}) {
        const QString zero = QLatin1String(key) + QLatin1Char('0');
        bool Transmitter::Lines::*f = field;
        r.add(ConfigKeys::make(
            ConfigSection::Serial, position, key, [this, zero, f] { return m_lines.*f ? QStringList() : QStringList{zero}; },
            [this, f](const QString &v) {
                if (v != QLatin1String("0"))
                    return;
                Transmitter::Lines l = m_lines;
                l.*f = false;
                setLines(l);
            }));
        position += 10;
    }
}

} // namespace auravox
