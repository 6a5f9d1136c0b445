#pragma once

#include "weather/StationReading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace auravox {

// One 56-byte record of a La Crosse WS-2800/3600/3610 "history.dat".
struct Ws28Record
{
    static constexpr int kSize = 56;

    double time = 0;             // days since 1899-12-30, fraction = time of day
    float absolutePressure = 0;  // hPa, at the station
    float relativePressure = 0;  // hPa, at sea level
    float wind = 0;              // m/s; exactly 51.0 means no wind reading
    qint32 direction = 0;        // low 5 bits: sector
    float gust = 0;              // m/s; exactly 51.0 means no gust reading
    float rain = 0;              // mm fallen during this record's interval
    float indoorTemp = 0;        // C
    float outdoorTemp = 0;       // C
    float indoorHumidity = 0;    // %
    float outdoorHumidity = 0;   // %

    static Ws28Record decode(const QByteArray &bytes);

    // Whether a time value names a day between 1899-12-30 and 9999-12-31.
    static bool isValidTime(double days);
    // A record time in whole seconds since 1899-12-30. The station writes whole
    // minutes, but the days value is a little under the minute on some records:
    // truncating would show them one second early, so this rounds.
    static double toSeconds(double days);
    // A record time as a date-time, to the nearest second.
    static QDateTime toDateTime(double days);
};

struct Ws28Settings : StationSettings
{
    bool absolutePressure = true; // "Absolute" or "Relative" pressure field
};

// One reading of a WS-28xx history file: fills the snapshot (the fields it
// reaches) and the display.
// Reads only the records it uses: the last, the one before, the one about an
// hour back, and those of the last day for the rain. `readingTime` in the
// snapshot only moves forwards. Returns false for a file error (the file can't
// be read, or has no whole record); values computed before stay.
bool readWs28History(const QString &path, const Ws28Settings &settings, WeatherSnapshot &snapshot,
                     SourceDisplay &display);

} // namespace auravox
