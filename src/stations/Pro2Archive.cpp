#include "stations/Pro2Archive.h"

#include "common/DateTime.h"
#include "common/OutsideFile.h"
#include "common/Rounding.h"
#include "stations/HistoryFile.h"

#include <QFileInfo>
#include <QLocale>
#include <QtEndian>

namespace auravox {

using station::fixed;

namespace {

constexpr double kHpaPerInHg = 33.8582;
constexpr double kKmhPerMph = 1.609344;

// A whole number of ASCII digits (no sign, no blanks).
bool digitsOnly(const QString &text, int *value)
{
    if (text.isEmpty() || text.size() > 6)
        return false;
    int v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
    }
    *value = v;
    return true;
}

// Year = the first 4 characters of the name, month = the characters between
// the first "-" and the first ".".
bool yearAndMonth(const QString &fileName, int *year, int *month)
{
    const qsizetype dash = fileName.indexOf(QLatin1Char('-'));
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    if (dash < 0 || dot <= dash)
        return false;
    return digitsOnly(fileName.left(4), year) && digitsOnly(fileName.mid(dash + 1, dot - dash - 1), month);
}

// The day the data reaches: the last day of the month whose index entry has
// records (0 when no day has any). A day without records in the middle of the
// month (the station was off) does not end the search: the readings after it
// belong to the later days.
int dataDay(const QByteArray &header)
{
    auto records = [&](int day) { return qFromLittleEndian<quint16>(header.constData() + 20 + 6 * day); };
    int day = 31;
    while (day > 0 && records(day) == 0)
        --day;
    return day;
}

// Tenths of F to the display unit; false for the "no value" mark.
bool temperature(const UnitSettings &u, qint16 raw, double *value)
{
    if (raw == Pro2Record::kNoTemperature) {
        *value = station::kNotAvailable;
        return false;
    }
    *value = u.temperature((raw * 5.0 - 1600) / 90);
    return true;
}

double inHgThousandthsToHpa(double raw)
{
    return (raw / 1000) * kHpaPerInHg;
}

double mphTenthsToKmh(double raw)
{
    return (raw / 10) * kKmhPerMph;
}

} // namespace

Pro2Record Pro2Record::decode(const char *p)
{
    Pro2Record r;
    r.type = static_cast<quint8>(p[0]);
    r.interval = static_cast<quint8>(p[1]);
    r.minutes = qFromLittleEndian<quint16>(p + 4);
    r.outdoorTemp = qFromLittleEndian<qint16>(p + 6);
    r.indoorTemp = qFromLittleEndian<qint16>(p + 12);
    r.barometer = qFromLittleEndian<quint16>(p + 14);
    r.outdoorHumidity = qFromLittleEndian<quint16>(p + 16);
    r.indoorHumidity = qFromLittleEndian<quint16>(p + 18);
    r.rainClicks = static_cast<quint8>(p[20]);
    r.rainCollector = static_cast<quint8>(p[21]);
    r.wind = qFromLittleEndian<quint16>(p + 24);
    r.windHigh = qFromLittleEndian<quint16>(p + 26);
    r.direction = static_cast<quint8>(p[28]);
    return r;
}

double Pro2Record::rainPerClickMm(int collector)
{
    switch (collector) {
    case 0: return 2.54;   // 0.1 in
    case 16: return 0.254; // 0.01 in
    case 32: return 0.2;
    case 48: return 1.0;
    case 96: return 0.1;
    default: return -1;
    }
}

QString pro2DateText(double days)
{
    const QDateTime t = DateTimeUtil::fromDays(days);
    return QLocale::system().toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ')
           + t.time().toString(QStringLiteral("hh:mm"));
}

namespace {
// Moves `path` on to the current month's archive beside it, when there is one.
void takeCurrentMonth(QString &path, const QDate &today, int *year, int *month)
{
    if (!today.isValid() || (today.year() == *year && today.month() == *month))
        return;
    const QString current = QStringLiteral("%1-%2.wlk").arg(today.year()).arg(today.month(), 2, 10, QLatin1Char('0'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString candidate = slash < 0 ? current : path.left(slash + 1) + current;
    if (OutsideFile::probe(candidate) == OutsideFile::Status::Ok) {
        path = candidate;
        *year = today.year();
        *month = today.month();
    }
}
} // namespace

Pro2Outcome readPro2Archive(QString &path, const Pro2Settings &settings, WeatherSnapshot &s, SourceDisplay &d)
{
    using PL = PlausibilityLimits;
    const UnitSettings &u = settings.units;
    const QString tl = u.temperatureLabel;

    if (path.isEmpty() || OutsideFile::probe(path) == OutsideFile::Status::Missing)
        return Pro2Outcome::Missing;
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || name.mid(dot) != QLatin1String(".wlk"))
        return Pro2Outcome::FileError;
    int year = 0, month = 0;
    if (!yearAndMonth(name, &year, &month))
        return Pro2Outcome::FileError;

    if (settings.searchCurrentMonth)
        takeCurrentMonth(path, settings.today, &year, &month);

    // Only the records a reading uses are read: about one day of them.
    HistoryFile file(Pro2Record::kSize, Pro2Record::kHeaderSize);
    if (!file.open(path))
        return Pro2Outcome::FileError;
    const QByteArray header = file.header();
    if (header.isEmpty())
        return Pro2Outcome::FileError;
    const qint64 count = qFromLittleEndian<qint32>(header.constData() + 16);
    if (count < 0 || count > file.count())
        return Pro2Outcome::FileError;
    file.limitCount(count); // records the program is still appending are not read
    const int day = dataDay(header);

    // The current record: the last weather record.
    qint64 b = count - 1;
    Pro2Record last;
    for (; b >= 0; --b) {
        if (!file.decoded(b, &last))
            return Pro2Outcome::FileError;
        if (last.type == 1)
            break;
    }
    if (b < 0)
        return Pro2Outcome::FileError;

    // 24:mm is the next day's 00:mm; later hours don't exist.
    const int hours = last.minutes / 60;
    const int minutes = last.minutes % 60;
    const QDate date(year, month, day);
    if (!date.isValid() || hours > 24)
        return Pro2Outcome::FileError;
    const QDateTime time = hours == 24 ? QDateTime(date.addDays(1), QTime(0, minutes))
                                     : QDateTime(date, QTime(hours, minutes));
    s.readingTime = DateTimeUtil::toDays(time);
    d.lastRecordTime = s.readingTime;

    const bool outdoorKnown = temperature(u, last.outdoorTemp, &s.outdoorTemp);
    d.outdoorTemp.red =
        outdoorKnown && station::temperatureOutside(u, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax);
    d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, outdoorKnown ? fixed(s.outdoorTemp, 1) : QStringLiteral("--"));
    const bool indoorKnown = temperature(u, last.indoorTemp, &s.indoorTemp);
    d.indoorTemp.red =
        indoorKnown && station::temperatureOutside(u, s.indoorTemp, PL::indoorTempMin, PL::indoorTempMax);
    d.indoorTemp.text = QStringLiteral("Indoor T (\u00b0%1) = %2").arg(tl, indoorKnown ? fixed(s.indoorTemp, 1) : QStringLiteral("--"));

    const double pf = u.pressureFactor;
    s.pressureOffset = settings.pressureOffset;
    s.pressure = pf * inHgThousandthsToHpa(last.barometer) + u.pressureOffsetFactor * settings.pressureOffset;
    d.pressure.red = station::pressureOutside(u, s.pressure);
    d.pressure.text = QStringLiteral("Atm. P (%1) = %2").arg(u.pressureLabel, fixed(s.pressure, pf != 1 ? 2 : 1));

    // Trend against the weather record about an hour back; without one, the
    // trend is steady and its caption stays as it was.
    if (!d.pressure.red) {
        s.pressureTrend = 0;
        if (last.interval > 0) {
            qint64 j = b - 60 / last.interval;
            if (j > 0) {
                Pro2Record hourAgo;
                for (; j >= 0; --j) {
                    if (!file.decoded(j, &hourAgo))
                        return Pro2Outcome::FileError;
                    if (hourAgo.type == 1)
                        break;
                }
                if (j >= 0) {
                    const double change =
                        pf * (static_cast<double>(last.barometer) - hourAgo.barometer) / 1000 * kHpaPerInHg;
                    s.pressureTrend = station::trendOf(u, change, settings.limits.trendThreshold);
                    d.trend.text = station::trendCaption(s.pressureTrend);
                }
            }
        }
    }

    const double wf = u.windFactor;
    s.windSpeed = wf * mphTenthsToKmh(last.wind);
    d.wind.red = station::windOutside(u, s.windSpeed);
    d.wind.text = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, fixed(s.windSpeed, 0));
    s.windGust = wf * mphTenthsToKmh(last.windHigh);
    d.gust.red = false;
    d.gust.text = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, fixed(s.windGust, 0));

    const int degrees = static_cast<int>(roundHalfEven(last.direction * 22.5));
    s.windDirection = degrees > 359 ? -1 : degrees;
    d.direction.text = s.windDirection < 0 ? QStringLiteral("Direction (\u00b0) = --")
                                      : QStringLiteral("Direction (\u00b0) = %1").arg(s.windDirection);

    auto humidityOutside = [](double h) { return !(h >= 0) || h > 100; };
    s.indoorHumidity = last.indoorHumidity / 10.0;
    d.indoorHumidity.red = humidityOutside(s.indoorHumidity);
    d.indoorHumidity.text = QStringLiteral("Indoor humidity (%) = %1").arg(fixed(s.indoorHumidity, 0));
    s.outdoorHumidity = last.outdoorHumidity / 10.0;
    d.humidity.red = humidityOutside(s.outdoorHumidity);
    d.humidity.text = QStringLiteral("Humidity (%) = %1").arg(fixed(s.outdoorHumidity, 0));

    // Rain: the clicks of the current record and of the n - 2 weather records
    // before it (n records a day), all counted with the current collector.
    qint64 clicks = last.rainClicks;
    if (last.interval > 0) {
        const qint64 wanted = 1440 / last.interval - 2; // at most 0: every earlier record
        qint64 added = 0;
        Pro2Record earlier;
        for (qint64 k = b - 1; k >= 0 && (wanted <= 0 || added < wanted); --k) {
            if (!file.decoded(k, &earlier))
                return Pro2Outcome::FileError;
            if (earlier.type == 1) {
                clicks += earlier.rainClicks;
                ++added;
            }
        }
    }
    const double perClick = Pro2Record::rainPerClickMm(last.rainCollector);
    s.rain24h = perClick < 0 ? -1 : u.rainFactor * (static_cast<double>(clicks) * perClick);
    d.rain.text = station::rainCaption(u, s.rain24h);

    // The calm test takes the gust, the formula the mean wind.
    station::applyWindChill(u, s.windGust < 5 * wf || d.wind.red || d.outdoorTemp.red || !outdoorKnown, s, d);
    if (!outdoorKnown || d.humidity.red)
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = --").arg(tl);
    else
        station::applyDewPoint(u, s, d);
    return Pro2Outcome::Read;
}

} // namespace auravox
