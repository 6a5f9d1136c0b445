#include "stations/MonitorReading.h"

#include "common/Rounding.h"
#include "weather/StationReading.h"

#include <algorithm>

namespace auravox {

namespace {
// An empty slot of the gust history: below every wind speed, and the gust is
// never shown below 0.
constexpr double kEmptySlot = -10.0;

int roundedForLog(double v)
{
    if (!(v > -1e6 && v < 1e6))
        return 0;
    return static_cast<int>(roundHalfEven(v));
}
} // namespace

void MonitorReading::clearGustHistory()
{
    m_windHistory.fill(kEmptySlot);
    m_windIndex = 0;
}

double MonitorReading::displayTemperature(const UnitSettings &u, double fahrenheit)
{
    return u.temperatureFactor == 1 ? (fahrenheit - 32) * 5 / 9 : fahrenheit;
}

std::optional<MonitorCaption> MonitorReading::indoorTemp(const UnitSettings &u, double fahrenheit,
                                                         WeatherSnapshot &s) const
{
    const double indoor = displayTemperature(u, fahrenheit);
    if (!(indoor >= u.temperature(-70)))
        return std::nullopt;
    s.indoorTemp = indoor;
    using PL = PlausibilityLimits;
    return MonitorCaption{QStringLiteral("Indoor T (\u00b0%1)= %2").arg(u.temperatureLabel, station::fixed(indoor, 1)),
                          !station::temperatureOutside(u, indoor, PL::indoorTempMin, PL::indoorTempMax)};
}

MonitorCaption MonitorReading::outdoorTemp(const UnitSettings &u, double fahrenheit, WeatherSnapshot &s) const
{
    s.outdoorTemp = displayTemperature(u, fahrenheit);
    using PL = PlausibilityLimits;
    return {QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(u.temperatureLabel, station::fixed(s.outdoorTemp, 1)),
            !station::temperatureOutside(u, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax)};
}

MonitorCaption MonitorReading::pressure(const UnitSettings &u, double inHg, WeatherSnapshot &s) const
{
    s.pressure = inHg;
    if (u.pressureFactor == 1)
        s.pressure /= 0.02953;
    return {QStringLiteral("Atm. P (%1) = %2")
                .arg(u.pressureLabel, station::fixed(s.pressure, u.pressureFactor == 1 ? 1 : 2)),
            !station::pressureOutside(u, s.pressure)};
}

std::optional<QString> MonitorReading::pressureTrend(int trend, WeatherSnapshot &s) const
{
    s.pressureTrend = trend;
    static const char *const kTrend[] = {"trend : steady", "trend : rising", "trend : falling"};
    if (trend >= 0 && trend <= 2)
        return QLatin1String(kTrend[trend]);
    return std::nullopt;
}

MonitorWind MonitorReading::wind(const UnitSettings &u, double mph, WeatherSnapshot &s)
{
    s.windSpeed = mph;
    if (u.windFactor == 1)
        s.windSpeed *= 1.609344;
    MonitorWind w;
    w.wind.plausible = !station::windOutside(u, s.windSpeed);
    if (w.wind.plausible) {
        m_windIndex = m_windIndex >= kGustSlots ? 1 : m_windIndex + 1;
        m_windHistory[static_cast<size_t>(m_windIndex - 1)] = s.windSpeed;
    }
    w.wind.text = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, station::fixed(s.windSpeed, 0));
    s.windGust = std::max(0.0, *std::max_element(m_windHistory.begin(), m_windHistory.end()));
    w.gust = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, station::fixed(s.windGust, 0));
    return w;
}

QString MonitorReading::direction(int degrees, WeatherSnapshot &s) const
{
    s.windDirection = degrees & 0x8FFF;
    return QStringLiteral("Direction (\u00b0) = %1").arg(s.windDirection);
}

QString MonitorReading::logLine(const WeatherSnapshot &s)
{
    return QStringLiteral("M\u00e9t\u00e9o MonII") + QStringLiteral(" Tint=") +
           QString::number(roundedForLog(s.indoorTemp)) + QStringLiteral(" Text=") +
           QString::number(roundedForLog(s.outdoorTemp)) + QStringLiteral(" Patm=") +
           QString::number(roundedForLog(s.pressure)) + QStringLiteral(" Vent=") +
           QString::number(roundedForLog(s.windSpeed)) + QStringLiteral(" Rafale=") +
           QString::number(roundedForLog(s.windGust)) + QStringLiteral(" Direction=") +
           QString::number(s.windDirection);
}

} // namespace auravox
