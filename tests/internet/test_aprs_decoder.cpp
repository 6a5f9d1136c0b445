// The APRS source: the raw packet taken out of the map service's page, and the
// decoding of WXNOW.TXT files and extracted web lines.

#include "common/TextFile.h"
#include "internet/AprsDecoder.h"
#include "support/QtPrinters.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace auravox;

namespace {

constexpr int U = AprsFields::kUnknown;
const QString kExample = QStringLiteral("220/004g005t077r000p000P000h50b09900");

double days(int y, int mo, int d, int h, int mi)
{
    return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, mo, d))) + (h * 60 + mi) / 1440.0;
}

// The page cleaner's result by its plain definition, one tag at a time.
QString tagByTag(QString s)
{
    while (s.contains(QLatin1Char('<'))) {
        const qsizetype a = s.indexOf(QLatin1Char('<')), b = s.indexOf(QLatin1Char('>'));
        s.remove(a < b ? a : 0, a < b ? b - a + 1 : a + 1);
    }
    return s;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every field, in the order of AprsFields.
std::vector<int> all(const AprsFields &f)
{
    return {f.direction, f.speed, f.gust, f.temperature, f.rainHour, f.rain24h, f.rainMidnight, f.humidity, f.pressure};
}

AprsReading decode(const QString &text, WeatherSnapshot &s, const AprsSettings &settings = {})
{
    return decodeAprs(text, settings, s);
}

} // namespace

TEST(AprsRawLine, TakesTheLastMarkedLineWithoutItsTags)
{
    const QStringList page = {QStringLiteral("<html><td class=\"raw_line\">old_000/000</td>"),
                              QStringLiteral("<p>nothing</p>"),
                              QStringLiteral("<td class=\"raw_line\"> 2026-12-07 10:30:00 EET: X&gt;APRS:_c220 </td>")};
    const AprsRawLine r = findAprsRawLine(page);
    EXPECT_EQ(r.error, AprsError::None);
    EXPECT_EQ(r.line, QStringLiteral(" 2026-12-07 10:30:00 EET: X&gt;APRS:_c220 ")); // blanks kept

    EXPECT_EQ(findAprsRawLine({}).error, AprsError::CacheEmpty);
    EXPECT_EQ(findAprsRawLine({QStringLiteral("<html><body>404 Not Found</body></html>")}).error, AprsError::NoRawLine);
    EXPECT_EQ(findAprsRawLine({QStringLiteral("<td class=raw_line>X&gt;APRS:!6010.00N/02450.00E&gt;</td>")}).error,
              AprsError::NoWeather);
}

TEST(AprsRawLine, MarkupRemovalMatchesTagByTagDeletion)
{
    EXPECT_EQ(removeAprsPageMarkup(QStringLiteral("a>b<c>d")), QStringLiteral("c>d")); // ">" before "<": cut from start
    EXPECT_EQ(removeAprsPageMarkup(QStringLiteral("keep<unclosed")), QStringLiteral("unclosed"));
    EXPECT_EQ(removeAprsPageMarkup(QStringLiteral("<b>bold</b> _x<")), QStringLiteral(""));
    std::mt19937 random(7);
    const QString alphabet = QStringLiteral("<<>>ab_ ");
    for (int n = 0; n < 3000; ++n) {
        QString s;
        for (int i = static_cast<int>(random() % 24); i > 0; --i)
            s += alphabet.at(static_cast<qsizetype>(random() % alphabet.size()));
        ASSERT_EQ(removeAprsPageMarkup(s), tagByTag(s)) << s.toStdString();
    }
}

TEST(AprsRawLine, CacheFileAndDownloadErrorNumbers)
{
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("aprs_web.txt"));
    EXPECT_EQ(extractAprsRawLine(cache), AprsError::CacheMissing);
    EXPECT_EQ(checkAprsDownload(cache), AprsError::Open);

    ASSERT_TRUE(writeFile(cache, ""));
    EXPECT_EQ(extractAprsRawLine(cache), AprsError::CacheEmpty);
    ASSERT_TRUE(writeFile(cache, "<a"));
    EXPECT_EQ(checkAprsDownload(cache), AprsError::Download); // fewer than 3 bytes

    const QByteArray errorPage = "<html>\r\n<p>Please log in</p>\r\n</html>\r\n";
    ASSERT_TRUE(writeFile(cache, errorPage));
    EXPECT_EQ(checkAprsDownload(cache), AprsError::NoRawLine);
    EXPECT_EQ(readFile(cache), errorPage); // left as it was

    const QByteArray plain = "Dec 07 2026 10:30\r\n" + kExample.toLatin1() + "\r\n";
    ASSERT_TRUE(writeFile(cache, plain));
    EXPECT_EQ(checkAprsDownload(cache), AprsError::None);
    EXPECT_EQ(readFile(cache), plain);

    ASSERT_TRUE(writeFile(cache, "\n <table>\n<tr><td class='raw_line'>2026-12-07 10:30:00: X_c220\xe9</td></tr>\n"));
    EXPECT_EQ(checkAprsDownload(cache), AprsError::None); // "<" in the first 3 bytes: a page
    EXPECT_EQ(readFile(cache), QByteArray("2026-12-07 10:30:00: X_c220\xe9\r\n"));
}

TEST(AprsFields, PositionedAndPositionlessFormsReadAlike)
{
    for (const QString &line : {kExample, QStringLiteral("_12071030c220s004g005t077r000p000P000h50b09900"),
                                QStringLiteral("2026-12-07 10:30:00 EET: A-1&gt;APRS:@071030z6010.00N/02450.00E_")
                                    + kExample + QStringLiteral("eMB51 Davis VP2 at 3.2 km")}) {
        EXPECT_EQ(all(parseAprsWeather(aprsWeatherPart(line))), (std::vector<int>{220, 4, 5, 77, 0, 0, 0, 50, 9900}))
            << line.toStdString();
    }
}

TEST(AprsFields, MissingAndMalformedFields)
{
    // The exchange line the METAR source writes: missing gust and rain, and
    // the fields after them still count.
    EXPECT_EQ(all(parseAprsWeather(aprsWeatherPart(QStringLiteral("240/012g...t054r000p...P...h77b10130")))),
              (std::vector<int>{240, 12, U, 54, 0, U, U, 77, 10130}));
    // "..." on both sides of "/", blanks, a sign, "p" apart from "P", and a
    // field cut short by the end of the line.
    EXPECT_EQ(all(parseAprsWeather(QStringLiteral(".../...g   t-05P012p 1 h5"))),
              (std::vector<int>{U, U, U, -5, U, U, 12, 5, U}));
    EXPECT_EQ(parseAprsWeather(QStringLiteral("22/004")).direction, U); // "/" too early
    EXPECT_EQ(parseAprsWeather(QStringLiteral("220/0x4")).direction, U); // one bad side spoils both
    const AprsFields f = parseAprsWeather(QStringLiteral("c...s007 180/004"));
    EXPECT_EQ(f.direction, U); // a speed was found: no wind group
    EXPECT_EQ(f.speed, 7);
    EXPECT_EQ(aprsWeatherPart(QStringLiteral("_t050 v2.1 b10130")), QStringLiteral("t050 v2")); // a comment ends it
}

TEST(AprsDecode, DefaultRawUnitsToMetricDisplay)
{
    WeatherSnapshot s;
    const AprsReading r = decode(kExample, s);
    ASSERT_EQ(r.outcome, AprsOutcome::Decoded);
    EXPECT_EQ(s.windDirection, 220);
    EXPECT_NEAR(s.windSpeed, 6.437376, 1e-9);
    EXPECT_NEAR(s.windGust, 8.04672, 1e-9);
    EXPECT_NEAR(s.outdoorTemp, 25.0, 1e-9);
    EXPECT_EQ(s.rain24h, 0);
    EXPECT_EQ(s.outdoorHumidity, 50);
    EXPECT_NEAR(s.pressure, 990.0, 1e-9);
    EXPECT_NEAR(s.windChill, 26.6941, 1e-4);
    EXPECT_NEAR(s.dewPoint, 13.837, 1e-3);
    const SourceDisplay &d = r.display;
    EXPECT_EQ(d.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = 25.0"));
    EXPECT_EQ(d.pressure.text, QStringLiteral("Atm. P (mBar) = 990.0"));
    EXPECT_EQ(d.wind.text, QStringLiteral("Wind (km/h) = 6"));
    EXPECT_EQ(d.gust.text, QStringLiteral("Gust (km/h) = 8"));
    EXPECT_EQ(d.direction.text, QStringLiteral("Direction (\u00b0) = 220"));
    EXPECT_EQ(d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = 26.7"));
    EXPECT_EQ(d.rain.text, QStringLiteral("Rain/24h (mm) = 0.0"));
    EXPECT_EQ(d.humidity.text, QStringLiteral("Humidity (%) = 50"));
    EXPECT_EQ(d.dewPoint, QStringLiteral("Dew point (\u00b0C) = 13.8"));
    for (const SourceCaption *c : {&d.outdoorTemp, &d.pressure, &d.wind, &d.gust, &d.windChill})
        EXPECT_FALSE(c->red) << c->text.toStdString();
    EXPECT_EQ(r.pressureAdjustUnit, QStringLiteral("mBars"));
    EXPECT_EQ(r.summary, QStringLiteral(" TEMP 25C = QNH 990mBar = WS 6km/h = WCT 27C = HUM 50 "));
    EXPECT_EQ(aprsSummaryFile(*r.summary), QByteArray(" TEMP 25C = QNH 990mBar = WS 6km/h = WCT 27C = HUM 50 \r\n"));
}

TEST(AprsDecode, MetricRawUnitsToImperialDisplay)
{
    AprsSettings settings;
    settings.units.setCelsius(false);
    settings.units.setMillibars(false);
    settings.units.setKmh(false);
    settings.units.setMillimetres(false);
    settings.rawTemperature = AprsTemperatureUnit::Celsius;
    settings.rawWind = AprsWindUnit::Knot;
    settings.rawRain = AprsRainUnit::Millimetre;
    settings.pressureOffset = 2;
    WeatherSnapshot s;
    const AprsReading r = decode(QStringLiteral("240/010g020t012r000p025P...h77b10130"), s, settings);
    EXPECT_NEAR(s.outdoorTemp, 53.6, 1e-9);
    EXPECT_NEAR(s.windSpeed, 11.5077946, 1e-6);
    EXPECT_NEAR(s.rain24h, 0.98425, 1e-9);
    EXPECT_NEAR(s.pressure, 29.93389, 1e-9);
    EXPECT_NEAR(s.dewPoint, 46.495, 1e-3);
    EXPECT_EQ(s.pressureOffset, 2);
    EXPECT_EQ(r.display.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0F) = 53.6"));
    EXPECT_EQ(r.display.pressure.text, QStringLiteral("Atm. P (inHg) = 29.93"));
    EXPECT_EQ(r.display.gust.text, QStringLiteral("Gust (mph) = 23"));
    EXPECT_EQ(r.display.rain.text, QStringLiteral("Rain/24h (inch) = 0.98"));
    EXPECT_EQ(r.display.windChill.text, QStringLiteral("Wind chill (\u00b0F) = 50.1"));
    EXPECT_EQ(r.pressureAdjustUnit, QStringLiteral("0.01*inHg"));
    EXPECT_EQ(r.summary, QStringLiteral(" TEMP 54F = QNH 30inHg = WS 12mph = WCT 50F = HUM 77 "));
}

TEST(AprsDecode, MissingValuesGiveTheirNoValueForms)
{
    WeatherSnapshot s;
    s.dewPoint = 7;
    AprsReading r = decode(QStringLiteral(".../...g...t...r...p...P...h..b....."), s);
    EXPECT_EQ((std::vector<double>{s.outdoorTemp, s.windSpeed, s.windGust, s.windChill, s.rain24h, s.outdoorHumidity,
                                   s.pressure, s.dewPoint}),
              (std::vector<double>{-200, -1, 0, -200, -1, -1, 900, 7})); // the dew point is not updated
    EXPECT_EQ(s.windDirection, -1);
    EXPECT_EQ(r.display.dewPoint, QStringLiteral("T. ros\u00e9e (C) = --"));
    for (const SourceCaption *c : {&r.display.outdoorTemp, &r.display.pressure, &r.display.wind, &r.display.gust,
                                 &r.display.direction, &r.display.windChill, &r.display.rain, &r.display.humidity}) {
        EXPECT_TRUE(c->text.endsWith(QLatin1String(" = --"))) << c->text.toStdString();
        EXPECT_FALSE(c->red) << c->text.toStdString(); // out of limits, but "--" is never red
    }
    EXPECT_EQ(r.summary, QStringLiteral(" "));

    r = decode(QStringLiteral("220/004g005t...r000p000P000h00b09900"), s);
    EXPECT_EQ(s.outdoorHumidity, 100); // h00
    EXPECT_EQ(s.windChill, -200);       // no temperature: no wind chill, no dew point
    EXPECT_EQ(s.dewPoint, 7);
    EXPECT_EQ(r.summary, QStringLiteral(" = QNH 990mBar = WS 6km/h = HUM 100 "));
}

TEST(AprsDecode, WindRulesAndRedMarks)
{
    WeatherSnapshot s;
    AprsReading r = decode(QStringLiteral("c400s003g150t-05b08000"), s);
    EXPECT_EQ(s.windDirection, -1); // 400 is no direction, the speed still counts
    EXPECT_EQ(r.display.wind.text, QStringLiteral("Wind (km/h) = 5"));
    EXPECT_EQ(s.windChill, -200); // 3 mph = 4.83 km/h, below 5
    EXPECT_EQ(r.display.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = -20.6"));
    EXPECT_TRUE(r.display.gust.red); // 241 km/h
    EXPECT_TRUE(r.display.pressure.red);
    EXPECT_FALSE(r.display.outdoorTemp.red);

    AprsSettings settings;
    settings.pressureOffset = -3;
    r = decode(QStringLiteral("c360s200t150b10130"), s, settings);
    EXPECT_EQ(s.windDirection, 360);
    EXPECT_NEAR(s.pressure, 1010.0, 1e-9);
    EXPECT_TRUE(r.display.wind.red);        // 322 km/h
    EXPECT_TRUE(r.display.outdoorTemp.red); // 65.6 C
    EXPECT_TRUE(r.display.windChill.red);   // against the outdoor temperature bounds
    EXPECT_EQ(r.display.gust.text, QStringLiteral("Gust (km/h) = --"));
    EXPECT_FALSE(r.display.pressure.red);
}

TEST(AprsDecode, EmptyAndMissingReports)
{
    WeatherSnapshot s;
    s.outdoorTemp = 12;
    AprsSettings settings;
    settings.pressureOffset = 4;
    for (const QString &text : {QString(), QStringLiteral("\r\n\r\n")}) {
        const AprsReading r = decodeAprs(text, settings, s);
        EXPECT_EQ(r.outcome, AprsOutcome::NoLine);
        EXPECT_FALSE(r.summary.has_value()); // no summary file this cycle
    }
    const AprsReading r = decodeMissingAprs(settings, s);
    EXPECT_EQ(r.outcome, AprsOutcome::MissingReport);
    EXPECT_EQ(r.summary, QStringLiteral(" "));
    EXPECT_EQ(s.outdoorTemp, 12);
    EXPECT_EQ(s.pressureOffset, 4);

    QTemporaryDir dir;
    EXPECT_EQ(decodeAprsFile(dir.filePath(QStringLiteral("WXNOW.TXT")), settings, s).outcome,
              AprsOutcome::MissingReport);
}

TEST(AprsTime, MonthNameStampOfWxnowFiles)
{
    AprsSettings settings;
    settings.timeZoneBiasMinutes = -60; // one hour east of UT
    settings.fileTime = days(2026, 12, 7, 9, 0);
    const QString file = QStringLiteral("Dec 07 2026 10:30\r\n\r\n") + kExample + QStringLiteral("\r\n");
    WeatherSnapshot s;
    AprsReading r = decodeAprs(file, settings, s);
    EXPECT_EQ(r.date, QStringLiteral("Dec 07 2026 10:30"));
    EXPECT_FALSE(r.switchToLocalTime);
    EXPECT_NEAR(s.readingTime, days(2026, 12, 7, 11, 30), 1e-9);

    settings.timeBase = AprsTimeBase::Local;
    decodeAprs(file, settings, s);
    EXPECT_NEAR(s.readingTime, days(2026, 12, 7, 10, 30), 1e-9);

    // A stamp that does not convert is still shown; the file time stands, and
    // only when it is later than the reading time.
    for (const char *bad : {"Dex 07 2026 10:30", "Feb 30 2026 10:30", "Dec 07 2026 24:30"}) {
        s.readingTime = 0;
        r = decodeAprs(QLatin1String(bad) + QStringLiteral("\n") + kExample, settings, s);
        EXPECT_EQ(r.date, QLatin1String(bad));
        EXPECT_EQ(s.readingTime, settings.fileTime) << bad;
    }
    s.readingTime = days(2027, 1, 1, 0, 0);
    r = decodeAprs(QStringLiteral("Dec 7 2026 10:30\n") + kExample, settings, s); // 16 characters
    EXPECT_FALSE(r.date.has_value());
    EXPECT_EQ(s.readingTime, days(2027, 1, 1, 0, 0));
}

TEST(AprsTime, StampOfTheExtractedWebLine)
{
    AprsSettings settings;
    settings.timeZoneBiasMinutes = -60; // ignored: the web line is local time
    WeatherSnapshot s;
    AprsReading r = decodeAprs(
        QStringLiteral("2026-12-07 10:30:00 EET: OH2AB-13&gt;APRS:@071030z6010.00N/02450.00E_") + kExample, settings, s);
    EXPECT_EQ(r.date, QStringLiteral("10:30:00 2026-12-07"));
    EXPECT_TRUE(r.switchToLocalTime);
    EXPECT_NEAR(s.readingTime, days(2026, 12, 7, 10, 30), 1e-9);
    EXPECT_EQ(s.windDirection, 220);

    settings.fileTime = days(2026, 12, 8, 0, 0);
    r = decodeAprs(QStringLiteral("2026-12-07 EET X_") + kExample, settings, s); // no time
    EXPECT_EQ(r.date, QStringLiteral("2026-12-07"));
    EXPECT_EQ(s.readingTime, settings.fileTime);
    r = decodeAprs(kExample, settings, s);
    EXPECT_EQ(r.date, QString()); // cleared
}
