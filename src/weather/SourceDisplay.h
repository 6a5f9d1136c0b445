#pragma once

#include <QString>

#include <optional>

namespace auravox {

// One caption of a weather source window and its colour.
struct SourceCaption
{
    QString text;     // empty: the caption keeps its text and colour
    bool red = false; // the value is outside the plausibility limits
    // False keeps the caption's colour as it is (a METAR value shown as "--").
    bool coloured = true;
};

// What one reading of a weather source shows in its window, besides the
// snapshot. Every source fills the captions it has; what it leaves empty is
// not changed. The window shows it with WeatherSourceWindow::showDisplay().
struct SourceDisplay
{
    SourceCaption indoorTemp, outdoorTemp, pressure, trend, wind, gust, direction, humidity, rain, windChill;
    SourceCaption indoorHumidity; // LabelHumInt
    QString dewPoint;             // LabelTros
    QString airportCode;          // LabelICAO: "Airport code = LFPG"
    QString pressureAdjustUnit;   // Label6: "mBars" or "0.01*inHg"
    QString trendUnit;            // Label9: "0.1*mB/h" or "0.01*inHg"
    std::optional<QString> dateTime; // Editdatemeteo; nullopt leaves it as it is
    double lastRecordTime = 0; // history files: days since 1899-12-30; 0 before the first record was read
};

} // namespace auravox
