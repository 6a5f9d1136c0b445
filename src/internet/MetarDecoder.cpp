#include "internet/MetarDecoder.h"

#include "common/DateTime.h"
#include "common/Rounding.h"
#include "common/TextFile.h"
#include "weather/StationReading.h"

#include <QStringView>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace auravox {

// ---------------------------------------------------------------------------
// The report line of a downloaded page
// ---------------------------------------------------------------------------

namespace {

const QString kLabelSeparator = QStringLiteral(" //");

// The markup of a page line taken away as the page reader always has: while
// a "<" is left, the text from it to the first ">" goes, or, when the first
// ">" lies before that "<" or there is none, everything up to and including
// the "<". Done in one pass, so a hostile page full of tags costs no more
// than its length.
QString withoutMarkup(const QString &s)
{
    QString out;
    bool outHasGt = false; // the kept text holds a ">"
    bool noGtLeft = false; // no ">" after the scan position
    qsizetype gt = -1;     // the first ">" after the last "<" looked at
    qsizetype i = 0;
    while (true) {
        const qsizetype lt = s.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            out += QStringView(s).mid(i);
            break;
        }
        const QStringView kept = QStringView(s).mid(i, lt - i);
        out += kept;
        outHasGt = outHasGt || kept.contains(QLatin1Char('>'));
        if (!noGtLeft && gt <= lt) {
            gt = s.indexOf(QLatin1Char('>'), lt + 1);
            noGtLeft = gt < 0;
        }
        i = lt + 1;
        if (outHasGt || noGtLeft) {
            out.clear();
            outHasGt = false;
            continue;
        }
        i = gt + 1; // the tag goes
    }
    return out;
}

QString withoutOuterSpaces(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && s.at(to - 1) == QLatin1Char(' '))
        --to;
    return s.mid(from, to - from);
}

QString codeAfter(const QString &entry, const QString &marker, const QString &key)
{
    if (marker.isEmpty() || !entry.contains(marker))
        return QString();
    const qsizetype at = entry.indexOf(key);
    return at < 0 ? QString() : entry.mid(at + key.size(), 4);
}

} // namespace

QString metarAddress(const QString &entryText)
{
    const qsizetype at = entryText.indexOf(kLabelSeparator);
    return at < 0 ? entryText : entryText.left(at);
}

QString metarLabel(const QString &entryText)
{
    const qsizetype at = entryText.indexOf(kLabelSeparator);
    return at < 0 ? QStringLiteral("====================") : entryText.mid(at + kLabelSeparator.size(), 500);
}

MetarDownload classifyMetarDownload(const QByteArray &bytes)
{
    if (bytes.size() < 3)
        return MetarDownload::TooShort;
    return bytes.left(3).contains('<') ? MetarDownload::WebPage : MetarDownload::Report;
}

QString metarAirportCode(const QString &entryText, const MetarServiceMarkers &markers)
{
    QString code = codeAfter(entryText, markers.serviceA, QStringLiteral("icao="));
    const QString b = codeAfter(entryText, markers.serviceB, QStringLiteral("ids="));
    if (!b.isEmpty())
        code = b;
    return code;
}

MetarExtraction extractMetarLine(const QString &pageText, const QString &entryText, const MetarServiceMarkers &markers)
{
    const QStringList lines = TextFile::splitLines(pageText);
    if (lines.isEmpty())
        return {MetarError::EmptyCache, QString()};
    const QString code = metarAirportCode(entryText, markers);
    if (code.isEmpty())
        return {MetarError::NoReport, QString()};
    for (const QString &line : lines) {
        const qsizetype p = line.indexOf(code);
        if (p < 0 || p + 11 >= line.size())
            continue;
        if (line.at(p + 4) != QLatin1Char(' ') || line.at(p + 11) != QLatin1Char('Z'))
            continue;
        if (line.contains(QLatin1String("TAF:")))
            continue;
        return {MetarError::None, withoutOuterSpaces(withoutMarkup(line.mid(p)))};
    }
    return {MetarError::NoReport, QString()};
}

// ---------------------------------------------------------------------------
// Decoding the report
// ---------------------------------------------------------------------------

namespace {

constexpr int kTokenCount = 50;
constexpr double kKmPerMile = 1.609344;
const QString kNoValue = QStringLiteral("--");

using PL = PlausibilityLimits;
using station::fixed;

// The first 50 slots of the line cut at every single space; the slots past
// the end of the line are empty.
std::array<QString, kTokenCount> tokensOf(const QString &line)
{
    std::array<QString, kTokenCount> tokens;
    qsizetype from = 0;
    for (int i = 0; i < kTokenCount && from <= line.size(); ++i) {
        qsizetype space = line.indexOf(QLatin1Char(' '), from);
        if (space < 0)
            space = line.size();
        tokens[static_cast<size_t>(i)] = line.mid(from, space - from);
        from = space + 1;
    }
    return tokens;
}

// A whole number as the report writes it: an optional sign and digits, within
// 32 bits; nothing else.
std::optional<int> wholeNumber(QStringView text, bool signAllowed = true)
{
    qsizetype i = 0;
    bool negative = false;
    if (signAllowed && !text.isEmpty() && (text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+'))) {
        negative = text.front() == QLatin1Char('-');
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > qint64(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<int> digitsOnly(QStringView text)
{
    return wholeNumber(text, false);
}

// A temperature part: "M" and a number of two characters is below zero.
std::optional<int> temperaturePart(QStringView text)
{
    if (text.startsWith(QLatin1Char('M'))) {
        const std::optional<int> v = digitsOnly(text.mid(1, 2));
        return v ? std::optional<int>(-*v) : std::nullopt;
    }
    return wholeNumber(text);
}

// What the groups of one report line gave; every value starts unknown.
struct Groups
{
    std::optional<int> direction;             // degrees; 999 variable
    std::optional<int> speed, gust;           // in the wind group's unit
    std::optional<int> temperature, dewPoint; // whole C
    std::optional<int> pressure;              // hPa, or hundredths of inHg
    double windFactor = 0;                    // to km/h; 0 without a wind group
    double pressureFactor = 0;                // to hPa; 0 without a pressure group
    int flags = 0;                            // Precipitation bits
};

void readWind(const std::array<QString, kTokenCount> &tokens, Groups &g)
{
    for (int i = 1; i < kTokenCount; ++i) {
        const QString &t = tokens[static_cast<size_t>(i)];
        qsizetype suffix = 0;
        if (t.endsWith(QLatin1String("KT"))) {
            suffix = 2;
            g.windFactor = 1.852;
        } else if (t.endsWith(QLatin1String("KMH"))) {
            suffix = 3;
            g.windFactor = 1.0;
        } else if (t.endsWith(QLatin1String("MPS"))) {
            suffix = 3;
            g.windFactor = 3.6;
        } else {
            continue;
        }
        const QStringView dir = QStringView(t).left(3);
        if (dir == QLatin1String("VRB"))
            g.direction = 999;
        else if (dir != QLatin1String("///"))
            g.direction = wholeNumber(dir);

        // Lengths are worked out first: a short token has no speed text at all.
        const qsizetype end = t.size() - suffix; // the unit suffix starts here
        const qsizetype gustMark = t.indexOf(QLatin1Char('G'));
        const qsizetype speedEnd = gustMark >= 0 ? gustMark : end;
        const QStringView speed = speedEnd > 3 ? QStringView(t).mid(3, speedEnd - 3) : QStringView();
        g.speed = wholeNumber(speed);
        if (g.speed && gustMark >= 0) {
            const QStringView gust =
                end > gustMark + 1 ? QStringView(t).mid(gustMark + 1, end - gustMark - 1) : QStringView();
            g.gust = wholeNumber(gust);
        }
        return;
    }
}

void readTemperature(const std::array<QString, kTokenCount> &tokens, Groups &g)
{
    for (int i = 1; i < kTokenCount; ++i) {
        const QString &t = tokens[static_cast<size_t>(i)];
        if (t.size() < 5 || t.size() > 7)
            continue;
        const qsizetype slash = t.indexOf(QLatin1Char('/'));
        if ((slash != 2 && slash != 3) || t.contains(QLatin1String("//")))
            continue;
        g.temperature = temperaturePart(QStringView(t).left(slash));
        if (g.temperature)
            g.dewPoint = temperaturePart(QStringView(t).mid(slash + 1));
        return; // the first token of this shape ends the search, converted or not
    }
}

void readPressure(const std::array<QString, kTokenCount> &tokens, Groups &g)
{
    for (int i = 1; i < kTokenCount; ++i) {
        const QString &t = tokens[static_cast<size_t>(i)];
        if (t.size() != 5)
            continue;
        double factor = 0;
        if (t.front() == QLatin1Char('Q'))
            factor = 1.0;
        else if (t.front() == QLatin1Char('A'))
            factor = 0.338639;
        else
            continue;
        const std::optional<int> v = wholeNumber(QStringView(t).mid(1, 4));
        if (!v)
            continue;
        g.pressure = v;
        g.pressureFactor = factor;
        return;
    }
}

void readPhenomena(const std::array<QString, kTokenCount> &tokens, Groups &g)
{
    namespace P = Precipitation;
    for (int i = 1; i < kTokenCount; ++i) {
        const QString &t = tokens[static_cast<size_t>(i)];
        const qsizetype n = t.size();
        if (n < 2 || n > 5)
            continue;
        int flags = 0;
        if (n == 3 || n == 5) {
            if (t.front() == QLatin1Char('-'))
                flags = P::Light;
            else if (t.front() == QLatin1Char('+'))
                flags = P::Heavy;
            else
                continue;
        }
        const QStringView code = QStringView(t).right(2);
        if (code == QLatin1String("RA"))
            flags |= P::Rain;
        else if (code == QLatin1String("SN"))
            flags |= P::Snow;
        else if (code == QLatin1String("GR"))
            flags |= P::Hail;
        else if (code == QLatin1String("BR"))
            flags |= P::Mist;
        else if (code == QLatin1String("FG"))
            flags |= P::Fog;
        if (flags != 0) {
            g.flags = flags;
            return;
        }
    }
}

QString timeText(const QLocale &locale, const QDateTime &t)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t')); // Qt's long format carries the time zone name
    return locale.toString(t.date(), QLocale::ShortFormat) + QStringLiteral("  ")
           + locale.toString(t.time(), format.trimmed());
}

// The time group: the first token of 7 characters ending in "Z" that makes a
// date. The report gives day, hour and minute in UT; month and year are the
// current UT ones, except that on the 1st a report of day 28 or later belongs
// to the month before.
void readTime(const std::array<QString, kTokenCount> &tokens, const MetarSettings &settings, WeatherSnapshot &s,
              SourceDisplay &d, MetarReading &r)
{
    const qint64 offsetSeconds = qint64(settings.utcOffsetMinutes) * 60;
    const QDateTime utNow = QDateTime(settings.now.date(), settings.now.time(), Qt::UTC).addSecs(-offsetSeconds);
    for (const QString &t : tokens) {
        if (t.size() != 7 || t.at(6) != QLatin1Char('Z'))
            continue;
        const std::optional<int> day = digitsOnly(QStringView(t).mid(0, 2));
        const std::optional<int> hour = digitsOnly(QStringView(t).mid(2, 2));
        const std::optional<int> minute = digitsOnly(QStringView(t).mid(4, 2));
        QDateTime ut;
        if (day && hour && minute && utNow.isValid()) {
            const QDate today = utNow.date();
            QDate month(today.year(), today.month(), 1);
            if (*day != today.day() && *day != today.day() - 1 && today.day() == 1 && *day >= 28)
                month = month.addMonths(-1);
            const QDate date(month.year(), month.month(), *day);
            const QTime time(*hour, *minute);
            if (date.isValid() && time.isValid())
                ut = QDateTime(date, time, Qt::UTC);
        }
        const QDateTime local = ut.isValid() ? ut.addSecs(offsetSeconds) : QDateTime();
        if (!local.isValid()) {
            d.dateTime = QString();
            continue;
        }
        s.readingTime = DateTimeUtil::toDays(local);
        r.reportUtc = ut;
        r.reportLocal = local;
        d.dateTime = timeText(settings.locale, settings.timeShown == 1 ? local : ut);
        return;
    }
}

// A number of exactly `width` digits, or the field's no-value text when the
// value has none or does not fit.
QString field(std::optional<qint64> value, int width, const QString &none)
{
    if (!value || *value < 0)
        return none;
    const QString digits = QString::number(*value).rightJustified(width, QLatin1Char('0'));
    return digits.size() == width ? digits : none;
}

QString uiviewTime(double days)
{
    static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // No report time was ever decoded (the count's start, 30 December 1899 at
    // midnight, is no report's time): the line says nothing rather than a
    // date that was never read. Past the year 9999 likewise.
    if (!(days > 0 && days < 2958466))
        return QString();
    const QDateTime t = DateTimeUtil::fromDays(days);
    return QStringLiteral("%1 %2 %3 %4:%5")
        .arg(QLatin1String(kMonths[t.date().month() - 1]))
        .arg(t.date().day(), 2, 10, QLatin1Char('0'))
        .arg(t.date().year(), 4, 10, QLatin1Char('0'))
        .arg(t.time().hour(), 2, 10, QLatin1Char('0'))
        .arg(t.time().minute(), 2, 10, QLatin1Char('0'));
}

const QString kNoUiviewValues = QStringLiteral(".../...g...t...r000p...P...h..b.....");

void startCycle(const MetarSettings &settings, WeatherSnapshot &s, const SourceDisplay &shown, MetarReading &r)
{
    r.display = shown;
    SourceDisplay &d = r.display;
    d.outdoorTemp.red = d.pressure.red = d.wind.red = d.gust.red = d.windChill.red = false;
    d.pressureAdjustUnit = settings.units.pressureFactor == 1 ? QStringLiteral("mBars") : QStringLiteral("0.01*inHg");
    s.pressureOffset = settings.pressureOffset;
}

} // namespace

SourceDisplay metarCaptionsAfterFetch(const UnitSettings &u, const SourceDisplay &shown)
{
    SourceDisplay d = shown;
    d.outdoorTemp.red = d.pressure.red = d.wind.red = d.gust.red = false;
    station::blankReportCaptions(u, d);
    d.rain.text = QStringLiteral("Precipitation =");
    d.dateTime = QString();
    return d;
}

SourceDisplay metarDisplayShown(const SourceDisplay &shown)
{
    SourceDisplay d = shown;
    for (SourceCaption *c :
         {&d.outdoorTemp, &d.pressure, &d.wind, &d.gust, &d.direction, &d.windChill, &d.rain, &d.humidity})
        c->coloured = !c->text.contains(QLatin1String("--"));
    if (!d.dateTime)
        d.dateTime = QString();
    return d;
}

QByteArray MetarReading::uiviewBytes() const
{
    return TextFile::joinLines(uiviewLines);
}

QByteArray MetarReading::cwBytes() const
{
    return TextFile::joinLines(cwLines);
}

MetarReading metarWithoutReport(const MetarSettings &settings, WeatherSnapshot &s, const SourceDisplay &shown)
{
    MetarReading r;
    r.outcome = MetarOutcome::NoReport;
    startCycle(settings, s, shown, r);
    r.uiviewLines = QStringList{uiviewTime(s.readingTime), kNoUiviewValues};
    r.cwLines = QStringList{QStringLiteral(" ")};
    return r;
}

namespace {

// Which of the report's groups gave a value.
struct Found
{
    bool speed = false;
    bool gust = false;
    bool temperature = false;
    bool pressure = false;
    bool directionInRange = false;
    std::optional<int> humidity;
};

// The present weather caption from the report's precipitation flags; `shown`
// stays when the flags name nothing it shows.
QString precipitationText(int flags, const QString &shown)
{
    namespace P = Precipitation;
    QString text = flags == 0 ? QStringLiteral("Precipitation = --") : shown;
    auto intensity = [flags](const char *light, const char *heavy, const char *moderate) {
        return QLatin1String((flags & P::Light) ? light : (flags & P::Heavy) ? heavy : moderate);
    };
    if (flags & P::Rain)
        text = intensity("Raining lightly", "Raining heavily", "Raining moderately");
    if (flags & P::Snow)
        text = intensity("Snowing lightly", "Snowing heavily", "Snowing moderately");
    if (flags & P::Hail)
        text = QStringLiteral("Hailing");
    if (flags & P::Mist)
        text = QStringLiteral("Mist");
    if (flags & P::Fog)
        text = QStringLiteral("Fog");
    return text;
}

// "metar_uiview.txt"'s second line: the report in APRS weather notation.
QString uiviewWeather(const Groups &g, const Found &f, const SourceDisplay &d)
{
    namespace P = Precipitation;
    QString wx;
    wx += f.directionInRange ? field(*g.direction, 3, QString()) + QLatin1Char('/') : QStringLiteral(".../");
    auto miles = [&](int v) { return roundHalfEven(v * g.windFactor / kKmPerMile); };
    const QString dots3 = QStringLiteral("...");
    wx += f.speed && !d.wind.text.contains(kNoValue) ? field(miles(*g.speed), 3, dots3) : dots3;
    wx += QStringLiteral("g") + (f.gust && !d.gust.text.contains(kNoValue) ? field(miles(*g.gust), 3, dots3) : dots3);
    wx += QLatin1Char('t');
    if (f.temperature && !d.outdoorTemp.text.contains(kNoValue)) {
        const qint64 t = roundHalfEven(*g.temperature * 1.8 + 32);
        wx += t >= 0 ? field(t, 3, dots3) : t >= -99 ? QStringLiteral("-") + field(-t, 2, QString()) : dots3;
    } else {
        wx += dots3;
    }
    const char *rain = "r000p...P...";
    if (!d.rain.text.contains(kNoValue))
        rain = (g.flags & P::Light)   ? "r005p...P..."
               : (g.flags & P::Heavy) ? "r060p...P..."
               : g.flags              ? "r020p...P..."
                                      : rain;
    wx += QLatin1String(rain);
    wx += QStringLiteral("h")
          + (f.humidity ? field(std::max(*f.humidity, 1), 2, QStringLiteral("..")) : QStringLiteral(".."));
    wx += QLatin1Char('b');
    if (f.pressure) {
        const qint64 hpa = roundHalfEven(*g.pressure * g.pressureFactor);
        wx += hpa >= 0 && hpa <= 9999 ? field(hpa * 10, 5, QString()) : QStringLiteral(".....");
    } else {
        wx += QStringLiteral(".....");
    }
    return wx;
}

// "metar_cw.txt": a one-line summary of the parts that have a value.
QString cwSummary(const Found &f, const WeatherSnapshot &s, const SourceDisplay &d, const UnitSettings &u)
{
    QString cw;
    if (f.temperature)
        cw += QStringLiteral(" TEMP %1%2").arg(roundHalfEven(s.outdoorTemp)).arg(u.temperatureLabel);
    if (f.pressure)
        cw += QStringLiteral(" = QNH %1%2").arg(roundHalfEven(s.pressure)).arg(u.pressureLabel);
    if (f.speed)
        cw += QStringLiteral(" = WS %1%2").arg(roundHalfEven(s.windSpeed)).arg(u.windLabel);
    if (!d.windChill.text.contains(kNoValue))
        cw += QStringLiteral(" = WCT %1%2").arg(roundHalfEven(s.windChill)).arg(u.temperatureLabel);
    if (f.humidity)
        cw += QStringLiteral(" = HUM %1").arg(*f.humidity);
    cw += QLatin1Char(' ');
    return cw;
}

} // namespace

MetarReading decodeMetar(const QString &reportFileText, const MetarSettings &settings, WeatherSnapshot &s,
                         const SourceDisplay &shown)
{
    MetarReading r;
    startCycle(settings, s, shown, r);
    const QStringList lines = TextFile::splitLines(reportFileText);
    if (lines.isEmpty()) {
        r.outcome = MetarOutcome::EmptyFile;
        return r;
    }
    r.outcome = MetarOutcome::Decoded;
    QString line;
    for (const QString &l : lines)
        if (!l.isEmpty())
            line = l;
    const std::array<QString, kTokenCount> tokens = tokensOf(line);

    SourceDisplay &d = r.display;
    const UnitSettings &u = settings.units;
    const QString &tl = u.temperatureLabel;
    const QString &pl = u.pressureLabel;
    const QString &wl = u.windLabel;
    d.airportCode = QStringLiteral("Airport code = ") + tokens[0];

    Groups g;
    readTime(tokens, settings, s, d, r);
    readWind(tokens, g);
    readTemperature(tokens, g);
    readPressure(tokens, g);
    readPhenomena(tokens, g);

    const bool windFound = g.windFactor != 0;
    const bool gustFound = windFound && g.gust.has_value();
    const bool speedFound = windFound && g.speed.has_value();
    const bool temperatureFound = g.temperature.has_value();
    const bool dewPointFound = g.dewPoint.has_value();
    const bool pressureFound = g.pressure.has_value() && g.pressureFactor != 0;

    if (gustFound) {
        s.windGust = *g.gust * g.windFactor * u.windFactor;
        d.gust.text = QStringLiteral("Gust (%1) = %2").arg(wl, fixed(s.windGust, 0));
        d.gust.red = !(s.windGust >= 0 && s.windGust <= PL::gustMax * u.windFactor);
    } else {
        s.windGust = 0;
        d.gust.text = QStringLiteral("Gust (%1) = --").arg(wl);
    }

    if (temperatureFound) {
        s.outdoorTemp = u.temperature(*g.temperature);
        d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = %2").arg(tl, fixed(s.outdoorTemp, 1));
        d.outdoorTemp.red = station::temperatureOutside(u, s.outdoorTemp, PL::outdoorTempMin, PL::outdoorTempMax);
    } else {
        s.outdoorTemp = -200;
        d.outdoorTemp.text = QStringLiteral("Outdoor T (\u00b0%1) = --").arg(tl);
    }

    if (pressureFound) {
        s.pressure =
            settings.pressureOffset * u.pressureOffsetFactor + *g.pressure * g.pressureFactor * u.pressureFactor;
        d.pressure.text = QStringLiteral("Atm. P (%1) = %2").arg(pl, fixed(s.pressure, u.pressureFactor != 1 ? 2 : 1));
        d.pressure.red = station::pressureOutside(u, s.pressure);
    } else {
        s.pressure = 900 * u.pressureFactor;
        d.pressure.text = QStringLiteral("Atm. P (%1) = --").arg(pl);
    }

    s.windSpeed = -1;
    d.wind.text = QStringLiteral("Wind (%1) = --").arg(wl);
    s.windDirection = -1;
    d.direction.text = QStringLiteral("Direction (\u00b0) = --");
    if (speedFound) {
        s.windSpeed = *g.speed * g.windFactor * u.windFactor;
        d.wind.text = QStringLiteral("Wind (%1) = %2").arg(wl, fixed(s.windSpeed, 0));
        d.wind.red = station::windOutside(u, s.windSpeed);
    }
    const bool directionInRange = g.direction && *g.direction >= 0 && *g.direction <= 360;
    if (directionInRange) {
        s.windDirection = *g.direction;
        d.direction.text = QStringLiteral("Direction (\u00b0) = %1").arg(*g.direction);
    } else if (g.direction == 999) {
        s.windDirection = 999;
        d.direction.text = QStringLiteral("Direction (\u00b0) = variable");
    }

    {
        SourceDisplay chill;
        station::applyWindChill(u, !(s.windSpeed >= 5 * u.windFactor) || !temperatureFound, s, chill);
        d.windChill.text = chill.windChill.text;
        d.windChill.red = !d.windChill.text.contains(kNoValue)
                          && station::temperatureOutside(u, s.windChill, PL::outdoorTempMin, PL::outdoorTempMax);
    }

    if (dewPointFound) {
        s.dewPoint = u.temperature(*g.dewPoint);
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = %2").arg(tl, fixed(s.dewPoint, 1));
    } else {
        d.dewPoint = QStringLiteral("Dew point (\u00b0%1) = --").arg(tl);
    }

    s.precipitation = g.flags;
    d.rain.text = precipitationText(g.flags, d.rain.text);

    // Relative humidity from the whole degrees of the report (Magnus formula).
    std::optional<int> humidity;
    if (dewPointFound && temperatureFound) {
        const double t = *g.temperature;
        const double td = *g.dewPoint;
        const double rh = 100 * std::exp(17.625 * td / (td + 243.04)) / std::exp(17.625 * t / (t + 243.04));
        if (std::isfinite(rh)) // a temperature of -243 C or below has none
            humidity = static_cast<int>(roundHalfEven(std::min(rh, 99.0)));
    }
    if (humidity) {
        s.outdoorHumidity = *humidity;
        d.humidity.text = QStringLiteral("Humidity (%) = %1").arg(*humidity);
    } else {
        s.outdoorHumidity = -1; // 255 as the 8-bit field holds it
        d.humidity.text = QStringLiteral("Humidity (%) = --");
    }

    const Found found{speedFound, gustFound, temperatureFound, pressureFound, directionInRange, humidity};
    r.uiviewLines = QStringList{uiviewTime(s.readingTime), uiviewWeather(g, found, d)};
    r.cwLines = QStringList{cwSummary(found, s, d, u)};
    return r;
}

} // namespace auravox
