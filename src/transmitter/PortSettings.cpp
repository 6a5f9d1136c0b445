#include "transmitter/PortSettings.h"

#include "common/ConfigKeys.h"
#include "common/Log.h"
#include "transmitter/SerialPortControl.h"

#include <QMetaObject>


namespace auravox {

PortSettings::PortSettings(QObject *parent) : QObject(parent)
{
    m_lines.dtr = m_lines.rts = m_lines.dsr = m_lines.cts = m_lines.dcd = true;
}

void PortSettings::setLines(const Transmitter::Lines &lines)
{
    if (lines.dtr == m_lines.dtr && lines.rts == m_lines.rts && lines.dsr == m_lines.dsr && lines.cts == m_lines.cts
        && lines.dcd == m_lines.dcd)
        return;
    m_lines = lines;
    emit changed();
}

QStringList PortSettings::setPtt(const PttSettings &ptt)
{
    const QStringList problems = ptt.problems();
    if (!problems.isEmpty())
        return problems;
    if (ptt == m_ptt)
        return {};
    m_ptt = ptt;
    emit pttChanged();
    return {};
}

void PortSettings::openDevices(SerialPortControl &control)
{
    connect(this, &PortSettings::pttChanged, this, [this, &control] {
        if (m_applyPosted)
            return;
        m_applyPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this, &control] {
                m_applyPosted = false;
                emit deviceApplied(control.usePtt(m_ptt));
            },
            Qt::QueuedConnection);
    });
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
            ConfigSection::Serial, position, key,
            [this, zero, f] { return m_lines.*f ? QStringList() : QStringList{zero}; },
            [this, f](const QString &v) {
                if (v != QLatin1String("0"))
                    return;
                Transmitter::Lines l = m_lines;
                l.*f = false;
                setLines(l);
            }));
        position += 10;
    }
    declarePttConfig(r);
}

void PortSettings::declarePttConfig(ConfigRegistry &r)
{
    int position = 10;
    const PttSettings defaults;
    for (const PttField &k : pttFields()) {
        const QString key = QLatin1String(k.key);
        const QString fallback = k.get(defaults);
        r.add(ConfigKeys::make(
            ConfigSection::Ptt, position, key,
            [this, k, key, fallback] {
                const QString v = k.get(m_ptt);
                return v == fallback ? QStringList() : QStringList{key + v};
            },
            [this, k, key](const QString &v) {
                PttSettings p = m_ptt;
                if (!k.set(p, v)) {
                    qCWarning(lcPort).noquote() << QStringLiteral("auravox.ini: %1%2 is not a value this key takes: "
                                                                  "kept at %3")
                                                       .arg(key, v, k.get(m_ptt));
                    return;
                }
                // Each key alone; whether they fit together is checked when the
                // device is opened, after the whole file.
                if (p != m_ptt) {
                    m_ptt = p;
                    emit pttChanged();
                }
            }));
        position += 10;
    }
}

} // namespace auravox
