// The Monitor II reading's values: the station's units into the display
// units, the plausibility of each value, and the gust over the readings.

#include "stations/MonitorReading.h"
#include "stations/MonitorStation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace auravox;

namespace {

UnitSettings imperial()
{
    UnitSettings u;
    u.setCelsius(false);
    u.setMillibars(false);
    u.setKmh(false);
    return u;
}

} // namespace

TEST(MonitorReading, ConvertsTheStationsUnitsIntoMetricCaptions)
{
    const UnitSettings u;
    MonitorReading r;
    WeatherSnapshot s;
    const std::optional<MonitorCaption> indoor = r.indoorTemp(u, 68, s);
    ASSERT_TRUE(indoor);
    EXPECT_EQ(indoor->text, QStringLiteral("Indoor T (\u00b0C)= 20.0"));
    EXPECT_TRUE(indoor->plausible);
    EXPECT_DOUBLE_EQ(s.indoorTemp, 20.0);

    const MonitorCaption outdoor = r.outdoorTemp(u, 23, s);
    EXPECT_EQ(outdoor.text, QStringLiteral("Outdoor T (\u00b0C) = -5.0"));
    EXPECT_DOUBLE_EQ(s.outdoorTemp, -5.0);

    const MonitorCaption pressure = r.pressure(u, 29.92, s);
    EXPECT_EQ(pressure.text, QStringLiteral("Atm. P (mBar) = 1013.2"));
    EXPECT_NEAR(s.pressure, 1013.21, 0.01);
    EXPECT_TRUE(pressure.plausible);

    const MonitorWind wind = r.wind(u, 10, s);
    EXPECT_EQ(wind.wind.text, QStringLiteral("Wind (km/h) = 16"));
    EXPECT_DOUBLE_EQ(s.windSpeed, 16.09344);
    EXPECT_EQ(wind.gust, QStringLiteral("Gust (km/h) = 16"));

    EXPECT_EQ(r.direction(270, s), QStringLiteral("Direction (\u00b0) = 270"));
    EXPECT_EQ(s.windDirection, 270);
}

TEST(MonitorReading, KeepsTheStationsOwnUnitsForImperialSettings)
{
    const UnitSettings u = imperial();
    MonitorReading r;
    WeatherSnapshot s;
    EXPECT_EQ(r.indoorTemp(u, 68, s)->text, QStringLiteral("Indoor T (\u00b0F)= 68.0"));
    EXPECT_EQ(r.outdoorTemp(u, 41.5, s).text, QStringLiteral("Outdoor T (\u00b0F) = 41.5"));
    EXPECT_EQ(r.pressure(u, 29.92, s).text, QStringLiteral("Atm. P (inHg) = 29.92"));
    EXPECT_TRUE(r.pressure(u, 29.92, s).plausible);
    EXPECT_EQ(r.wind(u, 12, s).wind.text, QStringLiteral("Wind (mph) = 12"));
    EXPECT_DOUBLE_EQ(s.windGust, 12);
}

TEST(MonitorReading, NoStationOnTheLineLeavesTheSnapshotAlone)
{
    for (const UnitSettings &u : {UnitSettings(), imperial()}) {
        MonitorReading r;
        WeatherSnapshot s;
        s.indoorTemp = 19.5;
        EXPECT_FALSE(r.indoorTemp(u, MonitorStation::kNoReading, s));
        EXPECT_FALSE(r.indoorTemp(u, std::numeric_limits<double>::quiet_NaN(), s));
        EXPECT_DOUBLE_EQ(s.indoorTemp, 19.5);
    }
    // Just above -70 C is a station, shown red.
    MonitorReading r;
    WeatherSnapshot s;
    const std::optional<MonitorCaption> cold = r.indoorTemp(UnitSettings(), -93, s); // -69.4 C
    ASSERT_TRUE(cold);
    EXPECT_FALSE(cold->plausible);
}

TEST(MonitorReading, ValuesOutsideTheLimitsAreShownRed)
{
    const UnitSettings u;
    MonitorReading r;
    WeatherSnapshot s;
    EXPECT_FALSE(r.outdoorTemp(u, MonitorStation::kNoReading, s).plausible);
    EXPECT_FALSE(r.outdoorTemp(u, 150, s).plausible); // 65.6 C
    EXPECT_TRUE(r.outdoorTemp(u, 140, s).plausible);  // 60 C
    EXPECT_FALSE(r.pressure(u, MonitorStation::kNoReading, s).plausible);
    EXPECT_FALSE(r.pressure(u, 27.0, s).plausible); // 914 mBar
    EXPECT_FALSE(r.wind(u, MonitorStation::kNoReading, s).wind.plausible);
    EXPECT_FALSE(r.wind(u, 130, s).wind.plausible); // 209 km/h
}

TEST(MonitorReading, TheGustIsTheHighestOfTheLastTenPlausibleWinds)
{
    const UnitSettings u = imperial(); // mph, as the station gives them
    MonitorReading r;
    WeatherSnapshot s;
    EXPECT_EQ(r.wind(u, 30, s).gust, QStringLiteral("Gust (mph) = 30"));
    for (int i = 0; i < 9; ++i)
        r.wind(u, 5, s);
    EXPECT_DOUBLE_EQ(s.windGust, 30) << "the tenth reading still holds the 30";
    // Bad values are red and never become the gust.
    const MonitorWind bad = r.wind(u, MonitorStation::kNoReading, s);
    EXPECT_FALSE(bad.wind.plausible);
    EXPECT_EQ(bad.gust, QStringLiteral("Gust (mph) = 30"));
    EXPECT_FALSE(r.wind(u, 250, s).wind.plausible);
    EXPECT_DOUBLE_EQ(s.windGust, 30);
    // The eleventh plausible reading pushes the 30 out.
    r.wind(u, 7, s);
    EXPECT_DOUBLE_EQ(s.windGust, 7);
    EXPECT_DOUBLE_EQ(s.windSpeed, 7);

    r.clearGustHistory();
    EXPECT_EQ(r.wind(u, 0, s).gust, QStringLiteral("Gust (mph) = 0"));
    // With only bad values since the start, the gust shows 0, never below.
    MonitorReading fresh;
    EXPECT_EQ(fresh.wind(u, -20, s).gust, QStringLiteral("Gust (mph) = 0"));
    EXPECT_DOUBLE_EQ(s.windGust, 0);
}

TEST(MonitorReading, TrendAndDirectionAsTheStationSaysThem)
{
    MonitorReading r;
    WeatherSnapshot s;
    EXPECT_EQ(r.pressureTrend(0, s), QStringLiteral("trend : steady"));
    EXPECT_EQ(r.pressureTrend(1, s), QStringLiteral("trend : rising"));
    EXPECT_EQ(r.pressureTrend(2, s), QStringLiteral("trend : falling"));
    EXPECT_EQ(s.pressureTrend, 2);
    EXPECT_FALSE(r.pressureTrend(MonitorStation::kNoTrend, s)) << "an unknown trend leaves the caption";
    EXPECT_EQ(s.pressureTrend, MonitorStation::kNoTrend) << "and is never spoken";
    // The "no value" flag stays: outside every direction the speech knows.
    EXPECT_EQ(r.direction(MonitorStation::kNoDirection, s), QStringLiteral("Direction (\u00b0) = 32768"));
    EXPECT_EQ(r.direction(0x7000 | 45, s), QStringLiteral("Direction (\u00b0) = 45")) << "stray high bits dropped";
}

TEST(MonitorReading, TheHourlyLogLineRoundsAndSurvivesBadValues)
{
    WeatherSnapshot s;
    s.indoorTemp = 21.5;
    s.outdoorTemp = -2.5;
    s.pressure = 1013.21;
    s.windSpeed = 16.09;
    s.windGust = 24.5;
    s.windDirection = 270;
    EXPECT_EQ(MonitorReading::logLine(s),
              QStringLiteral("M\u00e9t\u00e9o MonII Tint=22 Text=-2 Patm=1013 Vent=16 Rafale=24 Direction=270"));
    s.outdoorTemp = std::numeric_limits<double>::quiet_NaN();
    s.pressure = 1e9;
    EXPECT_EQ(MonitorReading::logLine(s),
              QStringLiteral("M\u00e9t\u00e9o MonII Tint=22 Text=0 Patm=0 Vent=16 Rafale=24 Direction=270"));
}
