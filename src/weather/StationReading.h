#pragma once

#include "weather/SourceDisplay.h"
#include "weather/UnitSettings.h"
#include "weather/Weather.h"

#include <QString>

namespace auravox {

// What the readers take from their window and the program.
struct StationSettings
{
    UnitSettings units;
    PlausibilityLimits limits;
    int pressureOffset = 0; // steps of the "Pressure adjust" spin edit
};

namespace station {

// The snapshot value of an item the station did not record: outside every
// plausibility limit in every unit, so it is never spoken.
constexpr double kNotAvailable = -9999;

// A value with a fixed number of decimals ("12.3").
QString fixed(double value, int decimals);
// The caption value: "--" for an item that is not available.
QString shown(double value, double notAvailable, int decimals);
// A value the file holds as NaN or infinite becomes `fallback`, so that no
// such value reaches the snapshot.
double finiteOr(double value, double fallback);
// A little-endian 32-bit float of a record.
float f32(const char *p);

// Whether a temperature in display units lies outside metric bounds.
bool temperatureOutside(const UnitSettings &units, double value, double minC, double maxC);
bool pressureOutside(const UnitSettings &units, double value);
bool windOutside(const UnitSettings &units, double value);

// 0 steady, 1 rising, 2 falling for a pressure change in display units over
// about an hour; changes of 50 hPa or more are taken as bad data (steady).
int trendOf(const UnitSettings &units, double change, double trendThreshold);
// "Trend : steady", "Trend : rising", "Trend : falling".
QString trendCaption(int trend);

// Wind chill from the outdoor temperature and the wind, both in display units;
// -200 with "--" when `calm` or a value it needs is not plausible.
void applyWindChill(const UnitSettings &units, bool unavailable, WeatherSnapshot &s, SourceDisplay &d);
// Dew point from the outdoor temperature and humidity; "--" (value kept) when
// the temperature is red or the humidity has no dew point (negative, NaN).
void applyDewPoint(const UnitSettings &units, WeatherSnapshot &s, SourceDisplay &d);
// The rain caption: "--" for -1.
QString rainCaption(const UnitSettings &units, double rain24h);

// The empty captions an Internet source shows before a report is read (the
// temperature, pressure, wind, gust, direction and humidity; the rain's text
// is each source's own).
void blankReportCaptions(const UnitSettings &units, SourceDisplay &d);

} // namespace station

} // namespace auravox
