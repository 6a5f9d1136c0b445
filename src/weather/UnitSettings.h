#pragma once

#include <QString>

namespace auravox {

// The user's units. Sources bring values to metric and then to these units:
// shown = factor * metric (+ offset for temperatures). A factor of exactly 1
// means the metric unit.
struct UnitSettings
{
    QString temperatureLabel = QStringLiteral("C");
    double temperatureFactor = 1;
    double temperatureOffset = 0;
    QString pressureLabel = QStringLiteral("mBar");
    double pressureFactor = 1;
    double pressureOffsetFactor = 1; // one step of a pressure offset spin edit
    double pressureTrendFactor = 1;  // one step of a trend threshold spin edit
    QString windLabel = QStringLiteral("km/h");
    double windFactor = 1;
    QString rainLabel = QStringLiteral("mm");
    double rainFactor = 1;

    void setCelsius(bool metric);
    void setMillibars(bool metric);
    void setKmh(bool metric);
    void setMillimetres(bool metric);

    double temperature(double celsius) const { return temperatureOffset + temperatureFactor * celsius; }

    // The caption rules of the source windows: in a temperature caption the
    // one character after "°" is the temperature label ("Indoor T (°F) =");
    // in a pressure, wind, gust or rain caption the text between "(" and ")"
    // is the unit ("Wind (mph) =").
    static QString withTemperatureLabel(const QString &caption, const QString &label);
    static QString withUnitInBrackets(const QString &caption, const QString &label);
};

} // namespace auravox
