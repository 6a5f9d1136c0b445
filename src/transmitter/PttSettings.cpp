#include "transmitter/PttSettings.h"

#include "common/ConfigRegistry.h"

namespace auravox {

namespace {
constexpr int kMaxGpioLine = 1023;
constexpr int kMaxHidBit = 7;
} // namespace

QString pttKindName(PttKind kind)
{
    switch (kind) {
    case PttKind::Serial:
        return QStringLiteral("SERIAL");
    case PttKind::Cm108:
        return QStringLiteral("CM108");
    case PttKind::Gpio:
        return QStringLiteral("GPIO");
    case PttKind::Rig:
        return QStringLiteral("RIG");
    }
    return QStringLiteral("SERIAL");
}

std::optional<PttKind> pttKindFromName(const QString &name)
{
    for (PttKind k : {PttKind::Serial, PttKind::Cm108, PttKind::Gpio, PttKind::Rig}) {
        if (pttKindName(k) == name)
            return k;
    }
    return std::nullopt;
}

QStringList PttSettings::problems() const
{
    QStringList out;
    auto bit = [&](int b, const char *what) {
        if (b != Cm108Settings::kNoBit && (b < 0 || b > kMaxHidBit))
            out << QStringLiteral("The fob's %1 input bit must be 0 to 7 (or none).").arg(QLatin1String(what));
    };
    auto line = [&](int l, const char *what) {
        if (l != GpioSettings::kNoLine && (l < 0 || l > kMaxGpioLine))
            out << QStringLiteral("The %1 line offset must be 0 to 1023 (or none).").arg(QLatin1String(what));
    };
    switch (kind) {
    case PttKind::Serial:
        break;
    case PttKind::Cm108:
        if (cm108.pttGpio < 1 || cm108.pttGpio > 8)
            out << QStringLiteral("The fob's PTT GPIO must be 1 to 8 (GPIO3 on most interface boards).");
        bit(cm108.inhibitBit, "inhibit");
        bit(cm108.startBit, "start");
        if (cm108.startBit != Cm108Settings::kNoBit && cm108.startBit == cm108.inhibitBit)
            out << QStringLiteral("The fob's start and inhibit inputs must be different bits.");
        if (cm108.device.isEmpty() && cm108.vendorId == 0)
            out << QStringLiteral("Name the fob's hidraw device or its USB vendor ID.");
        break;
    case PttKind::Gpio:
        if (gpio.chip.isEmpty())
            out << QStringLiteral("Name the GPIO chip (gpiochip0, its number or its /dev path).");
        if (gpio.pttLine == GpioSettings::kNoLine)
            out << QStringLiteral("Choose the PTT line's offset on the GPIO chip.");
        line(gpio.pttLine, "PTT");
        line(gpio.startLine, "start");
        line(gpio.inhibitLine, "inhibit");
        for (int l : {gpio.startLine, gpio.inhibitLine}) {
            if (l != GpioSettings::kNoLine && l == gpio.pttLine)
                out << QStringLiteral("An input line can't be the PTT line.");
        }
        if (gpio.startLine != GpioSettings::kNoLine && gpio.startLine == gpio.inhibitLine)
            out << QStringLiteral("The start and inhibit lines must be different.");
        break;
    case PttKind::Rig:
        if (rig.model < 1)
            out << QStringLiteral("Choose the rig's Hamlib model number (2 for rigctld).");
        if (rig.port.isEmpty())
            out << QStringLiteral("Name the rig's serial device, or host:port for rigctld.");
        if (rig.baud < 0)
            out << QStringLiteral("The rig's speed must be 0 (its own) or a baud rate.");
        if (rig.timeoutMs < 50 || rig.timeoutMs > 10000)
            out << QStringLiteral("The rig's answer time limit must be 50 to 10000 ms.");
        break;
    }
    return out;
}

QString pttGroupName(PttKind kind)
{
    switch (kind) {
    case PttKind::Cm108:
        return QStringLiteral("cm108");
    case PttKind::Gpio:
        return QStringLiteral("gpio");
    case PttKind::Rig:
        return QStringLiteral("rig");
    case PttKind::Serial:
        break;
    }
    return QString();
}

QString PttField::takes() const
{
    switch (type) {
    case Type::Kind:
        return QStringLiteral("SERIAL, CM108, GPIO or RIG");
    case Type::Text:
        return QStringLiteral("a text");
    case Type::Number:
        if (low == -1)
            return QStringLiteral("-1 (none) or a whole number from 0 to %1").arg(high);
        return QStringLiteral("a whole number from %1 to %2").arg(low).arg(high);
    case Type::Flag:
        return QStringLiteral("true or false");
    case Type::UsbId:
        return QStringLiteral("two hex numbers, vendor:product (0d8c:013c)");
    }
    return QString();
}

namespace {

using P = PttSettings;
using T = PttField::Type;

template <typename Get, typename Set>
PttField numberField(PttKind kind, const char *key, const char *name, Get get, Set set, int low, int high)
{
    return {kind, key, name, T::Number, low, high, [get](const P &p) { return QString::number(get(p)); },
            [set, low, high](P &p, const QString &v) {
                int n;
                if (!ConfigRegistry::parseInt(v, &n) || n < low || n > high)
                    return false;
                set(p, n);
                return true;
            }};
}

template <typename Get, typename Set> PttField flagField(PttKind kind, const char *key, const char *name, Get get, Set set)
{
    return {kind, key, name, T::Flag, 0, 1, [get](const P &p) { return get(p) ? QStringLiteral("1") : QStringLiteral("0"); },
            [set](P &p, const QString &v) {
                if (v != QLatin1String("0") && v != QLatin1String("1"))
                    return false;
                set(p, v == QLatin1String("1"));
                return true;
            }};
}

template <typename Get, typename Set> PttField textField(PttKind kind, const char *key, const char *name, Get get, Set set)
{
    return {kind, key, name, T::Text, 0, 0, get, [set](P &p, const QString &v) {
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

QList<PttField> makeFields()
{
    constexpr PttKind fob = PttKind::Cm108, gpio = PttKind::Gpio, rig = PttKind::Rig;
    return {
        {PttKind::Serial, "PTT_TYPE=", "kind", T::Kind, 0, 0, [](const P &p) { return pttKindName(p.kind); },
         [](P &p, const QString &v) {
             const std::optional<PttKind> k = pttKindFromName(v);
             if (k)
                 p.kind = *k;
             return k.has_value();
         }},
        textField(
            fob, "CM108_DEVICE=", "device", [](const P &p) { return p.cm108.device; },
            [](P &p, const QString &v) { p.cm108.device = v; }),
        {fob, "CM108_ID=", "id", T::UsbId, 0, 0,
         [](const P &p) {
             return QStringLiteral("%1:%2")
                 .arg(p.cm108.vendorId, 4, 16, QLatin1Char('0'))
                 .arg(p.cm108.productId, 4, 16, QLatin1Char('0'));
         },
         [](P &p, const QString &v) { return parseUsbId(v, &p.cm108.vendorId, &p.cm108.productId); }},
        numberField(
            fob, "CM108_GPIO=", "pttGpio", [](const P &p) { return p.cm108.pttGpio; },
            [](P &p, int n) { p.cm108.pttGpio = n; }, 1, 8),
        numberField(
            fob, "CM108_INHIBIT=", "inhibitBit", [](const P &p) { return p.cm108.inhibitBit; },
            [](P &p, int n) { p.cm108.inhibitBit = n; }, -1, kMaxHidBit),
        numberField(
            fob, "CM108_START=", "startBit", [](const P &p) { return p.cm108.startBit; },
            [](P &p, int n) { p.cm108.startBit = n; }, -1, kMaxHidBit),
        textField(
            gpio, "GPIO_CHIP=", "chip", [](const P &p) { return p.gpio.chip; },
            [](P &p, const QString &v) { p.gpio.chip = v; }),
        numberField(
            gpio, "GPIO_PTT=", "pttLine", [](const P &p) { return p.gpio.pttLine; },
            [](P &p, int n) { p.gpio.pttLine = n; }, -1, kMaxGpioLine),
        flagField(
            gpio, "GPIO_PTT_LOW=", "pttActiveLow", [](const P &p) { return p.gpio.pttActiveLow; },
            [](P &p, bool b) { p.gpio.pttActiveLow = b; }),
        numberField(
            gpio, "GPIO_START=", "startLine", [](const P &p) { return p.gpio.startLine; },
            [](P &p, int n) { p.gpio.startLine = n; }, -1, kMaxGpioLine),
        numberField(
            gpio, "GPIO_INHIBIT=", "inhibitLine", [](const P &p) { return p.gpio.inhibitLine; },
            [](P &p, int n) { p.gpio.inhibitLine = n; }, -1, kMaxGpioLine),
        flagField(
            gpio, "GPIO_INPUT_LOW=", "inputsActiveLow", [](const P &p) { return p.gpio.inputsActiveLow; },
            [](P &p, bool b) { p.gpio.inputsActiveLow = b; }),
        numberField(
            rig, "RIG_MODEL=", "model", [](const P &p) { return p.rig.model; }, [](P &p, int n) { p.rig.model = n; },
            1, 999999),
        textField(
            rig, "RIG_PORT=", "port", [](const P &p) { return p.rig.port; },
            [](P &p, const QString &v) { p.rig.port = v; }),
        numberField(
            rig, "RIG_BAUD=", "baud", [](const P &p) { return p.rig.baud; }, [](P &p, int n) { p.rig.baud = n; }, 0,
            4000000),
        flagField(
            rig, "RIG_DCD=", "inhibitOnDcd", [](const P &p) { return p.rig.inhibitOnDcd; },
            [](P &p, bool b) { p.rig.inhibitOnDcd = b; }),
        numberField(
            rig, "RIG_TIMEOUT=", "timeoutMs", [](const P &p) { return p.rig.timeoutMs; },
            [](P &p, int n) { p.rig.timeoutMs = n; }, 50, 10000),
    };
}

} // namespace

const QList<PttField> &pttFields()
{
    static const QList<PttField> fields = makeFields();
    return fields;
}

namespace {
QJsonValue jsonValue(const PttField &f, const PttSettings &p)
{
    const QString text = f.get(p);
    if (f.type == T::Number)
        return text.toInt();
    if (f.type == T::Flag)
        return text == QLatin1String("1");
    return text;
}

// The text a field's set takes for a JSON value; nothing when the JSON type is not its own.
std::optional<QString> fieldText(const PttField &f, const QJsonValue &v)
{
    switch (f.type) {
    case T::Number: {
        const double d = v.toDouble();
        if (!v.isDouble() || d != static_cast<double>(static_cast<int>(d)))
            return std::nullopt;
        return QString::number(static_cast<int>(d));
    }
    case T::Flag:
        if (!v.isBool())
            return std::nullopt;
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case T::Kind:
    case T::Text:
    case T::UsbId:
        break;
    }
    if (!v.isString())
        return std::nullopt;
    return v.toString().trimmed(); // as the window's boxes are read
}

const PttField *findField(PttKind kind, const QString &name)
{
    for (const PttField &f : pttFields()) {
        if (f.kind == kind && name == QLatin1String(f.name))
            return &f;
    }
    return nullptr;
}

QString setField(const PttField &f, const QString &where, const QJsonValue &v, PttSettings &p)
{
    const std::optional<QString> text = fieldText(f, v);
    if (!text || !f.set(p, *text))
        return QStringLiteral("%1 must be %2").arg(where, f.takes());
    return QString();
}
} // namespace

QJsonObject pttToJson(const PttSettings &p)
{
    QJsonObject out;
    QJsonObject groups[4];
    for (const PttField &f : pttFields()) {
        if (f.type == T::Kind)
            out.insert(QLatin1String(f.name), jsonValue(f, p));
        else
            groups[static_cast<int>(f.kind)].insert(QLatin1String(f.name), jsonValue(f, p));
    }
    for (PttKind k : {PttKind::Cm108, PttKind::Gpio, PttKind::Rig})
        out.insert(pttGroupName(k), groups[static_cast<int>(k)]);
    return out;
}

QString applyPttJson(const QJsonObject &change, PttSettings *settings)
{
    PttSettings p = *settings;
    for (auto it = change.begin(); it != change.end(); ++it) {
        const QString where = QStringLiteral("ptt.") + it.key();
        if (const PttField *kind = findField(PttKind::Serial, it.key())) {
            if (const QString why = setField(*kind, where, it.value(), p); !why.isEmpty())
                return why;
            continue;
        }
        const std::optional<PttKind> group = [&]() -> std::optional<PttKind> {
            for (PttKind k : {PttKind::Cm108, PttKind::Gpio, PttKind::Rig}) {
                if (it.key() == pttGroupName(k))
                    return k;
            }
            return std::nullopt;
        }();
        if (!group)
            return QStringLiteral("unknown setting %1: ptt takes kind, cm108, gpio and rig").arg(where);
        if (!it.value().isObject())
            return where + QStringLiteral(" must be an object of its settings");
        const QJsonObject o = it.value().toObject();
        for (auto f = o.begin(); f != o.end(); ++f) {
            const PttField *field = findField(*group, f.key());
            if (!field)
                return QStringLiteral("unknown setting %1.%2").arg(where, f.key());
            if (const QString why = setField(*field, where + QLatin1Char('.') + f.key(), f.value(), p); !why.isEmpty())
                return why;
        }
    }
    *settings = p;
    return QString();
}

} // namespace auravox
