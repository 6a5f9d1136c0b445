#pragma once

#include <QString>

#include <array>

namespace auravox {

// The weather source in use; the number is the order in which the
// announcement looks for a ready source.
enum class SourceKind { None = 0, MonitorII = 1, Ws23 = 2, Ws28 = 3, Aprs = 4, Pro2 = 5, Metar = 6 };

// "MON", "W23", "W28", "APRS", "PRO2", "METAR"; empty for None.
QString sourceConfigValue(SourceKind kind);
// The kind named by a "METEO=" value; None for anything else.
SourceKind sourceFromConfigValue(const QString &value);

// METAR present weather, as a set of bits.
namespace Precipitation {
constexpr int Light = 1;
constexpr int Heavy = 2;
constexpr int Rain = 4;
constexpr int Snow = 8;
constexpr int Hail = 16;
constexpr int Mist = 32;
constexpr int Fog = 64;
} // namespace Precipitation

// The latest values of one source, already in the user's units.
struct WeatherSnapshot
{
    double indoorTemp = 0;
    double outdoorTemp = 0;
    double pressure = 0;
    int pressureTrend = -1; // 0 steady, 1 rising, 2 falling
    double windSpeed = 0;
    double windGust = 0;
    int windDirection = -1; // degrees 0..360, 999 variable, -1 none
    double windChill = -200;
    double dewPoint = 0;
    double rain24h = -1;
    double outdoorHumidity = -1;
    double indoorHumidity = -1;
    int precipitation = 0;
    double readingTime = 0; // days since 1899-12-30
    int pressureOffset = 0;
};

// The items a source window can announce, in speaking order.
enum class WeatherItem {
    IndoorTemp,
    OutdoorTemp,
    Pressure,
    PressureTrend,
    WindSpeed,
    WindGust,
    WindDirection,
    WindChill,
    Rain24h, // METAR: present weather
    OutdoorHumidity,
};
constexpr int kWeatherItemCount = 10;

// Which items the user ticked on a source window.
struct AnnounceSelection
{
    std::array<bool, kWeatherItemCount> items{};
    bool has(WeatherItem item) const { return items[static_cast<size_t>(item)]; }
    void set(WeatherItem item, bool on) { items[static_cast<size_t>(item)] = on; }
};

// Whether a source kind has an item at all.
bool sourceHasItem(SourceKind kind, WeatherItem item);

// Fixed bounds in metric units; a value outside them is shown red and not spoken.
struct PlausibilityLimits
{
    static constexpr double indoorTempMin = -50, indoorTempMax = 60;
    static constexpr double outdoorTempMin = -50, outdoorTempMax = 60;
    static constexpr double windChillMin = -75, windChillMax = 60;
    static constexpr double pressureMin = 930, pressureMax = 1050;
    static constexpr double windMin = 0, windMax = 199;
    static constexpr double gustMin = 5, gustMax = 199;
    // hPa per hour; the trend threshold spin edits of the file readers set it.
    double trendThreshold = 0.4;
};

} // namespace auravox
