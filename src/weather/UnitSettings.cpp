#include "weather/UnitSettings.h"

namespace auravox {

void UnitSettings::setCelsius(bool metric)
{
    temperatureLabel = metric ? QStringLiteral("C") : QStringLiteral("F");
    temperatureFactor = metric ? 1 : 1.8;
    temperatureOffset = metric ? 0 : 32;
}

void UnitSettings::setMillibars(bool metric)
{
    pressureLabel = metric ? QStringLiteral("mBar") : QStringLiteral("inHg");
    pressureFactor = metric ? 1 : 0.02953;
    pressureOffsetFactor = metric ? 1 : 0.01;
    pressureTrendFactor = metric ? 1 : 0.01;
}

void UnitSettings::setKmh(bool metric)
{
    windLabel = metric ? QStringLiteral("km/h") : QStringLiteral("mph");
    windFactor = metric ? 1 : 0.6213712;
}

void UnitSettings::setMillimetres(bool metric)
{
    rainLabel = metric ? QStringLiteral("mm") : QStringLiteral("inch");
    rainFactor = metric ? 1 : 0.03937;
}

QString UnitSettings::withTemperatureLabel(const QString &caption, const QString &label)
{
    const qsizetype degree = caption.indexOf(QChar(0x00B0));
    if (degree < 0 || degree + 1 >= caption.size())
        return caption;
    QString out = caption;
    out.replace(degree + 1, 1, label.left(1));
    return out;
}

QString UnitSettings::withUnitInBrackets(const QString &caption, const QString &label)
{
    const qsizetype open = caption.indexOf(QLatin1Char('('));
    const qsizetype close = open < 0 ? -1 : caption.indexOf(QLatin1Char(')'), open);
    if (close < 0)
        return caption;
    return caption.left(open + 1) + label + caption.mid(close);
}

} // namespace auravox
