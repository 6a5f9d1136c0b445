#include "internet/AprsDecoder.h"

#include "common/DateTime.h"
#include "common/OutsideFile.h"
#include "common/Rounding.h"
#include "common/TextFile.h"
#include "weather/StationReading.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace auravox {

namespace {

using station::fixed;

constexpr int kUnknown = AprsFields::kUnknown;

// A whole number made of an optional sign and 1 to 5 ASCII digits, nothing
// else (a blank or a "." means a missing value); kUnknown otherwise. Fields
// are at most 5 characters wide, so this can't overflow.
int wholeNumber(QStringView s)
{
    if (s.isEmpty() || s.size() > 6)
        return kUnknown;
    qsizetype i = 0;
    bool negative = false;
    if (s[0] == QLatin1Char('-') || s[0] == QLatin1Char('+')) {
        negative = s[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == s.size())
        return kUnknown;
    int value = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9')
            return kUnknown;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

// Digits only (date and time parts); -1 otherwise.
int digits(QStringView s)
{
    if (s.isEmpty() || s.size() > 4)
        return -1;
    int value = 0;
    for (const QChar ch : s) {
        const char16_t c = ch.unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

struct FieldRule
{
    char letter;
    int width;
    int AprsFields::*field;
};

constexpr FieldRule kFields[] = {
    {'c', 3, &AprsFields::direction}, {'s', 3, &AprsFields::speed},    {'g', 3, &AprsFields::gust},
    {'t', 3, &AprsFields::temperature}, {'r', 3, &AprsFields::rainHour}, {'p', 3, &AprsFields::rain24h},
    {'P', 3, &AprsFields::rainMidnight}, {'h', 2, &AprsFields::humidity}, {'b', 5, &AprsFields::pressure},
};

bool isFieldLetter(QChar c)
{
    for (const FieldRule &r : kFields)
        if (c == QLatin1Char(r.letter))
            return true;
    return false;
}

// Days since 1899-12-30 of a wall-clock date and time, whatever the system's
// time zone (no daylight-saving gap moves it).
double daysOf(const QDate &date, int hour, int minute)
{
    return static_cast<double>(QDate(1899, 12, 30).daysTo(date)) + (hour * 60 + minute) / 1440.0;
}

std::optional<double> stampDays(int year, int month, int day, int hour, int minute)
{
    const QDate date(year, month, day);
    if (!date.isValid() || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    return daysOf(date, hour, minute);
}

// "Dec 07 2026 10:30" (UI-View WXNOW.TXT).
std::optional<double> monthNameStamp(const QString &line)
{
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (QStringView(line).left(3) == QLatin1String(kMonths[i]))
            month = i + 1;
    if (month == 0)
        return std::nullopt;
    const QStringView v(line);
    return stampDays(digits(v.mid(7, 4)), month, digits(v.mid(4, 2)), digits(v.mid(12, 2)), digits(v.mid(15, 2)));
}

double rawWindToKmh(const AprsSettings &settings, int raw)
{
    switch (settings.rawWind) {
    case AprsWindUnit::Mph:
        return raw * 1.609344;
    case AprsWindUnit::Knot:
        return raw * 1.852;
    case AprsWindUnit::Kmh:
        break;
    }
    return raw;
}

bool noValue(const SourceCaption &c)
{
    return c.text.contains(QLatin1String("--"));
}

// Cycle start: what every cycle does before it looks at the report.
AprsReading startCycle(const AprsSettings &settings, WeatherSnapshot &s)
{
    AprsReading r;
    r.pressureAdjustUnit = settings.units.pressureFactor == 1 ? QStringLiteral("mBars") : QStringLiteral("0.01*inHg");
    s.pressureOffset = settings.pressureOffset;
    return r;
}

// Values and captions of the decoded fields.
void applyValues(const AprsSettings &settings, const AprsFields &f, WeatherSnapshot &s, SourceDisplay &d)
{
    const UnitSettings &u = settings.units;
    const QString &tl = u.temperatureLabel;
    const double wf = u.windFactor;

    if (f.gust >= 0) {
        s.windGust = rawWindToKmh(settings, f.gust) * wf;
        d.gust.text = QStringLiteral("Gust (%1) = %2").arg(u.windLabel, fixed(s.windGust, 0));
    } else {
        s.windGust = 0;
        d.gust.text = QStringLiteral("Gust (%1) = --").arg(u.windLabel);
    }

    const bool hasTemperature = f.temperature != kUnknown;
    if (hasTemperature) {
        const double celsius = settings.rawTemperature == AprsTemperatureUnit::Fahrenheit
                                   ? (f.temperature - 32) * 5.0 / 9.0
                                   : static_cast<double>(f.temperature);
        s.outdoorTemp = u.temperature(celsius);
        d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, fixed(s.outdoorTemp, 1));
    } else {
        s.outdoorTemp = -200;
        d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = --").arg(tl);
    }

    if (f.rain24h >= 0) {
        const double mm = settings.rawRain == AprsRainUnit::HundredthsOfInch ? f.rain24h * 25.4 / 100 : f.rain24h;
        s.rain24h = mm * u.rainFactor;
    } else {
        s.rain24h = -1;
    }
    d.rain.text = station::rainCaption(u, s.rain24h);

    const bool hasHumidity = f.humidity >= 0;
    if (hasHumidity) {
        s.outdoorHumidity = f.humidity == 0 ? 100 : f.humidity;
        d.humidity.text = QStringLiteral("Humidity (%) = %1").arg(static_cast<int>(s.outdoorHumidity));
    } else {
        s.outdoorHumidity = -1; // 255 as the 8-bit value
        d.humidity.text = QStringLiteral("Humidity (%) = --");
    }

    const double pf = u.pressureFactor;
    if (f.pressure >= 0) {
        s.pressure = settings.pressureOffset * u.pressureOffsetFactor + f.pressure / 10.0 * pf;
        d.pressure.text = QStringLiteral("Atm. P (%1) = %2").arg(u.pressureLabel, fixed(s.pressure, pf == 1 ? 1 : 2));
    } else {
        s.pressure = 900 * pf;
        d.pressure.text = QStringLiteral("Atm. P (%1) = --").arg(u.pressureLabel);
    }

    s.windSpeed = -1;
    d.wind.text = QStringLiteral("Wind (%1) = --").arg(u.windLabel);
    s.windDirection = -1;
    d.direction.text = QStringLiteral("Direction (\u00b0) = --");
    if (f.speed >= 0) {
        s.windSpeed = rawWindToKmh(settings, f.speed) * wf;
        d.wind.text = QStringLiteral("Wind (%1) = %2").arg(u.windLabel, fixed(s.windSpeed, 0));
    }
    if (f.direction >= 0 && f.direction <= 360) {
        s.windDirection = f.direction;
        d.direction.text = QStringLiteral("Direction (\u00b0) = %1").arg(f.direction);
    }

    // The formulas are the station readers'; only the calm test differs
    // (no plausibility flags here).
    SourceDisplay chill;
    station::applyWindChill(u, s.windSpeed < 5 * wf || !hasTemperature, s, chill);
    d.windChill.text = chill.windChill.text;

    if (hasHumidity && hasTemperature) {
        const double tc = u.temperatureFactor == 1 ? s.outdoorTemp : (s.outdoorTemp - 32) / 1.8;
        const double td = std::pow(s.outdoorHumidity / 100.0, 0.125) * (0.9 * tc + 112) + 0.1 * tc - 112;
        s.dewPoint = u.temperatureFactor == 1 ? td : td * 1.8 + 32;
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = %2").arg(tl, fixed(s.dewPoint, 1));
    } else {
        d.dewPoint = QStringLiteral("T. ros\u00e9e (%1) = --").arg(tl);
    }
}

void applyTimeStamp(const AprsSettings &settings, const QStringList &lines, WeatherSnapshot &s, AprsReading &r)
{
    if (lines.size() >= 2) {
        const QString &stamp = lines.at(lines.size() - 2);
        if (stamp.size() != 17 || stamp.indexOf(QLatin1Char(':')) != 14)
            return;
        r.date = stamp;
        if (const std::optional<double> days = monthNameStamp(stamp)) {
            s.readingTime = *days;
            if (settings.timeBase == AprsTimeBase::Universal)
                s.readingTime -= settings.timeZoneBiasMinutes / 1440.0;
        }
        return;
    }

    // The extracted web line: "2026-12-07 10:30:00 ..." in local time.
    const QString &line = lines.constFirst();
    r.date = QString();
    r.switchToLocalTime = true;
    QString date, time;
    const qsizetype dash = line.indexOf(QLatin1Char('-'));
    if (dash >= 4 && dash + 3 < line.size() && line.at(dash + 3) == QLatin1Char('-')) {
        date = line.mid(dash - 4, 10);
        r.date = date;
    }
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon >= 13 && colon + 3 < line.size() && line.at(colon + 3) == QLatin1Char(':')) {
        time = line.mid(colon - 2, 8);
        r.date = time + QLatin1Char(' ') + date;
    }
    if (date.isEmpty() || time.isEmpty())
        return;
    const QStringView dv(date), tv(time);
    if (const std::optional<double> days =
            stampDays(digits(dv.mid(0, 4)), digits(dv.mid(5, 2)), digits(dv.mid(8, 2)), digits(tv.mid(0, 2)),
                      digits(tv.mid(3, 2))))
        s.readingTime = *days;
}

void colour(const AprsSettings &settings, const WeatherSnapshot &s, SourceDisplay &d)
{
    const UnitSettings &u = settings.units;
    const PlausibilityLimits &l = settings.limits;
    if (!noValue(d.outdoorTemp))
        d.outdoorTemp.red = station::temperatureOutside(u, s.outdoorTemp, l.outdoorTempMin, l.outdoorTempMax);
    if (!noValue(d.windChill))
        d.windChill.red = station::temperatureOutside(u, s.windChill, l.outdoorTempMin, l.outdoorTempMax);
    if (!noValue(d.pressure))
        d.pressure.red = station::pressureOutside(u, s.pressure);
    if (!noValue(d.wind))
        d.wind.red = station::windOutside(u, s.windSpeed);
    if (!noValue(d.gust))
        d.gust.red = !(s.windGust >= 0 && s.windGust <= l.gustMax * u.windFactor);
}

QString summaryLine(const AprsSettings &settings, const WeatherSnapshot &s, const SourceDisplay &d)
{
    const UnitSettings &u = settings.units;
    auto rounded = [](double v) { return QString::number(roundHalfEven(v)); };
    QString line;
    if (!noValue(d.outdoorTemp))
        line += QStringLiteral(" TEMP ") + rounded(s.outdoorTemp) + u.temperatureLabel;
    if (!noValue(d.pressure))
        line += QStringLiteral(" = QNH ") + rounded(s.pressure) + u.pressureLabel;
    if (!noValue(d.wind) && s.windSpeed >= 0)
        line += QStringLiteral(" = WS ") + rounded(s.windSpeed) + u.windLabel;
    if (!noValue(d.windChill))
        line += QStringLiteral(" = WCT ") + rounded(s.windChill) + u.temperatureLabel;
    if (!noValue(d.humidity))
        line += QStringLiteral(" = HUM ") + QString::number(static_cast<int>(s.outdoorHumidity));
    return line + QLatin1Char(' ');
}

} // namespace

// ---- Web page ---------------------------------------------------------------

QString removeAprsPageMarkup(const QString &line)
{
    // The text kept so far never holds "<" or ">", so the first ">" of the
    // remaining line is always the first one after `from`: one pass gives
    // what deleting tag by tag from the start would.
    QString kept;
    qsizetype from = 0;
    qsizetype close = line.indexOf(QLatin1Char('>'));
    for (;;) {
        const qsizetype open = line.indexOf(QLatin1Char('<'), from);
        if (open < 0)
            return kept.append(QStringView(line).mid(from));
        if (close >= 0 && close < from)
            close = line.indexOf(QLatin1Char('>'), from);
        if (close > open) {
            kept += QStringView(line).mid(from, open - from);
            from = close + 1;
        } else {
            kept.clear(); // a ">" before the "<", or none at all
            from = open + 1;
        }
    }
}

AprsRawLine findAprsRawLine(const QStringList &pageLines)
{
    AprsRawLine r;
    if (pageLines.isEmpty()) {
        r.error = AprsError::CacheEmpty;
        return r;
    }
    const QString *last = nullptr;
    for (const QString &line : pageLines)
        if (line.contains(QLatin1String("raw_line")))
            last = &line;
    if (!last) {
        r.error = AprsError::NoRawLine;
        return r;
    }
    r.line = removeAprsPageMarkup(*last);
    if (!r.line.contains(QLatin1Char('_'))) {
        r.error = AprsError::NoWeather;
        r.line.clear();
    }
    return r;
}

int extractAprsRawLine(const QString &cachePath)
{
    QStringList lines;
    if (!TextFile::readLines(cachePath, &lines))
        return AprsError::CacheMissing;
    const AprsRawLine raw = findAprsRawLine(lines);
    if (raw.error != AprsError::None)
        return raw.error;
    if (!TextFile::writeLinesAtomically(cachePath, cachePath + QStringLiteral(".~tx"), {raw.line}))
        return AprsError::CacheWrite;
    return AprsError::None;
}

int checkAprsDownload(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return AprsError::Open;
    const QByteArray head = f.read(3);
    f.close();
    if (head.size() < 3)
        return AprsError::Download;
    if (head.contains('<'))
        return extractAprsRawLine(path);
    return AprsError::None;
}

// ---- Weather report ---------------------------------------------------------

QString aprsWeatherPart(const QString &line)
{
    const qsizetype underscore = line.indexOf(QLatin1Char('_'));
    const QString part = underscore >= 0 ? line.mid(underscore + 1) : line;
    // A run of dots right after a field letter, after the "/" of the wind
    // group or at the very start stands for a missing value ("g...",
    // ".../..."); any other "." (a decimal number, a sentence) starts the
    // comment that follows the weather data.
    for (qsizetype i = 0; i < part.size(); ++i) {
        if (part.at(i) != QLatin1Char('.'))
            continue;
        const bool missingMark =
            i == 0 || isFieldLetter(part.at(i - 1)) || part.at(i - 1) == QLatin1Char('/');
        if (!missingMark)
            return part.left(i);
        while (i + 1 < part.size() && part.at(i + 1) == QLatin1Char('.'))
            ++i;
    }
    return part;
}

AprsFields parseAprsWeather(const QString &weatherPart)
{
    const QStringView w(weatherPart);
    AprsFields f;
    for (const FieldRule &rule : kFields) {
        const qsizetype at = w.indexOf(QLatin1Char(rule.letter));
        if (at >= 0)
            f.*rule.field = wholeNumber(w.mid(at + 1, rule.width));
    }
    if (f.direction == kUnknown && f.speed == kUnknown) {
        // Positioned reports: "220/004g005...".
        const qsizetype slash = w.indexOf(QLatin1Char('/'));
        if (slash >= 3) {
            const int direction = wholeNumber(w.mid(slash - 3, 3));
            const int speed = wholeNumber(w.mid(slash + 1, 3));
            if (direction != kUnknown && speed != kUnknown) {
                f.direction = direction;
                f.speed = speed;
            }
        }
    }
    return f;
}

AprsReading decodeAprs(const QString &reportText, const AprsSettings &settings, WeatherSnapshot &snapshot)
{
    AprsReading r = startCycle(settings, snapshot);
    QStringList lines = TextFile::splitLines(reportText);
    lines.removeAll(QString());
    if (lines.isEmpty())
        return r; // NoLine
    r.outcome = AprsOutcome::Decoded;
    r.fields = parseAprsWeather(aprsWeatherPart(lines.constLast()));

    if (std::isfinite(settings.fileTime) && settings.fileTime > snapshot.readingTime)
        snapshot.readingTime = settings.fileTime;

    applyValues(settings, r.fields, snapshot, r.display);
    applyTimeStamp(settings, lines, snapshot, r);
    colour(settings, snapshot, r.display);
    r.summary = summaryLine(settings, snapshot, r.display);
    return r;
}

AprsReading decodeMissingAprs(const AprsSettings &settings, WeatherSnapshot &snapshot)
{
    AprsReading r = startCycle(settings, snapshot);
    r.outcome = AprsOutcome::MissingReport;
    r.summary = QStringLiteral(" ");
    return r;
}

AprsReading decodeAprsFile(const QString &path, const AprsSettings &settings, WeatherSnapshot &snapshot)
{
    const OutsideFile::Contents file = OutsideFile::readWhole(path);
    if (file.status != OutsideFile::Status::Ok)
        return decodeMissingAprs(settings, snapshot);
    AprsSettings withTime = settings;
    const QDateTime written = file.modified; // local time
    withTime.fileTime = written.isValid() ? DateTimeUtil::toDays(written) : 0;
    return decodeAprs(TextFile::decodeCp1252(file.data), withTime, snapshot);
}

QByteArray aprsSummaryFile(const QString &line)
{
    return TextFile::joinLines({line});
}

} // namespace auravox
