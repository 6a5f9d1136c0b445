#include "transmitter/PttSettings.h"

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

} // namespace auravox
