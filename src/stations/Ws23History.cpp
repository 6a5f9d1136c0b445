#include "stations/Ws23History.h"

#include "common/DateTime.h"
#include "common/Rounding.h"
#include "stations/HistoryFile.h"

#include <QtEndian>

#include <cmath>

namespace auravox {

namespace {

float f32(const char *p)
{
    return qFromLittleEndian<float>(p);
}

QString fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

} // namespace

double Ws23Record::stampToDays(quint32 seconds)
{
    const quint32 shifted = seconds + 176400u; // kept to 32 bits, as the station software does
    return static_cast<double>(shifted) / 86400.0;
}

Ws23Record Ws23Record::decode(const QByteArray &b)
{
    Ws23Record r;
    if (b.size() < kSize)
        return r;
    const char *p = b.constData();
    r.time = stampToDays(qFromLittleEndian<quint32>(p + 4));
    r.pressure = f32(p + 8);
    r.wind = f32(p + 12);
    r.direction = qFromLittleEndian<qint32>(p + 16);
    r.rain = f32(p + 20);
    r.indoorTemp = f32(p + 24);
    r.outdoorTemp = f32(p + 28);
    r.indoorHumidity = static_cast<qint8>(p[32]);
    r.outdoorHumidity = static_cast<qint8>(p[34]);
    return r;
}

bool readWs23History(const QString &path, const Ws23Settings &settings, WeatherSnapshot &s, Ws23Display &d)
{
    using PL = PlausibilityLimits;
    const UnitSettings &u = settings.units;
    const QString tl = u.temperatureLabel;

    HistoryFile file(Ws23Record::kSize);
    if (!file.open(path))
        return false;
    const qint64 count = file.count();
    if (count < 1)
        return false;
    const qint64 b = count - 1;
    auto at = [&](qint64 i, Ws23Record *out) {
        const QByteArray bytes = file.record(i);
        if (bytes.isEmpty())
            return false;
        *out = Ws23Record::decode(bytes);
        return true;
    };
    Ws23Record last;
    if (!at(b, &last))
        return false;

    d.lastRecordTime = last.time;
    if (last.time > s.readingTime)
        s.readingTime = last.time;
    double interval = 0;
    if (b > 1) {
        Ws23Record before;
        if (!at(b - 1, &before))
            return false;
        interval = last.time - before.time;
    }

    auto temperatureMarked = [&](double t, double min, double max) {
        return t < u.temperature(min) || t > u.temperature(max);
    };
    s.indoorTemp = u.temperature(last.indoorTemp);
    d.indoorTempMarked = temperatureMarked(s.indoorTemp, PL::indoorTempMin, PL::indoorTempMax);
    d.indoorTemp = QStringLiteral("Indoor T (\u00b0%1) = %2").arg(tl, fixed(s.indoorTemp, 1));
    s.outdoorTemp = u.temperature(last.outdoorTemp);
    d.outdoorTempMarked = temperatureMarked(s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax);
    d.outdoorTemp = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, fixed(s.outdoorTemp, 1));

    const double pf = u.pressureFactor;
    const double offset = u.pressureOffsetFactor * settings.pressureOffset;
    s.pressureOffset = settings.pressureOffset;
    s.pressure = pf * last.pressure + offset;
    d.pressureMarked = s.pressure < pf * PL::pressureMin || s.pressure > pf * PL::pressureMax;
    d.pressure = QStringLiteral("Atm. P (%1) = %2").arg(u.pressureLabel, fixed(s.pressure, pf != 1 ? 2 : 1));

    if (!d.pressureMarked) {
        s.pressureTrend = 0;
        if (interval > 0) {
            qint64 j = static_cast<qint64>(std::trunc(static_cast<double>(b) - (1.0 / 24) / interval));
            if (j < 1)
                j = 1;
            Ws23Record hourAgo;
            if (!at(j, &hourAgo))
                return false;
            const double change = s.pressure - (pf * hourAgo.pressure + offset);
            const double threshold = settings.limits.trendThreshold * u.pressureTrendFactor;
            if (-50 * pf < change && change < 50 * pf) {
                if (change > threshold)
                    s.pressureTrend = 1;
                else if (-change > threshold)
                    s.pressureTrend = 2;
            }
        }
        static const char *const kTrend[] = {"Trend : steady", "Trend : rising", "Trend : falling"};
        d.trend = QLatin1String(kTrend[s.pressureTrend]);
    }

    const double wf = u.windFactor;
    auto windMarked = [&](double v) { return v < wf * PL::windMin || v > wf * PL::windMax; };
    const bool noWind = isNoWind(last.wind);
    if (noWind) {
        s.windSpeed = -1; // not spoken
        d.windMarked = false;
        d.wind = QStringLiteral("Wind (%1) = --").arg(u.windLabel);
    } else {
        s.windSpeed = wf * (last.wind * 3.6);
        d.windMarked = windMarked(s.windSpeed);
        d.wind = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, fixed(s.windSpeed, 0));
    }
    s.windGust = (noWind || d.windMarked) ? 0 : s.windSpeed;
    for (int i = 1; i <= 9 && b - i >= 1; ++i) {
        Ws23Record earlier;
        if (!at(b - i, &earlier))
            return false;
        if (isNoWind(earlier.wind))
            continue;
        const double v = wf * (earlier.wind * 3.6);
        if (!windMarked(v) && v > s.windGust)
            s.windGust = v;
    }
    d.gust = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, fixed(s.windGust, 0));

    s.windDirection = static_cast<int>(roundHalfEven((last.direction & 31) * 22.5));
    d.direction = QStringLiteral("Direction (\u00b0) = %1").arg(s.windDirection);

    s.indoorHumidity = last.indoorHumidity;
    d.indoorHumidityMarked = last.indoorHumidity < 0 || last.indoorHumidity > 100;
    d.indoorHumidity = QStringLiteral("Indoor humidity (%) = %1").arg(last.indoorHumidity);
    s.outdoorHumidity = last.outdoorHumidity;
    d.humidityMarked = last.outdoorHumidity < 0 || last.outdoorHumidity > 100;
    d.humidity = QStringLiteral("Humidity (%) = %1").arg(last.outdoorHumidity);

    const double rf = u.rainFactor;
    s.rain24h = -1;
    if (interval > 0) {
        const qint64 k = static_cast<qint64>(std::trunc(static_cast<double>(b) - 1.0 / interval));
        if (k >= 1) {
            Ws23Record dayAgo;
            if (!at(k, &dayAgo))
                return false;
            const double rain = rf * last.rain - rf * dayAgo.rain;
            if (rain >= 0)
                s.rain24h = rain;
        }
    }
    d.rain = s.rain24h < 0 ? QStringLiteral("Rain/24h (%1) = --").arg(u.rainLabel)
                           : QStringLiteral("Rain/24h (%1) = %2").arg(u.rainLabel, fixed(s.rain24h, rf == 1 ? 1 : 2));

    if (noWind || s.windSpeed < 5 * wf || d.windMarked || d.outdoorTempMarked) {
        s.windChill = -200;
        d.windChill = QStringLiteral("Wind chill (\u00b0%1) = --").arg(tl);
    } else {
        const double t = s.outdoorTemp;
        const double v16 = std::pow(s.windSpeed, 0.16);
        s.windChill = u.temperatureFactor == 1 ? 13.12 + 0.6215 * t + (0.3965 * t - 11.37) * v16
                                               : 35.74 + 0.6215 * t + (0.4275 * t - 35.75) * v16;
        d.windChill = QStringLiteral("Wind chill (\u00b0%1) = %2").arg(tl, fixed(s.windChill, 1));
    }

    // A negative humidity has no dew point: shown as not available.
    if (d.outdoorTempMarked || s.outdoorHumidity < 0) {
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = --").arg(tl);
    } else {
        const double h = s.outdoorHumidity / 100.0;
        const double tc = u.temperatureFactor == 1 ? s.outdoorTemp : (s.outdoorTemp - 32) / 1.8;
        const double td = std::pow(h, 0.125) * (0.9 * tc + 112) + 0.1 * tc - 112;
        s.dewPoint = u.temperatureFactor == 1 ? td : td * 1.8 + 32;
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = %2").arg(tl, fixed(s.dewPoint, 1));
    }
    return true;
}

} // namespace auravox
