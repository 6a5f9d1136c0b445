// The METAR page extraction and report decoding, on crafted reports and pages
// and on a day of real reports with the US weather service's own decoding.

#include "common/DateTime.h"
#include "internet/MetarDecoder.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>

using namespace auravox;

namespace {

const QString kDeg = QStringLiteral("\u00b0");
const QString kOgimet = QStringLiteral("http://www.ogimet.com/cgi-bin/getmetar?icao=LFPG");
const QString kAwcJfk = QStringLiteral("https://aviationweather.gov/api/data/metar?ids=KJFK");

MetarSettings at(const QDateTime &localNow, int utcOffsetMinutes = 0)
{
    MetarSettings s;
    s.now = localNow;
    s.utcOffsetMinutes = utcOffsetMinutes;
    s.locale = QLocale::c();
    return s;
}

const MetarSettings kDec7 = at(QDateTime(QDate(2026, 12, 7), QTime(18, 0)));

struct Cycle
{
    MetarReading r;
    WeatherSnapshot s;
    const SourceDisplay &d() const { return r.display; }
    QString wx() const { return r.uiviewLines.value(1); }
    QDateTime reading() const { return DateTimeUtil::fromDays(s.readingTime); }
};

Cycle decode(const QString &text, const MetarSettings &settings = kDec7, const SourceDisplay &shown = {})
{
    Cycle c;
    c.r = decodeMetar(text, settings, c.s, shown);
    return c;
}

QString line(const MetarExtraction &x)
{
    return x.error == MetarError::None ? x.line : QStringLiteral("error %1").arg(x.error);
}

} // namespace

TEST(MetarExtraction, AirportCodeFromTheServiceQuery)
{
    EXPECT_EQ(metarAirportCode(kOgimet + QStringLiteral("&hours=1")), QStringLiteral("LFPG"));
    EXPECT_EQ(metarAirportCode(kAwcJfk + QStringLiteral("&hours=0")), QStringLiteral("KJFK"));
    EXPECT_EQ(metarAirportCode(QStringLiteral("https://aviationweather.gov/?icao=LFPG&ids=EGLL //ogimet")),
              QStringLiteral("EGLL")) << "service B wins when both apply";
    EXPECT_EQ(metarAirportCode(QStringLiteral("https://example.org/metar?icao=LFPG")), QString());
    EXPECT_EQ(metarAirportCode(QStringLiteral("https://aviationweather.gov/metar?icao=LFPG")), QString());
    MetarServiceMarkers markers{QStringLiteral("example.org"), QString()}; // an empty word never matches
    EXPECT_EQ(metarAirportCode(QStringLiteral("https://example.org/metar?icao=LFPG"), markers), QStringLiteral("LFPG"));
    EXPECT_EQ(metarAirportCode(kAwcJfk, markers), QString());
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("<p>LFPG 071030Z 24010KT</p>"), QStringLiteral("https://example.org/?icao=LFPG"))),
              QStringLiteral("error 6"));
}

TEST(MetarExtraction, ReportLineWithoutTagsAndBlanks)
{
    const QString page = QStringLiteral("<html><head><title>KJFK</title></head>\r\n"
                                        "<pre>TAF: KJFK 271730Z 2718/2824 32012KT P6SM FEW050</pre>\r\n"
                                        "<a href=\"?ids=KJFK\">KJFK 272151Z 31011KT</a>\r\n" // first KJFK is the link's
                                        "KJFK 27215Z 31011KT\r\n"                          // time group too short
                                        "<code>  KJFK 272151Z 31011KT <i>10SM</i> M02/M14 A3017 </code><br/>\r\n"
                                        "<code>KJFK 272051Z 31012KT 10SM FEW050 M01/M14 A3016</code>\r\n");
    EXPECT_EQ(line(extractMetarLine(page, kAwcJfk)), QStringLiteral("KJFK 272151Z 31011KT 10SM M02/M14 A3017"));
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("TAF: KJFK 271730Z 2718/2824"), kAwcJfk)), QStringLiteral("error 6"));
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("kjfk 272151Z 31011KT"), kAwcJfk)), QStringLiteral("error 6"));
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("KJFK 271730"), kAwcJfk)), QStringLiteral("error 6"));
    EXPECT_EQ(line(extractMetarLine(QString(), kAwcJfk)), QStringLiteral("error 5"));
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("\r\n"), kAwcJfk)), QStringLiteral("error 6")) << "an empty line is a line";
    // A ">" before the first "<" goes with everything up to that "<"; markup
    // may leave nothing at all.
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("LFPG 071030Z a>b<c> Q1013"), kOgimet)), QStringLiteral("c> Q1013"));
    EXPECT_EQ(line(extractMetarLine(QStringLiteral("LFPG 071030Z >x<y</b><"), kOgimet)), QString());
}

// The markup rule done one deletion at a time, against the one-pass version,
// on every mix of up to 8 characters of tags, text and blanks.
TEST(MetarExtraction, MarkupRemovalMatchesTheStepByStepRule)
{
    auto stepByStep = [](QString s) {
        while (s.contains(QLatin1Char('<'))) {
            const qsizetype a = s.indexOf(QLatin1Char('<'));
            const qsizetype b = s.indexOf(QLatin1Char('>'));
            s.remove(a < b ? a : 0, a < b ? b - a + 1 : a + 1);
        }
        while (s.startsWith(QLatin1Char(' ')))
            s.remove(0, 1);
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s;
    };
    const char alphabet[] = {'<', '>', 'x', ' '};
    int checked = 0;
    for (int length = 0, combinations = 1; length <= 8; ++length, combinations *= 4) {
        for (int n = 0; n < combinations; ++n, ++checked) {
            QString page = QStringLiteral("LFPG 071030Z ");
            for (int i = 0, k = n; i < length; ++i, k /= 4)
                page += QLatin1Char(alphabet[k % 4]);
            ASSERT_EQ(line(extractMetarLine(page, kOgimet)), stepByStep(page)) << qPrintable(page);
        }
    }
    EXPECT_EQ(checked, 87381);
}

TEST(MetarExtraction, DownloadKindAndAddressLabel)
{
    EXPECT_EQ(classifyMetarDownload("<h"), MetarDownload::TooShort);
    EXPECT_EQ(classifyMetarDownload("\r\n<html>"), MetarDownload::WebPage);
    EXPECT_EQ(classifyMetarDownload("\r\n\n<html>"), MetarDownload::Report) << "only 3 bytes are looked at";
    const QString entry = kOgimet + QStringLiteral(" //Paris Orly //south") + QString(600, QLatin1Char('x'));
    EXPECT_EQ(metarAddress(entry), kOgimet) << "a long label goes as a whole";
    EXPECT_EQ(metarLabel(entry).left(18), QStringLiteral("Paris Orly //south"));
    EXPECT_EQ(metarLabel(entry).size(), 500);
    EXPECT_EQ(metarLabel(kAwcJfk), QStringLiteral("===================="));
}

TEST(MetarDecoding, ReferenceReportGivesEveryCaptionAndBothFiles)
{
    const Cycle c = decode(QStringLiteral("EGLL 071020Z 18005KT\r\nLFPG 071030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG\r\n\r\n"));
    ASSERT_EQ(c.r.outcome, MetarOutcome::Decoded);
    const SourceDisplay &d = c.d();
    EXPECT_EQ(QStringList({d.airportCode, d.pressureAdjustUnit, d.outdoorTemp.text, d.pressure.text, d.wind.text, d.gust.text, d.direction.text,
                           d.windChill.text, d.dewPoint, d.humidity.text, d.rain.text, d.dateTime.value_or(QStringLiteral("unset"))}),
              QStringList({QStringLiteral("Airport code = LFPG"), QStringLiteral("mBars"),
                           QStringLiteral("Outdoor T (%1C) = 12.0").arg(kDeg), QStringLiteral("Atm. P (mBar) = 1013.0"),
                           QStringLiteral("Wind (km/h) = 19"), QStringLiteral("Gust (km/h) = --"),
                           QStringLiteral("Direction (%1) = 240").arg(kDeg), QStringLiteral("Wind chill (%1C) = 10.0").arg(kDeg),
                           QStringLiteral("Dew point (%1C) = 8.0").arg(kDeg), QStringLiteral("Humidity (%) = 77"),
                           QStringLiteral("Precipitation = --"), QStringLiteral("7 Dec 2026  10:30:00")}));
    EXPECT_FALSE(d.outdoorTemp.red || d.pressure.red || d.wind.red || d.gust.red || d.windChill.red);
    EXPECT_EQ(c.s.dewPoint, 8);
    EXPECT_NEAR(c.s.windChill, 10.03, 0.01);
    EXPECT_EQ(c.s.outdoorHumidity, 77);
    EXPECT_EQ(c.reading(), QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
    EXPECT_EQ(c.r.uiviewBytes(), QByteArray("Dec 07 2026 10:30\r\n240/012g...t054r000p...P...h77b10130\r\n"));
    EXPECT_EQ(c.r.cwBytes(), QByteArray(" TEMP 12C = QNH 1013mBar = WS 19km/h = WCT 10C = HUM 77 \r\n"));
}

TEST(MetarDecoding, ImperialUnitsAndPressureAdjustment)
{
    MetarSettings settings = kDec7;
    settings.units.setCelsius(false);
    settings.units.setMillibars(false);
    settings.units.setKmh(false);
    settings.pressureOffset = 5; // 0.05 inHg
    const Cycle c = decode(QStringLiteral("LFPG 071030Z 24010KT 12/08 Q1013"), settings);
    EXPECT_EQ(QStringList({c.d().pressureAdjustUnit, c.d().outdoorTemp.text, c.d().pressure.text, c.d().wind.text, c.d().windChill.text}),
              QStringList({QStringLiteral("0.01*inHg"), QStringLiteral("Outdoor T (%1F) = 53.6").arg(kDeg),
                           QStringLiteral("Atm. P (inHg) = 29.96"), QStringLiteral("Wind (mph) = 12"),
                           QStringLiteral("Wind chill (%1F) = 50.1").arg(kDeg)}));
    EXPECT_NEAR(c.s.pressure, 0.05 + 1013 * 0.02953, 1e-9);
    EXPECT_EQ(c.s.pressureOffset, 5);
    EXPECT_EQ(c.wx(), QStringLiteral("240/012g...t054r000p...P...h77b10130")) << "the exchange file keeps its units";
    EXPECT_EQ(c.r.cwLines, QStringList{QStringLiteral(" TEMP 54F = QNH 30inHg = WS 12mph = WCT 50F = HUM 77 ")});
}

TEST(MetarDecoding, ReportTimeZonesAndMonthStart)
{
    // UT+5:30: 1045Z is 16:15 local; later in the day the local date moves on.
    MetarSettings india = at(QDateTime(QDate(2026, 12, 7), QTime(16, 40)), 330);
    Cycle c = decode(QStringLiteral("VIDP 071045Z 00000KT"), india);
    EXPECT_EQ(c.r.uiviewLines.at(0), QStringLiteral("Dec 07 2026 16:15"));
    EXPECT_EQ(c.r.reportUtc, QDateTime(QDate(2026, 12, 7), QTime(10, 45), Qt::UTC));
    EXPECT_EQ(c.d().dateTime, QStringLiteral("7 Dec 2026  10:45:00")) << "ComboBoxTU on UT";
    india.timeShown = 1;
    EXPECT_EQ(decode(QStringLiteral("VIDP 071045Z"), india).d().dateTime, QStringLiteral("7 Dec 2026  16:15:00"));
    india.now = QDateTime(QDate(2026, 12, 8), QTime(0, 20));
    EXPECT_EQ(decode(QStringLiteral("VIDP 071845Z"), india).r.uiviewLines.at(0), QStringLiteral("Dec 08 2026 00:15"));
    EXPECT_EQ(decode(QStringLiteral("KJFK 080230Z"), at(QDateTime(QDate(2026, 12, 7), QTime(21, 40)), -300)).reading(),
              QDateTime(QDate(2026, 12, 7), QTime(21, 30)));
    // The first token that makes a date wins, token 0 included.
    EXPECT_EQ(decode(QStringLiteral("LFPG 321030Z 071261Z 072400Z 07103AZ 071030Z")).reading(),
              QDateTime(QDate(2026, 12, 7), QTime(10, 30)));
    EXPECT_EQ(decode(QStringLiteral("071030Z 24010KT")).reading(), QDateTime(QDate(2026, 12, 7), QTime(10, 30)));

    // On the 1st (UT), day 28 or later belongs to the month before.
    const struct
    {
        QDate today;
        const char *report;
        QDateTime expected; // invalid: no date, the earlier reading time stays
    } months[] = {
        {QDate(2026, 10, 1), "LFPG 302350Z", QDateTime(QDate(2026, 9, 30), QTime(23, 50))},
        {QDate(2026, 1, 1), "LFPG 311230Z", QDateTime(QDate(2025, 12, 31), QTime(12, 30))},
        {QDate(2025, 3, 1), "LFPG 280900Z", QDateTime(QDate(2025, 2, 28), QTime(9, 0))},
        {QDate(2026, 10, 1), "LFPG 010010Z", QDateTime(QDate(2026, 10, 1), QTime(0, 10))},
        {QDate(2026, 10, 2), "LFPG 301200Z", QDateTime(QDate(2026, 10, 30), QTime(12, 0))}, // only on the 1st
        {QDate(2026, 10, 1), "LFPG 311230Z", {}},                                           // September has 30
        {QDate(2025, 3, 1), "LFPG 291230Z", {}},
        {QDate(2026, 11, 15), "LFPG 311230Z", {}},
    };
    const QDateTime earlier(QDate(2026, 5, 4), QTime(3, 2));
    SourceDisplay shown;
    shown.dateTime = QStringLiteral("earlier");
    for (const auto &m : months) {
        Cycle k;
        k.s.readingTime = DateTimeUtil::toDays(earlier);
        k.r = decodeMetar(QString::fromLatin1(m.report), at(QDateTime(m.today, QTime(0, 20))), k.s, shown);
        EXPECT_EQ(k.reading(), m.expected.isValid() ? m.expected : earlier) << m.report;
        EXPECT_EQ(k.d().dateTime.value_or(QStringLiteral("unset")).isEmpty(), !m.expected.isValid()) << m.report;
        if (!m.expected.isValid()) {
            EXPECT_EQ(k.r.uiviewLines.at(0), QStringLiteral("May 04 2026 03:02")) << "the last time decoded";
        }
    }
    EXPECT_EQ(decode(QStringLiteral("LFPG 24010KT"), kDec7, shown).d().dateTime, QStringLiteral("earlier"))
        << "no time group at all: the date stays";
    EXPECT_EQ(decode(QStringLiteral("LFPG 071030Z"), at(QDateTime())).d().dateTime, QString());
}

// Each group, as the exchange file (direction/mph, gust, F, rain, humidity,
// QNH) and the snapshot (C, km/h, hPa) give it.
TEST(MetarDecoding, GroupsInTheExchangeFileAndSnapshot)
{
    const struct
    {
        const char *groups;
        const char *wx;
        double temp, wind, gust;
        int direction;
        double pressure;
    } cases[] = {
        {"24010G25KT 12/08 Q1013", "240/012g029t054r000p...P...h77b10130", 12, 18.52, 46.3, 240, 1013},
        {"27015KMH M05/M10 Q0998", "270/009g...t023r000p...P...h68b09980", -5, 15, 0, 270, 998},
        {"09005G12MPS 12/M01 A2992", "090/011g027t054r000p...P...h41b10130", 12, 18, 43.2, 90, 2992 * 0.338639},
        {"VRB03KT M20/M25", ".../003g...t-04r000p...P...h64b.....", -20, 5.556, 0, 999, 900},
        {"/////KT 1/2SM 10/05", ".../...g...t050r000p...P...h71b.....", 10, -1, 0, -1, 900},
        {"240//KT XX/05 10/05", "240/...g...t...r000p...P...h..b.....", -200, -1, 0, 240, 900},
        {"24010G//KT 12/XX", "240/012g...t054r000p...P...h..b.....", 12, 18.52, 0, 240, 900},
        {"240XXG25KT 10///// 11/05", "240/...g...t052r000p...P...h67b.....", 11, -1, 0, 240, 900},
        {"36110KT 20/20 Q//// Q1013", ".../012g...t068r000p...P...h99b10130", 20, 18.52, 0, -1, 1013},
        {"00000KT 30/10 A2992 Q1013", "000/000g...t086r000p...P...h29b10130", 30, 0, 0, 0, 2992 * 0.338639},
        {"KT 24010KT 40/-200", ".../...g...t104r000p...P...h01b.....", 40, -1, 0, -1, 900},
        {"24099999999999KT 10/-244", "240/...g...t050r000p...P...h..b.....", 10, -1, 0, 240, 900},
        {"240999G9999KT 999/10 M99/M99", "240/...g...t...r000p...P...h01b.....", 999, 1850.148, 18518.148, 240, 900},
        {"24020KT 9999 Q10130", "240/023g...t...r000p...P...h..b.....", -200, 37.04, 0, 240, 900},
    };
    for (const auto &k : cases) {
        const Cycle c = decode(QStringLiteral("LFPG 071030Z ") + QLatin1String(k.groups));
        EXPECT_EQ(c.wx(), QLatin1String(k.wx)) << k.groups;
        EXPECT_DOUBLE_EQ(c.s.outdoorTemp, k.temp) << k.groups;
        EXPECT_NEAR(c.s.windSpeed, k.wind, 1e-9) << k.groups;
        EXPECT_NEAR(c.s.windGust, k.gust, 1e-9) << k.groups;
        EXPECT_EQ(c.s.windDirection, k.direction) << k.groups;
        EXPECT_NEAR(c.s.pressure, k.pressure, 1e-9) << k.groups;
        EXPECT_EQ(c.d().outdoorTemp.text.endsWith(QLatin1String("--")), k.temp == -200) << k.groups;
        EXPECT_EQ(c.d().wind.text.endsWith(QLatin1String("--")), k.wind == -1) << k.groups;
        EXPECT_EQ(c.d().windChill.text.endsWith(QLatin1String("--")), c.s.windChill == -200) << k.groups;
        EXPECT_TRUE(std::isfinite(c.s.dewPoint) && std::isfinite(c.s.windChill)) << k.groups;
    }
    EXPECT_EQ(decode(QStringLiteral("LFPG 071030Z VRB03KT")).d().direction.text, QStringLiteral("Direction (%1) = variable").arg(kDeg));
    // Without a temperature: no wind chill, humidity or TEMP in the summary;
    // a failed dew point leaves the snapshot's as it was.
    Cycle c;
    c.s.dewPoint = 3.5;
    c.r = decodeMetar(QStringLiteral("LFPG 071030Z 24020KT 12/XX Q1013"), kDec7, c.s, {});
    EXPECT_EQ(QStringList({c.d().dewPoint, c.d().humidity.text}),
              QStringList({QStringLiteral("Dew point (%1C) = --").arg(kDeg), QStringLiteral("Humidity (%) = --")}));
    EXPECT_EQ(c.s.dewPoint, 3.5);
    EXPECT_EQ(c.s.outdoorHumidity, -1);
    EXPECT_EQ(decode(QStringLiteral("LFPG 071030Z 24020KT Q1013")).r.cwLines.at(0), QStringLiteral(" = QNH 1013mBar = WS 37km/h "));
    MetarSettings adjusted = kDec7;
    adjusted.pressureOffset = -3;
    c = decode(QStringLiteral("LFPG 071030Z Q1013"), adjusted);
    EXPECT_EQ(c.d().pressure.text, QStringLiteral("Atm. P (mBar) = 1010.0"));
    EXPECT_TRUE(c.wx().endsWith(QStringLiteral("b10130"))) << "the adjustment is the window's only";
}

TEST(MetarDecoding, PhenomenaCaptionsAndRainField)
{
    namespace P = Precipitation;
    const struct
    {
        const char *tokens;
        int flags;
        const char *caption;
        const char *rain;
    } cases[] = {
        {"RA", P::Rain, "Raining moderately", "r020"},       {"SHRA", P::Rain, "Raining moderately", "r020"},
        {"TSRA", P::Rain, "Raining moderately", "r020"},     {"FZRA", P::Rain, "Raining moderately", "r020"},
        {"-RA", P::Rain | P::Light, "Raining lightly", "r005"}, {"-SHRA", P::Rain | P::Light, "Raining lightly", "r005"},
        {"+RA", P::Rain | P::Heavy, "Raining heavily", "r060"}, {"+TSRA", P::Rain | P::Heavy, "Raining heavily", "r060"},
        {"SN", P::Snow, "Snowing moderately", "r020"},       {"SHSN", P::Snow, "Snowing moderately", "r020"},
        {"-SN", P::Snow | P::Light, "Snowing lightly", "r005"}, {"+SN", P::Snow | P::Heavy, "Snowing heavily", "r060"},
        {"-RASN", P::Snow | P::Light, "Snowing lightly", "r005"}, {"GR", P::Hail, "Hailing", "r020"},
        {"BR", P::Mist, "Mist", "r020"},                     {"FG", P::Fog, "Fog", "r020"},
        {"BCFG", P::Fog, "Fog", "r020"},                     {"MIFG", P::Fog, "Fog", "r020"},
        {"FZFG", P::Fog, "Fog", "r020"},
        // An intensity alone keeps the caption shown before.
        {"-DZ", P::Light, "Raining heavily", "r005"},        {"+FC BR", P::Heavy, "Raining heavily", "r060"},
        // Not a phenomenon: the search goes on.
        {"DZ -SN", P::Snow | P::Light, "Snowing lightly", "r005"}, {"VCSH FG", P::Fog, "Fog", "r020"},
        {"RAB15 +RA", P::Rain | P::Heavy, "Raining heavily", "r060"}, {"XRA HZ", 0, "Precipitation = --", "r000"},
    };
    SourceDisplay shown;
    shown.rain.text = QStringLiteral("Raining heavily");
    for (const auto &k : cases) {
        const Cycle c = decode(QStringLiteral("LFPG 071030Z 9999 %1 12/08").arg(QLatin1String(k.tokens)), kDec7, shown);
        EXPECT_EQ(c.s.precipitation, k.flags) << k.tokens;
        EXPECT_EQ(c.d().rain.text, QLatin1String(k.caption)) << k.tokens;
        EXPECT_EQ(c.wx().mid(15, 12), QLatin1String(k.rain) + QStringLiteral("p...P...")) << k.tokens;
    }
    shown.rain.text = QStringLiteral("Precipitation = --");
    EXPECT_EQ(decode(QStringLiteral("LFPG 071030Z -DZ"), kDec7, shown).wx().mid(15, 4), QStringLiteral("r000"))
        << "an intensity alone after a cycle that showed none";
    EXPECT_EQ(decode(QStringLiteral("FG 071030Z")).s.precipitation, 0) << "the station code is no phenomenon";
}

TEST(MetarDecoding, RedMarking)
{
    Cycle c = decode(QStringLiteral("OEDR 071030Z 240107G108KT 61/10 Q0929"));
    EXPECT_TRUE(c.d().outdoorTemp.red && c.d().pressure.red && c.d().windChill.red && c.d().gust.red);
    EXPECT_FALSE(c.d().wind.red) << "107 kt is 198.2 km/h";
    c = decode(QStringLiteral("OEDR 071030Z 240108KT 60/10 Q0930"));
    EXPECT_TRUE(c.d().wind.red);
    EXPECT_FALSE(c.d().outdoorTemp.red || c.d().pressure.red || c.d().gust.red);
    EXPECT_TRUE(decode(QStringLiteral("LFPG 071030Z Q1051")).d().pressure.red);
    EXPECT_TRUE(decode(QStringLiteral("LFPG 071030Z 240-5KT")).d().wind.red) << "a negative speed";
    c = decode(QStringLiteral("CYXX 071030Z 24040KT M45/M50"));
    EXPECT_TRUE(c.d().windChill.red && !c.d().outdoorTemp.red);
    // Missing values are never red, and every cycle starts black.
    SourceDisplay shown;
    shown.outdoorTemp.red = shown.pressure.red = shown.wind.red = shown.gust.red = shown.windChill.red = true;
    c = decode(QStringLiteral("LFPG"), kDec7, shown);
    EXPECT_FALSE(c.d().outdoorTemp.red || c.d().pressure.red || c.d().wind.red || c.d().gust.red || c.d().windChill.red);
}

TEST(MetarDecoding, FiftyTokensAndEmptyOrMissingFiles)
{
    const QString filler = QStringLiteral("LFPG 071030Z") + QString(47, QLatin1Char(' ')); // slots 2..47 empty
    EXPECT_EQ(decode(filler + QStringLiteral(" 12/08")).s.outdoorTemp, 12) << "token 49 is the last one read";
    EXPECT_EQ(decode(filler + QStringLiteral("  12/08 Q1013")).wx(), QStringLiteral(".../...g...t...r000p...P...h..b....."));
    Cycle c = decode(QStringLiteral("\r\n\r\n"));
    EXPECT_EQ(c.r.outcome, MetarOutcome::Decoded) << "blank lines decode as an empty report";
    EXPECT_EQ(c.r.cwLines, QStringList{QStringLiteral(" ")});

    SourceDisplay shown = metarCaptionsAfterFetch(UnitSettings{}, SourceDisplay{});
    EXPECT_EQ(QStringList({shown.outdoorTemp.text, shown.humidity.text, shown.rain.text}),
              QStringList({QStringLiteral("Outdoor T (%1C) = ").arg(kDeg), QStringLiteral("Humidity (%) ="),
                           QStringLiteral("Precipitation =")}));
    shown.outdoorTemp.text = QStringLiteral("Outdoor T (%1C) = 70.0").arg(kDeg);
    shown.outdoorTemp.red = true;
    WeatherSnapshot s;
    s.outdoorTemp = 70;
    s.readingTime = DateTimeUtil::toDays(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    MetarSettings settings = kDec7;
    settings.pressureOffset = 4;
    MetarReading r = decodeMetar(QString(), settings, s, shown);
    EXPECT_EQ(r.outcome, MetarOutcome::EmptyFile);
    EXPECT_TRUE(r.uiviewLines.isEmpty() && r.cwLines.isEmpty());
    EXPECT_EQ(r.display.outdoorTemp.text, shown.outdoorTemp.text);
    r = metarWithoutReport(settings, s, shown);
    EXPECT_EQ(r.outcome, MetarOutcome::NoReport);
    EXPECT_EQ(r.display.outdoorTemp.text, shown.outdoorTemp.text);
    EXPECT_FALSE(r.display.outdoorTemp.red);
    EXPECT_EQ(s.outdoorTemp, 70);
    EXPECT_EQ(s.pressureOffset, 4);
    EXPECT_EQ(r.uiviewBytes(), QByteArray("Dec 07 2026 09:00\r\n.../...g...t...r000p...P...h..b.....\r\n"));
    EXPECT_EQ(r.cwBytes(), QByteArray(" \r\n"));

    // No report time ever decoded: no time at all, never 30 December 1899.
    WeatherSnapshot fresh;
    r = metarWithoutReport(settings, fresh, shown);
    EXPECT_EQ(r.uiviewBytes(), QByteArray("\r\n.../...g...t...r000p...P...h..b.....\r\n"));
    r = decodeMetar(QStringLiteral("LFPG 24010KT 12/08 Q1013"), kDec7, fresh, shown);
    EXPECT_EQ(r.uiviewLines.at(0), QString()) << "a report without its time group";
    EXPECT_EQ(r.uiviewLines.at(1), QStringLiteral("240/012g...t054r000p...P...h77b10130"));
    r = decodeMetar(QStringLiteral("LFPG 071030Z 24010KT"), kDec7, fresh, shown);
    EXPECT_EQ(r.uiviewLines.at(0), QStringLiteral("Dec 07 2026 10:30"));
}

// ---------------------------------------------------------------------------
// A day of real reports against the service's decoding. Every difference
// must have one of the listed reasons, found by reading each such report.
// ---------------------------------------------------------------------------

namespace {

struct ServiceRow
{
    QString raw, time, temp, dir, speed, gust, altimeter;
    QStringList tokens;
    bool has(const char *pattern) const
    {
        const QRegularExpression re(QStringLiteral("^%1$").arg(QLatin1String(pattern)));
        return std::any_of(tokens.begin() + 1, tokens.end(), [&](const QString &t) { return re.match(t).hasMatch(); });
    }
    qsizetype first(const char *pattern) const
    {
        return tokens.indexOf(QRegularExpression(QStringLiteral("^%1$").arg(QLatin1String(pattern))), 1);
    }
};

using Why = std::function<bool(const ServiceRow &, double ours)>;

struct Tally
{
    Tally(std::vector<std::pair<std::string, Why>> r = {}) : reasons(std::move(r)) {}
    std::vector<std::pair<std::string, Why>> reasons;
    int agreed = 0;
    std::map<std::string, int> explained;
    QStringList unexplained;

    void add(const ServiceRow &row, double ours, double service) // NaN: no value
    {
        if (std::isnan(ours) && std::isnan(service))
            return;
        if (ours == service) {
            ++agreed;
            return;
        }
        for (const auto &[name, applies] : reasons)
            if (applies(row, ours)) {
                ++explained[name];
                return;
            }
        unexplained << QStringLiteral("ours %1, service %2: %3").arg(ours).arg(service).arg(row.raw);
    }
};

double number(const QString &text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : std::nan("");
}

} // namespace

TEST(MetarRealReports, AgreeWithTheWeatherServicesDecoding)
{
    QFile f(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/metar-noaa-2025-01-27.csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    std::vector<ServiceRow> rows;
    for (qsizetype i = 7; i < lines.size(); ++i) { // 6 lines of preamble and the header; no field is quoted
        const QStringList c = lines[i].trimmed().split(QLatin1Char(','));
        ASSERT_GE(c.size(), 12);
        rows.push_back({c[0], c[2], c[5], c[7], c[8], c[9], c[11], c[0].split(QLatin1Char(' '))});
    }
    ASSERT_EQ(rows.size(), 4908u); // the preamble's "4909 results" counts one more

    const double none = std::nan("");
    const std::pair<std::string, Why> garbled{"no wind group", [](const ServiceRow &r, double) { return !r.has(".*(KT|MPS|KMH)"); }};
    const std::pair<std::string, Why> runTogether{"time and wind run together",
                                                  [](const ServiceRow &r, double) { return r.has("\\d{6}Z\\S+KT"); }};
    const double dataSetTime = DateTimeUtil::toDays(QDateTime(QDate(2025, 1, 27), QTime(23, 0)));
    Tally time{{garbled, runTogether,
                {"no day in the time group", [](const ServiceRow &r, double ours) { return std::isnan(ours) && r.has("\\d{4}Z"); }},
                {"time group after the data set", [&](const ServiceRow &, double ours) { return ours > dataSetTime; }}}};
    // The service reads the remark's tenths (T01070046): at exactly half a
    // degree the station's whole degrees and the rounded tenths part ways;
    // PHNG gives 22 with T0227.
    const auto tenthsOff = [](const ServiceRow &r, double ours, double lo, double hi) {
        const double off = std::abs(ours - r.temp.toDouble());
        return r.has("T[01]\\d{7}") && off >= lo && off < hi;
    };
    Tally temperature{{{"no dew point (\"04/\")", [](const ServiceRow &r, double ours) { return std::isnan(ours) && r.has("M?\\d\\d/\\d?"); }},
                       {"remark tenths at .5", [&](const ServiceRow &r, double ours) { return tenthsOff(r, ours, 0.5, 0.51); }},
                       {"remark tenths disagree", [&](const ServiceRow &r, double ours) { return tenthsOff(r, ours, 0.51, 1); }}}};
    Tally direction{{garbled, runTogether,
                     {"000 with a speed, service VRB", [](const ServiceRow &r, double ours) { return ours == 0 && r.has("000(0[1-9]|[1-9]\\d)KT"); }},
                     {"letter before the group", [](const ServiceRow &r, double ours) { return std::isnan(ours) && r.has("[A-Z]\\d{5}KT"); }}}};
    Tally speed{{garbled, runTogether,
                 {"speed without direction", [](const ServiceRow &r, double) { return r.speed.isEmpty() && r.has("///\\d\\dKT"); }}}};
    Tally gust;
    Tally pressure{{{"A before Q, service takes Q", [](const ServiceRow &r, double) {
                         return r.first("A\\d{4}") > 0 && r.first("Q\\d{4}") > r.first("A\\d{4}");
                     }}}};

    MetarSettings settings = at(QDateTime(QDate(2025, 1, 27), QTime(23, 0)));
    settings.units.setMillibars(false); // inHg, as the service gives it
    int mps = 0;
    for (const ServiceRow &row : rows) {
        WeatherSnapshot s;
        const MetarReading r = decodeMetar(row.raw, settings, s);
        auto has = [](const QString &caption) { return !caption.contains(QStringLiteral("--")); };
        time.add(row, r.reportUtc ? DateTimeUtil::toDays(*r.reportUtc) : none,
                 DateTimeUtil::toDays(QDateTime::fromString(row.time, Qt::ISODate).toUTC()));
        temperature.add(row, has(r.display.outdoorTemp.text) ? s.outdoorTemp : none, std::round(number(row.temp)));
        // Wind in knots, whatever the report's unit.
        mps += row.has("\\S+MPS");
        direction.add(row, s.windDirection == -1 ? none : s.windDirection,
                      row.dir == QLatin1String("VRB") ? 999 : number(row.dir));
        speed.add(row, has(r.display.wind.text) ? std::round(s.windSpeed / 1.852) : none, number(row.speed));
        gust.add(row, has(r.display.gust.text) ? std::round(s.windGust / 1.852) : none, number(row.gust));
        // Pressure in inHg (0.00 is the service's "none"). An A group must come
        // out to the hundredth. The service's conversion of a Q group rounds
        // some values down and others to the nearest (1005 hPa 29.68, 1027 hPa
        // 30.32), so there ours must lie within its hundredth: a third of a
        // hectopascal, finer than the group's own step.
        const double service = number(row.altimeter) == 0 ? none : number(row.altimeter);
        double ours = has(r.display.pressure.text) ? std::round(s.pressure * 100) / 100 : none;
        const qsizetype q = row.first("Q\\d{4}"), a = row.first("A\\d{4}");
        if (q > 0 && (a < 0 || q < a) && std::abs(s.pressure - service) < 0.01)
            ours = service;
        pressure.add(row, ours, service);
    }

    using Counts = std::map<std::string, int>;
    const std::pair<const char *, Tally *> all[] = {{"time", &time},   {"temperature", &temperature}, {"direction", &direction},
                                                     {"speed", &speed}, {"gust", &gust},               {"pressure", &pressure}};
    for (const auto &[name, t] : all) {
        int explained = 0;
        for (const auto &[reason, n] : t->explained)
            explained += n;
        std::printf("%-11s agree %4d, explained %2d\n", name, t->agreed, explained);
        EXPECT_TRUE(t->unexplained.isEmpty()) << name << ":\n" << qPrintable(t->unexplained.join(QLatin1Char('\n')));
    }
    EXPECT_EQ(mps, 140);
    EXPECT_EQ(time.agreed, 4904);
    EXPECT_EQ(time.explained, (Counts{{"no wind group", 1}, {"time and wind run together", 1},
                                      {"no day in the time group", 1}, {"time group after the data set", 1}}));
    EXPECT_EQ(temperature.agreed, 4835);
    EXPECT_EQ(temperature.explained,
              (Counts{{"no dew point (\"04/\")", 16}, {"remark tenths at .5", 5}, {"remark tenths disagree", 1}}));
    EXPECT_EQ(direction.agreed, 4819);
    EXPECT_EQ(direction.explained, (Counts{{"000 with a speed, service VRB", 2}, {"no wind group", 1},
                                           {"letter before the group", 2}, {"time and wind run together", 1}}));
    EXPECT_EQ(speed.agreed, 4823);
    EXPECT_EQ(speed.explained, (Counts{{"no wind group", 1}, {"speed without direction", 2}, {"time and wind run together", 1}}));
    EXPECT_EQ(gust.agreed, 1040);
    EXPECT_TRUE(gust.explained.empty());
    EXPECT_EQ(pressure.agreed, 4615);
    EXPECT_EQ(pressure.explained, (Counts{{"A before Q, service takes Q", 2}}));
}
