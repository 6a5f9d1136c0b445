#include "weather/StationReading.h"

#include <QtEndian>

#include <cmath>

namespace auravox::station {

using PL = PlausibilityLimits;

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString shown(double value, double notAvailable, int decimals)
{
    return value == notAvailable ? QStringLiteral("--") : fixed(value, decimals);
}

double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

float f32(const char *p)
{
    return qFromLittleEndian<float>(p);
}

bool temperatureOutside(const UnitSettings &u, double value, double minC, double maxC)
{
    // Written so that NaN counts as outside.
    return !(value >= u.temperature(minC) && value <= u.temperature(maxC));
}

bool pressureOutside(const UnitSettings &u, double value)
{
    return !(value >= u.pressureFactor * PL::pressureMin && value <= u.pressureFactor * PL::pressureMax);
}

bool windOutside(const UnitSettings &u, double value)
{
    return !(value >= u.windFactor * PL::windMin && value <= u.windFactor * PL::windMax);
}

int trendOf(const UnitSettings &u, double change, double trendThreshold)
{
    const double pf = u.pressureFactor;
    if (!(-50 * pf < change && change < 50 * pf))
        return 0;
    const double threshold = trendThreshold * u.pressureTrendFactor;
    if (change > threshold)
        return 1;
    if (-change > threshold)
        return 2;
    return 0;
}

QString trendCaption(int trend)
{
    static const char *const kTrend[] = {"Trend : steady", "Trend : rising", "Trend : falling"};
    return QLatin1String(kTrend[trend >= 0 && trend <= 2 ? trend : 0]);
}

void applyWindChill(const UnitSettings &u, bool unavailable, WeatherSnapshot &s, SourceDisplay &d)
{
    const QString &tl = u.temperatureLabel;
    if (unavailable) {
        s.windChill = -200;
        d.windChill.text = QStringLiteral("Wind chill (\u00b0%1) = --").arg(tl);
        return;
    }
    const double t = s.outdoorTemp;
    const double v16 = std::pow(s.windSpeed, 0.16);
    s.windChill = u.temperatureFactor == 1 ? 13.12 + 0.6215 * t + (0.3965 * t - 11.37) * v16
                                           : 35.74 + 0.6215 * t + (0.4275 * t - 35.75) * v16;
    d.windChill.text = QStringLiteral("Wind chill (\u00b0%1) = %2").arg(tl, fixed(s.windChill, 1));
}

void applyDewPoint(const UnitSettings &u, WeatherSnapshot &s, SourceDisplay &d)
{
    const QString &tl = u.temperatureLabel;
    // A negative (or missing) humidity has no dew point: shown as not available.
    if (d.outdoorTemp.red || !(s.outdoorHumidity >= 0)) {
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = --").arg(tl);
        return;
    }
    const double h = s.outdoorHumidity / 100.0;
    const double tc = u.temperatureFactor == 1 ? s.outdoorTemp : (s.outdoorTemp - 32) / 1.8;
    const double td = std::pow(h, 0.125) * (0.9 * tc + 112) + 0.1 * tc - 112;
    s.dewPoint = u.temperatureFactor == 1 ? td : td * 1.8 + 32;
    d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = %2").arg(tl, fixed(s.dewPoint, 1));
}

QString rainCaption(const UnitSettings &u, double rain24h)
{
    if (rain24h < 0)
        return QStringLiteral("Rain/24h (%1) = --").arg(u.rainLabel);
    return QStringLiteral("Rain/24h (%1) = %2").arg(u.rainLabel, fixed(rain24h, u.rainFactor == 1 ? 1 : 2));
}

void blankReportCaptions(const UnitSettings &u, SourceDisplay &d)
{
    d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = ").arg(u.temperatureLabel);
    d.pressure.text = QStringLiteral("Atm. P (%1) = ").arg(u.pressureLabel);
    d.wind.text = QStringLiteral("Wind (%1) = ").arg(u.windLabel);
    d.gust.text = QStringLiteral("Gust (%1) = ").arg(u.windLabel);
    d.direction.text = QStringLiteral("Direction (\u00b0) = ");
    d.humidity.text = QStringLiteral("Humidity (%) =");
}

} // namespace auravox::station
