#pragma once

#include "weather/StationReading.h"

#include <QByteArray>
#include <QString>

namespace auravox {

// One 36-byte record of a La Crosse WS-2310/2315/2355 "history.dat".
struct Ws23Record
{
    static constexpr int kSize = 36;

    double time = 0;        // days since 1899-12-30
    float pressure = 0;     // hPa, before the user's adjustment
    float wind = 0;         // m/s; exactly 51.0 means no wind reading
    qint32 direction = 0;   // low 5 bits: sector
    float rain = 0;         // mm, a growing total
    float indoorTemp = 0;   // C
    float outdoorTemp = 0;  // C
    qint8 indoorHumidity = 0;
    qint8 outdoorHumidity = 0;

    static Ws23Record decode(const QByteArray &bytes);
    // The time stamp's date-time: (seconds + 176400, kept to 32 bits) / 86400
    // days, so 0 is 1900-01-01 01:00:00.
    static double stampToDays(quint32 seconds);
};

// The La Crosse station software writes a wind of exactly 51.0 m/s when it
// has no wind reading.
inline bool isNoWind(float metresPerSecond)
{
    return metresPerSecond == 51.0f;
}

using Ws23Display = SourceDisplay;
using Ws23Settings = StationSettings;

// One reading of a WS-23xx history file: fills the snapshot (the fields it
// reaches) and the display.
// Reads only the records it uses: the last, the one before, the ones about an
// hour and a day back, and the nine before the last. `readingTime` in the
// snapshot only moves forwards. Returns false for a file error (the file can't
// be read, or has no whole record); values computed before stay.
bool readWs23History(const QString &path, const Ws23Settings &settings, WeatherSnapshot &snapshot,
                     Ws23Display &display);

} // namespace auravox
