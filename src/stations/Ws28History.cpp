#include "stations/Ws28History.h"

#include "common/DateTime.h"
#include "common/Rounding.h"
#include "stations/HistoryFile.h"
#include "stations/Ws23History.h" // isNoWind: both families' software writes 51.0

#include <QtEndian>

#include <cmath>
#include <limits>

namespace auravox {

namespace {

constexpr double kSecondsPerDay = 86400;
// 9999-12-31 in days since 1899-12-30.
constexpr double kLastDay = 2958465;

} // namespace

using station::f32;
using station::finiteOr;
using station::fixed;
using station::kNotAvailable;
using station::shown;

bool Ws28Record::isValidTime(double days)
{
    return days >= 0 && days <= kLastDay + 1; // false for NaN
}

double Ws28Record::toSeconds(double days)
{
    return std::round(days * kSecondsPerDay);
}

QDateTime Ws28Record::toDateTime(double days)
{
    return DateTimeUtil::fromDays(toSeconds(days) / kSecondsPerDay);
}

Ws28Record Ws28Record::decode(const QByteArray &b)
{
    Ws28Record r;
    if (b.size() < kSize)
        return r;
    const char *p = b.constData();
    r.time = qFromLittleEndian<double>(p);
    r.absolutePressure = f32(p + 8);
    r.relativePressure = f32(p + 12);
    r.wind = f32(p + 16);
    r.direction = qFromLittleEndian<qint32>(p + 20);
    r.gust = f32(p + 24);
    r.rain = f32(p + 32);
    r.indoorTemp = f32(p + 36);
    r.outdoorTemp = f32(p + 40);
    r.indoorHumidity = f32(p + 44);
    r.outdoorHumidity = f32(p + 48);
    return r;
}

bool readWs28History(const QString &path, const Ws28Settings &settings, WeatherSnapshot &s, SourceDisplay &d)
{
    using PL = PlausibilityLimits;
    const UnitSettings &u = settings.units;
    const QString tl = u.temperatureLabel;
    const double nan = std::numeric_limits<double>::quiet_NaN();

    HistoryFile file(Ws28Record::kSize);
    if (!file.open(path))
        return false;
    const qint64 count = file.count();
    if (count < 1)
        return false;
    const qint64 b = count - 1;
    // Record times in whole seconds; NaN for a time that is no date.
    auto seconds = [&](const Ws28Record &r) { return Ws28Record::isValidTime(r.time) ? Ws28Record::toSeconds(r.time) : nan; };
    Ws28Record last;
    if (!file.decoded(b, &last))
        return false;

    const double lastSeconds = seconds(last);
    d.lastRecordTime = std::isnan(lastSeconds) ? 0 : lastSeconds / kSecondsPerDay;
    if (d.lastRecordTime > s.readingTime)
        s.readingTime = d.lastRecordTime;
    double intervalSeconds = 0;
    if (b > 1) {
        Ws28Record before;
        if (!file.decoded(b - 1, &before))
            return false;
        intervalSeconds = finiteOr(lastSeconds - seconds(before), 0);
    }

    s.indoorTemp = finiteOr(u.temperature(last.indoorTemp), kNotAvailable);
    d.indoorTemp.red = station::temperatureOutside(u, s.indoorTemp, PL::indoorTempMin, PL::indoorTempMax);
    d.indoorTemp.text = QStringLiteral("Indoor T (\u00b0%1) = %2").arg(tl, shown(s.indoorTemp, kNotAvailable, 1));
    s.outdoorTemp = finiteOr(u.temperature(last.outdoorTemp), kNotAvailable);
    d.outdoorTemp.red = station::temperatureOutside(u, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax);
    d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, shown(s.outdoorTemp, kNotAvailable, 1));

    const double pf = u.pressureFactor;
    const double offset = u.pressureOffsetFactor * settings.pressureOffset;
    auto pressureOf = [&](const Ws28Record &r) {
        return settings.absolutePressure ? r.absolutePressure : r.relativePressure;
    };
    s.pressureOffset = settings.pressureOffset;
    s.pressure = finiteOr(pf * pressureOf(last) + offset, kNotAvailable);
    d.pressure.red = station::pressureOutside(u, s.pressure);
    d.pressure.text = QStringLiteral("Atm. P (%1) = %2").arg(u.pressureLabel, shown(s.pressure, kNotAvailable, pf != 1 ? 2 : 1));

    if (!d.pressure.red) {
        s.pressureTrend = 0;
        if (intervalSeconds > 0) {
            // The record about one hour earlier, never record 0.
            const double back = static_cast<double>(b) - 3600 / intervalSeconds;
            const qint64 j = back >= 1 ? static_cast<qint64>(std::trunc(back)) : 1;
            Ws28Record hourAgo;
            if (!file.decoded(j, &hourAgo))
                return false;
            const double change = s.pressure - (pf * pressureOf(hourAgo) + offset);
            s.pressureTrend = station::trendOf(u, change, settings.limits.trendThreshold);
        }
        d.trend.text = station::trendCaption(s.pressureTrend);
    }

    const double wf = u.windFactor;
    const bool noWind = isNoWind(last.wind);
    if (noWind) {
        s.windSpeed = -1; // not spoken
        d.wind.red = false;
    } else {
        s.windSpeed = finiteOr(wf * (last.wind * 3.6), -1);
        d.wind.red = station::windOutside(u, s.windSpeed) || !std::isfinite(last.wind);
    }
    d.wind.text = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, shown(s.windSpeed, -1, 0));

    // The station keeps its own gust; its caption goes red with the wind's.
    if (isNoWind(last.gust)) {
        s.windGust = -1;
        d.gust.red = false;
    } else {
        s.windGust = finiteOr(wf * (last.gust * 3.6), -1);
        d.gust.red = d.wind.red;
    }
    d.gust.text = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, shown(s.windGust, -1, 0));

    // Sectors 0-15 are the compass points; the five bits can hold more.
    const int sector = last.direction & 31;
    s.windDirection = sector < 16 ? static_cast<int>(roundHalfEven(sector * 22.5)) : -1;
    d.direction.text = QStringLiteral("Direction (\u00b0) = %1")
                      .arg(s.windDirection >= 0 ? QString::number(s.windDirection) : QStringLiteral("--"));

    auto humidityMarked = [](float h) { return !(h >= 0) || h > 100; };
    s.indoorHumidity = finiteOr(last.indoorHumidity, -1);
    d.indoorHumidity.red = humidityMarked(last.indoorHumidity);
    d.indoorHumidity.text = QStringLiteral("Indoor humidity (%) = %1")
                           .arg(std::isfinite(last.indoorHumidity) ? fixed(last.indoorHumidity, 0) : QStringLiteral("--"));
    s.outdoorHumidity = finiteOr(last.outdoorHumidity, -1);
    d.humidity.red = humidityMarked(last.outdoorHumidity);
    d.humidity.text = QStringLiteral("Humidity (%) = %1")
                     .arg(std::isfinite(last.outdoorHumidity) ? fixed(last.outdoorHumidity, 0) : QStringLiteral("--"));

    // Rain: each record holds what fell in its own interval, so the last day's
    // rain is the sum back to the first record a day or more older. Without a
    // time on the last record there is no last day.
    s.rain24h = -1;
    if (!std::isnan(lastSeconds)) {
        double sum = last.rain;
        for (qint64 i = b - 1; i >= 1; --i) {
            Ws28Record earlier;
            if (!file.decoded(i, &earlier))
                return false;
            if (lastSeconds - seconds(earlier) >= kSecondsPerDay)
                break;
            sum += earlier.rain;
        }
        const double rain = u.rainFactor * sum;
        if (std::isfinite(rain) && rain >= 0)
            s.rain24h = rain;
    }
    d.rain.text = station::rainCaption(u, s.rain24h);

    station::applyWindChill(u, s.windSpeed < 5 * wf || d.wind.red || d.outdoorTemp.red, s, d);
    station::applyDewPoint(u, s, d);
    return true;
}

} // namespace auravox
