// The spoken weather: each item's clips, limits, sentinels and units.

#include "engine/WeatherPhrases.h"
#include "support/Lists.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;
namespace WP = auravox::WeatherPhrases;

namespace {


WeatherContext ws23(std::initializer_list<WeatherItem> ticked)
{
    WeatherContext c;
    c.kind = SourceKind::Ws23;
    for (WeatherItem i : ticked)
        c.selection.set(i, true);
    return c;
}

WeatherContext imperial(WeatherContext c)
{
    c.units.setCelsius(false);
    c.units.setMillibars(false);
    c.units.setKmh(false);
    c.units.setMillimetres(false);
    return c;
}

} // namespace

TEST(WeatherPhrases, TemperaturesRoundHalfToEven)
{
    WeatherContext c = ws23({WeatherItem::OutdoorTemp, WeatherItem::IndoorTemp});
    c.snapshot.outdoorTemp = -3.5;
    EXPECT_EQ(WP::item(2, c), L({"son_ext_temp", "son_minus", "son4", "son_degrees"}));
    c.snapshot.outdoorTemp = 0.4;
    EXPECT_EQ(WP::item(2, c), L({"son_ext_temp", "son0", "son_degrees"}));
    c.snapshot.indoorTemp = 21.5;
    EXPECT_EQ(WP::item(1, c), L({"son_int_temp", "son22", "son_degrees"}));
}

TEST(WeatherPhrases, TemperatureLimitsAtTheirBoundsInBothUnits)
{
    WeatherContext c = ws23({WeatherItem::OutdoorTemp});
    for (auto [value, spoken] : {std::pair{-50.0, true}, {60.0, true}, {-50.6, false}, {60.6, false}}) {
        c.snapshot.outdoorTemp = value;
        EXPECT_EQ(!WP::item(2, c).isEmpty(), spoken) << value;
    }
    c = imperial(c); // -58 F .. 140 F
    for (auto [value, spoken] : {std::pair{-58.0, true}, {140.0, true}, {-58.6, false}, {140.6, false}}) {
        c.snapshot.outdoorTemp = value;
        EXPECT_EQ(!WP::item(2, c).isEmpty(), spoken) << value;
    }
    c.snapshot.outdoorTemp = 140;
    EXPECT_EQ(WP::item(2, c), L({"son_ext_temp", "son100_and", "son40", "son_degrees"}));
}

TEST(WeatherPhrases, PressureInMillibarsAndInches)
{
    WeatherContext c = ws23({WeatherItem::Pressure});
    c.snapshot.pressure = 1013.4;
    EXPECT_EQ(WP::item(3, c), L({"son_pressure", "son1000_and", "son13", "son_millibars"}));
    c.snapshot.pressure = 998;
    EXPECT_EQ(WP::item(3, c), L({"son_pressure", "son900_and", "son98", "son_millibars"}));
    c.snapshot.pressure = 1000;
    EXPECT_EQ(WP::item(3, c), L({"son_pressure", "son1000", "son_millibars"}));
    c.snapshot.pressure = 929.4;
    EXPECT_TRUE(WP::item(3, c).isEmpty());
    c.snapshot.pressure = 1050.4;
    EXPECT_FALSE(WP::item(3, c).isEmpty()) << "1050 after rounding";

    c = imperial(c);
    c.snapshot.pressure = 29.92;
    EXPECT_EQ(WP::item(3, c), L({"son_pressure", "son29", "son_point", "son9", "son2", "son_inhg"}));
    c.snapshot.pressure = 30.00;
    EXPECT_EQ(WP::item(3, c), L({"son_pressure", "son30", "son_inhg"}));
    c.snapshot.pressure = 930 * 0.02953 - 0.001;
    EXPECT_TRUE(WP::item(3, c).isEmpty()) << "inches are compared unrounded";
}

TEST(WeatherPhrases, WindGustAndDirection)
{
    WeatherContext c = ws23({WeatherItem::WindSpeed, WeatherItem::WindGust, WeatherItem::WindDirection});
    c.snapshot.windSpeed = 0;
    c.snapshot.windDirection = 270;
    EXPECT_EQ(WP::item(5, c), L({"son_wind", "son_null"}));
    EXPECT_TRUE(WP::item(7, c).isEmpty()) << "calm: no direction";
    c.snapshot.windSpeed = 12;
    c.snapshot.windDirection = 340;
    EXPECT_EQ(WP::item(5, c), L({"son_wind", "son12", "son_kmh"}));
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_north"}));
    c.sixteenPoints = true;
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_north_north_west"}));
    c.snapshot.windDirection = 350;
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_north"}));
    c.sixteenPoints = false;
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_north"}));
    c.snapshot.windDirection = 999;
    EXPECT_EQ(WP::item(7, c), L({"son_dir"})) << "variable, from a source other than METAR";
    c.kind = SourceKind::Metar;
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_variable"}));
    c.kind = SourceKind::Ws23;
    c.snapshot.windGust = 3;
    EXPECT_TRUE(WP::item(6, c).isEmpty()) << "a gust under 5 km/h";
    c.snapshot.windGust = 5;
    EXPECT_EQ(WP::item(6, c), L({"son_gust", "son5", "son_kmh"}));
    c.snapshot.windSpeed = 250; // out of limits, but the direction only needs a speed of 1
    c.snapshot.windDirection = 90;
    EXPECT_TRUE(WP::item(5, c).isEmpty());
    EXPECT_EQ(WP::item(7, c), L({"son_dir", "son_east"}));
    c.selection.set(WeatherItem::WindSpeed, false);
    EXPECT_TRUE(WP::item(7, c).isEmpty()) << "the wind item must be ticked";
    c = imperial(ws23({WeatherItem::WindSpeed}));
    c.snapshot.windSpeed = 123.65; // 199 km/h in mph is 123.65
    EXPECT_TRUE(WP::item(5, c).isEmpty()) << "124 mph is over the limit";
    c.snapshot.windSpeed = 10;
    EXPECT_EQ(WP::item(5, c), L({"son_wind", "son10", "son_mph"}));
}

TEST(WeatherPhrases, CompassCardsAtTheirBorders)
{
    EXPECT_EQ(WP::compassClip(22, false), QStringLiteral("son_north"));
    EXPECT_EQ(WP::compassClip(23, false), QStringLiteral("son_north_east"));
    EXPECT_EQ(WP::compassClip(337, false), QStringLiteral("son_north_west"));
    EXPECT_EQ(WP::compassClip(338, false), QStringLiteral("son_north"));
    EXPECT_EQ(WP::compassClip(360, true), QStringLiteral("son_north"));
    EXPECT_EQ(WP::compassClip(12, true), QStringLiteral("son_north_north_east"));
    EXPECT_EQ(WP::compassClip(236, true), QStringLiteral("son_south_west"));
    EXPECT_EQ(WP::compassClip(237, true), QStringLiteral("son_west_south_west"));
    EXPECT_EQ(WP::compassClip(348, true), QStringLiteral("son_north_north_west"));
    EXPECT_EQ(WP::compassClip(349, true), QStringLiteral("son_north"));
}

TEST(WeatherPhrases, RainChillHumidityAndTrend)
{
    WeatherContext c = ws23({WeatherItem::Rain24h, WeatherItem::WindChill, WeatherItem::OutdoorHumidity,
                             WeatherItem::PressureTrend});
    c.snapshot.rain24h = 0;
    EXPECT_EQ(WP::item(9, c), L({"son_rain24", "son_null"}));
    c.snapshot.rain24h = 198.4;
    EXPECT_EQ(WP::item(9, c), L({"son_rain24", "son100_and", "son98", "son_millimeters"}));
    c.snapshot.rain24h = 198.6;
    EXPECT_TRUE(WP::item(9, c).isEmpty());
    c.snapshot.rain24h = -1;
    EXPECT_TRUE(WP::item(9, c).isEmpty()) << "no rain reading";
    c.snapshot.windChill = -200;
    EXPECT_TRUE(WP::item(8, c).isEmpty());
    c.snapshot.windChill = -75;
    EXPECT_EQ(WP::item(8, c), L({"son_wind_chill", "son_minus", "son75", "son_degrees"}));
    c.snapshot.outdoorHumidity = 0;
    EXPECT_EQ(WP::item(11, c), L({"son_humidity", "son_null"}));
    c.snapshot.outdoorHumidity = 100;
    EXPECT_EQ(WP::item(11, c), L({"son_humidity", "son100", "son_percent"}));
    c.snapshot.pressureTrend = 2;
    EXPECT_EQ(WP::item(4, c), L({"son_falling"}));
    c.snapshot.pressureTrend = 3;
    EXPECT_TRUE(WP::item(4, c).isEmpty());

    c = imperial(c);
    c.snapshot.rain24h = 0.25;
    EXPECT_EQ(WP::item(9, c), L({"son_rain24", "son0", "son_point", "son2", "son5", "son_inch"}));
    c.snapshot.rain24h = 0.004;
    EXPECT_EQ(WP::item(9, c), L({"son_rain24", "son_null"}));
    c.snapshot.rain24h = 10;
    EXPECT_TRUE(WP::item(9, c).isEmpty());
    c.snapshot.windChill = -103; // -75 C is -103 F
    EXPECT_FALSE(WP::item(8, c).isEmpty());
    c.snapshot.windChill = -104;
    EXPECT_TRUE(WP::item(8, c).isEmpty());
}

TEST(WeatherPhrases, PresentWeatherOfMetar)
{
    namespace P = Precipitation;
    WeatherContext c;
    c.kind = SourceKind::Metar;
    c.selection.set(WeatherItem::Rain24h, true);
    c.snapshot.rain24h = 5;
    EXPECT_TRUE(WP::item(9, c).isEmpty()) << "METAR has no rain amount";
    c.snapshot.precipitation = P::Light | P::Rain;
    EXPECT_EQ(WP::item(10, c), L({"son_raining", "son_lightly"}));
    c.snapshot.precipitation = P::Light | P::Snow | P::Mist;
    EXPECT_EQ(WP::item(10, c), L({"son_snowing"}));
    c.snapshot.precipitation = P::Fog;
    EXPECT_EQ(WP::item(10, c), L({"son_fog"}));
    c.snapshot.precipitation = P::Heavy | P::Snow;
    EXPECT_EQ(WP::item(10, c), L({"son_snowing", "son_heavily"}));
    c.snapshot.precipitation = P::Rain;
    EXPECT_EQ(WP::item(10, c), L({"son_raining", "son_moderatly"}));
    c.kind = SourceKind::Ws23;
    EXPECT_TRUE(WP::item(10, c).isEmpty());
}

TEST(WeatherPhrases, SourcesWithoutAnItemNeverSpeakIt)
{
    WeatherContext c;
    c.kind = SourceKind::MonitorII;
    c.selection.items.fill(true);
    c.snapshot.windChill = 5;
    c.snapshot.rain24h = 3;
    c.snapshot.outdoorHumidity = 50;
    EXPECT_TRUE(WP::item(8, c).isEmpty());
    EXPECT_TRUE(WP::item(9, c).isEmpty());
    EXPECT_TRUE(WP::item(11, c).isEmpty());
    c.kind = SourceKind::Aprs;
    c.snapshot.indoorTemp = 20;
    c.snapshot.pressureTrend = 0;
    EXPECT_TRUE(WP::item(1, c).isEmpty());
    EXPECT_TRUE(WP::item(4, c).isEmpty());
    EXPECT_FALSE(WP::item(11, c).isEmpty());
}

TEST(WeatherPhrases, StalenessLimits)
{
    const double now = 46000.5;
    const double minute = 1.0 / 1440;
    EXPECT_TRUE(WP::fresh(Staleness::OneHour, SourceKind::Ws23, now, now - 60 * minute));
    EXPECT_TRUE(WP::fresh(Staleness::OneHour, SourceKind::Ws23, now, now - (60 + 20.0 / 60) * minute));
    EXPECT_FALSE(WP::fresh(Staleness::OneHour, SourceKind::Ws23, now, now - 61 * minute));
    EXPECT_TRUE(WP::fresh(Staleness::TwoHours, SourceKind::Ws23, now, now - 120.9 * minute));
    EXPECT_FALSE(WP::fresh(Staleness::ThreeHours, SourceKind::Metar, now, now - 181.5 * minute));
    EXPECT_TRUE(WP::fresh(Staleness::OneHour, SourceKind::MonitorII, now, 0)) << "read now";
    EXPECT_TRUE(WP::fresh(Staleness::Always, SourceKind::Ws23, now, 0));
}

TEST(WeatherSpeech, GateLeavesOutSourcesWithAnErrorLineOrNoSource)
{
    WeatherContext ctx = ws23({WeatherItem::OutdoorTemp});
    ctx.snapshot.outdoorTemp = 12;
    QString error;
    SourceWeatherSpeech::Source src;
    src.context = [&] { return ctx; };
    src.errorLine = [&](SourceKind) { return error; };
    SourceWeatherSpeech speech(src);
    EXPECT_TRUE(speech.beginWeather());
    EXPECT_EQ(speech.weatherItem(2), L({"son_ext_temp", "son12", "son_degrees"}));
    error = QStringLiteral("File error");
    EXPECT_FALSE(speech.beginWeather());
    ctx.kind = SourceKind::MonitorII;
    EXPECT_TRUE(speech.beginWeather()) << "the Monitor II window's error line does not count";
    ctx.kind = SourceKind::None;
    EXPECT_FALSE(speech.beginWeather());
}

TEST(WeatherPhrases, GustHumidityAndInchPressureBounds)
{
    WeatherContext c = ws23({WeatherItem::WindGust, WeatherItem::OutdoorHumidity, WeatherItem::Pressure});
    for (auto [gust, spoken] : {std::pair{4.5, false}, {4.6, true}, {199.4, true}, {199.6, false}}) {
        c.snapshot.windGust = gust;
        EXPECT_EQ(!WP::item(6, c).isEmpty(), spoken) << gust;
    }
    for (auto [h, spoken] : {std::pair{-0.6, false}, {-0.4, true}, {100.4, true}, {100.6, false}}) {
        c.snapshot.outdoorHumidity = h;
        EXPECT_EQ(!WP::item(11, c).isEmpty(), spoken) << h;
    }
    c = imperial(c); // 930 hPa = 27.4629 inHg, 1050 hPa = 31.0065 inHg; 5 km/h = 3.1 mph
    for (auto [p, spoken] : {std::pair{27.46, false}, {27.47, true}, {31.0, true}, {31.01, false}}) {
        c.snapshot.pressure = p;
        EXPECT_EQ(!WP::item(3, c).isEmpty(), spoken) << p;
    }
    c.snapshot.windGust = 3;
    EXPECT_TRUE(WP::item(6, c).isEmpty()) << "3 mph is under 3.1 mph";
    c.snapshot.windGust = 4;
    EXPECT_EQ(WP::item(6, c), L({"son_gust", "son4", "son_mph"}));
}

TEST(UnitSettings, FactorsAndCaptions)
{
    UnitSettings u;
    EXPECT_EQ(u.temperature(20), 20);
    u.setCelsius(false);
    EXPECT_DOUBLE_EQ(u.temperature(-40), -40);
    EXPECT_DOUBLE_EQ(u.temperature(100), 212);
    u.setMillibars(false);
    EXPECT_DOUBLE_EQ(u.pressureOffsetFactor, 0.01);
    EXPECT_DOUBLE_EQ(u.pressureTrendFactor, 0.01);
    EXPECT_EQ(UnitSettings::withTemperatureLabel(QStringLiteral("Indoor T (\u00b0C) ="), u.temperatureLabel),
              QStringLiteral("Indoor T (\u00b0F) ="));
    EXPECT_EQ(UnitSettings::withUnitInBrackets(QStringLiteral("Atm. P (mBar) ="), u.pressureLabel),
              QStringLiteral("Atm. P (inHg) ="));
    EXPECT_EQ(UnitSettings::withUnitInBrackets(QStringLiteral("Direction ="), QStringLiteral("mph")),
              QStringLiteral("Direction =")) << "no brackets, nothing to replace";
    u.setMillibars(true);
    EXPECT_EQ(u.pressureLabel, QStringLiteral("mBar"));
    EXPECT_EQ(u.pressureFactor, 1);
}
