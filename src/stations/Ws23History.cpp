#include "stations/Ws23History.h"

#include "common/DateTime.h"
#include "common/Rounding.h"
#include "stations/HistoryFile.h"

#include <QtEndian>

#include <cmath>

namespace auravox {

using station::f32;
using station::finiteOr;
using station::fixed;
using station::kNotAvailable;
using station::shown;

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
    Ws23Record last;
    if (!file.decoded(b, &last))
        return false;

    d.lastRecordTime = last.time;
    if (last.time > s.readingTime)
        s.readingTime = last.time;
    double interval = 0;
    if (b > 1) {
        Ws23Record before;
        if (!file.decoded(b - 1, &before))
            return false;
        interval = last.time - before.time;
    }

    s.indoorTemp = finiteOr(u.temperature(last.indoorTemp), kNotAvailable);
    d.indoorTemp.red = station::temperatureOutside(u, s.indoorTemp, PL::indoorTempMin, PL::indoorTempMax);
    d.indoorTemp.text = QStringLiteral("Indoor T (\u00b0%1) = %2").arg(tl, shown(s.indoorTemp, kNotAvailable, 1));
    s.outdoorTemp = finiteOr(u.temperature(last.outdoorTemp), kNotAvailable);
    d.outdoorTemp.red = station::temperatureOutside(u, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax);
    d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, shown(s.outdoorTemp, kNotAvailable, 1));

    const double pf = u.pressureFactor;
    const double offset = u.pressureOffsetFactor * settings.pressureOffset;
    s.pressureOffset = settings.pressureOffset;
    s.pressure = finiteOr(pf * last.pressure + offset, kNotAvailable);
    d.pressure.red = station::pressureOutside(u, s.pressure);
    d.pressure.text = QStringLiteral("Atm. P (%1) = %2").arg(u.pressureLabel, shown(s.pressure, kNotAvailable, pf != 1 ? 2 : 1));

    if (!d.pressure.red) {
        s.pressureTrend = 0;
        if (interval > 0) {
            qint64 j = static_cast<qint64>(std::trunc(static_cast<double>(b) - (1.0 / 24) / interval));
            if (j < 1)
                j = 1;
            Ws23Record hourAgo;
            if (!file.decoded(j, &hourAgo))
                return false;
            const double change = s.pressure - (pf * hourAgo.pressure + offset);
            s.pressureTrend = station::trendOf(u, change, settings.limits.trendThreshold);
        }
        d.trend.text = station::trendCaption(s.pressureTrend);
    }

    const double wf = u.windFactor;
    auto windMarked = [&](double v) { return station::windOutside(u, v); };
    const bool noWind = isNoWind(last.wind);
    if (noWind) {
        s.windSpeed = -1; // not spoken
        d.wind.red = false;
        d.wind.text = QStringLiteral("Wind (%1) = --").arg(u.windLabel);
    } else {
        s.windSpeed = finiteOr(wf * (last.wind * 3.6), -1);
        d.wind.red = windMarked(s.windSpeed);
        d.wind.text = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, shown(s.windSpeed, -1, 0));
    }
    s.windGust = (noWind || d.wind.red) ? 0 : s.windSpeed;
    for (int i = 1; i <= 9 && b - i >= 1; ++i) {
        Ws23Record earlier;
        if (!file.decoded(b - i, &earlier))
            return false;
        if (isNoWind(earlier.wind))
            continue;
        const double v = wf * (earlier.wind * 3.6);
        if (!windMarked(v) && v > s.windGust)
            s.windGust = v;
    }
    d.gust.text = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, fixed(s.windGust, 0));

    // Sectors 0-15 are the compass points; the five bits can hold more.
    const int sector = last.direction & 31;
    s.windDirection = sector < 16 ? static_cast<int>(roundHalfEven(sector * 22.5)) : -1;
    d.direction.text = QStringLiteral("Direction (\u00b0) = %1")
                      .arg(s.windDirection >= 0 ? QString::number(s.windDirection) : QStringLiteral("--"));

    s.indoorHumidity = last.indoorHumidity;
    d.indoorHumidity.red = last.indoorHumidity < 0 || last.indoorHumidity > 100;
    d.indoorHumidity.text = QStringLiteral("Indoor humidity (%) = %1").arg(last.indoorHumidity);
    s.outdoorHumidity = last.outdoorHumidity;
    d.humidity.red = last.outdoorHumidity < 0 || last.outdoorHumidity > 100;
    d.humidity.text = QStringLiteral("Humidity (%) = %1").arg(last.outdoorHumidity);

    const double rf = u.rainFactor;
    s.rain24h = -1;
    if (interval > 0) {
        const qint64 k = static_cast<qint64>(std::trunc(static_cast<double>(b) - 1.0 / interval));
        if (k >= 1) {
            Ws23Record dayAgo;
            if (!file.decoded(k, &dayAgo))
                return false;
            const double rain = rf * last.rain - rf * dayAgo.rain;
            if (std::isfinite(rain) && rain >= 0)
                s.rain24h = rain;
        }
    }
    d.rain.text = station::rainCaption(u, s.rain24h);

    station::applyWindChill(u, noWind || s.windSpeed < 5 * wf || d.wind.red || d.outdoorTemp.red, s, d);
    station::applyDewPoint(u, s, d);
    return true;
}

} // namespace auravox
