#pragma once

#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QString>

#include <array>
#include <optional>

namespace auravox {

// One value box of the Monitor II window: its caption, and whether the value
// is plausible (black) or not (red).
struct MonitorCaption
{
    QString text;
    bool plausible = true;
};

// The wind box and the gust box, which one wind reading both changes.
struct MonitorWind
{
    MonitorCaption wind;
    QString gust;
};

// A Davis Weather Monitor II reading, value by value in the order the window
// asks the station for them. Each call takes the station's value in its own
// unit (degrees F, inHg, mph), puts it into the snapshot in the display units
// and gives the caption of its box.
//
// The gust is the highest of the last ten plausible wind speeds, kept from one
// reading to the next; a wind speed outside the limits is shown red and kept
// out of the gust.
class MonitorReading
{
public:
    static constexpr int kGustSlots = 10;

    MonitorReading() { clearGustHistory(); }

    // Forgets the wind speeds of earlier readings.
    void clearGustHistory();

    // The indoor temperature; nullopt (and the snapshot unchanged) when it is
    // below -70 C or no number, which means no station answers on the line.
    std::optional<MonitorCaption> indoorTemp(const UnitSettings &units, double fahrenheit, WeatherSnapshot &s) const;
    MonitorCaption outdoorTemp(const UnitSettings &units, double fahrenheit, WeatherSnapshot &s) const;
    MonitorCaption pressure(const UnitSettings &units, double inHg, WeatherSnapshot &s) const;
    // "trend : steady", "trend : rising", "trend : falling"; nullopt for a
    // trend the station does not know (the box keeps its caption).
    std::optional<QString> pressureTrend(int trend, WeatherSnapshot &s) const;
    // The wind speed, and the gust over this and the earlier readings.
    MonitorWind wind(const UnitSettings &units, double mph, WeatherSnapshot &s);
    // The direction as the station gives it (its flag bit kept).
    QString direction(int degrees, WeatherSnapshot &s) const;

    // The hourly log line of the snapshot ("Météo MonII Tint=21 Text=...").
    static QString logLine(const WeatherSnapshot &s);

private:
    static double displayTemperature(const UnitSettings &units, double fahrenheit);

    std::array<double, kGustSlots> m_windHistory{};
    int m_windIndex = 0; // the slot last written, 1..10; 0 before the first
};

} // namespace auravox
