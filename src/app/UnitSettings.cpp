#include "app/UnitSettings.h"

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

} // namespace auravox
