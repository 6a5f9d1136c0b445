#include "transmitter/PortSettings.h"

#include "common/ConfigKeys.h"
#include "common/Log.h"
#include "transmitter/SerialPortControl.h"

#include <QMetaObject>

#include <functional>

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

namespace {

// One key of the other kinds: its text from the settings, and the settings
// changed by a value read (false: the value is not one the key takes).
struct PttKey
{
    const char *key;
    std::function<QString(const PttSettings &)> get;
    std::function<bool(PttSettings &, const QString &)> set;
};

template <typename Get, typename Set> PttKey numberKey(const char *key, Get get, Set set, int low, int high)
{
    return {key, [get](const PttSettings &p) { return QString::number(get(p)); },
            [set, low, high](PttSettings &p, const QString &v) {
                int n;
                if (!ConfigRegistry::parseInt(v, &n) || n < low || n > high)
                    return false;
                set(p, n);
                return true;
            }};
}

template <typename Get, typename Set> PttKey flagKey(const char *key, Get get, Set set)
{
    return {key, [get](const PttSettings &p) { return get(p) ? QStringLiteral("1") : QStringLiteral("0"); },
            [set](PttSettings &p, const QString &v) {
                if (v != QLatin1String("0") && v != QLatin1String("1"))
                    return false;
                set(p, v == QLatin1String("1"));
                return true;
            }};
}

template <typename Get, typename Set> PttKey textKey(const char *key, Get get, Set set)
{
    return {key, get, [set](PttSettings &p, const QString &v) {
                set(p, v);
                return true;
            }};
}

// "0d8c:013c": the fob's USB vendor and product IDs in hex.
bool parseUsbId(const QString &v, quint16 *vendor, quint16 *product)
{
    const QStringList parts = v.split(QLatin1Char(':'));
    if (parts.size() != 2 || parts[0].size() != 4 || parts[1].size() != 4)
        return false;
    bool ok1 = false, ok2 = false;
    const uint a = parts[0].toUInt(&ok1, 16), b = parts[1].toUInt(&ok2, 16);
    if (!ok1 || !ok2)
        return false;
    *vendor = static_cast<quint16>(a);
    *product = static_cast<quint16>(b);
    return true;
}

QList<PttKey> pttKeys()
{
    using P = PttSettings;
    return {
        {"PTT_TYPE=", [](const P &p) { return pttKindName(p.kind); },
         [](P &p, const QString &v) {
             const std::optional<PttKind> k = pttKindFromName(v);
             if (k)
                 p.kind = *k;
             return k.has_value();
         }},
        textKey(
            "CM108_DEVICE=", [](const P &p) { return p.cm108.device; },
            [](P &p, const QString &v) { p.cm108.device = v; }),
        {"CM108_ID=",
         [](const P &p) {
             return QStringLiteral("%1:%2")
                 .arg(p.cm108.vendorId, 4, 16, QLatin1Char('0'))
                 .arg(p.cm108.productId, 4, 16, QLatin1Char('0'));
         },
         [](P &p, const QString &v) { return parseUsbId(v, &p.cm108.vendorId, &p.cm108.productId); }},
        numberKey(
            "CM108_GPIO=", [](const P &p) { return p.cm108.pttGpio; }, [](P &p, int n) { p.cm108.pttGpio = n; }, 1, 8),
        numberKey(
            "CM108_INHIBIT=", [](const P &p) { return p.cm108.inhibitBit; },
            [](P &p, int n) { p.cm108.inhibitBit = n; }, -1, 7),
        numberKey(
            "CM108_START=", [](const P &p) { return p.cm108.startBit; }, [](P &p, int n) { p.cm108.startBit = n; }, -1,
            7),
        textKey(
            "GPIO_CHIP=", [](const P &p) { return p.gpio.chip; }, [](P &p, const QString &v) { p.gpio.chip = v; }),
        numberKey(
            "GPIO_PTT=", [](const P &p) { return p.gpio.pttLine; }, [](P &p, int n) { p.gpio.pttLine = n; }, -1, 1023),
        flagKey(
            "GPIO_PTT_LOW=", [](const P &p) { return p.gpio.pttActiveLow; },
            [](P &p, bool b) { p.gpio.pttActiveLow = b; }),
        numberKey(
            "GPIO_START=", [](const P &p) { return p.gpio.startLine; }, [](P &p, int n) { p.gpio.startLine = n; }, -1,
            1023),
        numberKey(
            "GPIO_INHIBIT=", [](const P &p) { return p.gpio.inhibitLine; }, [](P &p, int n) { p.gpio.inhibitLine = n; },
            -1, 1023),
        flagKey(
            "GPIO_INPUT_LOW=", [](const P &p) { return p.gpio.inputsActiveLow; },
            [](P &p, bool b) { p.gpio.inputsActiveLow = b; }),
        numberKey(
            "RIG_MODEL=", [](const P &p) { return p.rig.model; }, [](P &p, int n) { p.rig.model = n; }, 1, 999999),
        textKey(
            "RIG_PORT=", [](const P &p) { return p.rig.port; }, [](P &p, const QString &v) { p.rig.port = v; }),
        numberKey(
            "RIG_BAUD=", [](const P &p) { return p.rig.baud; }, [](P &p, int n) { p.rig.baud = n; }, 0, 4000000),
        flagKey(
            "RIG_DCD=", [](const P &p) { return p.rig.inhibitOnDcd; }, [](P &p, bool b) { p.rig.inhibitOnDcd = b; }),
        numberKey(
            "RIG_TIMEOUT=", [](const P &p) { return p.rig.timeoutMs; }, [](P &p, int n) { p.rig.timeoutMs = n; }, 50,
            10000),
    };
}

} // namespace

void PortSettings::declarePttConfig(ConfigRegistry &r)
{
    int position = 10;
    const PttSettings defaults;
    for (const PttKey &k : pttKeys()) {
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
