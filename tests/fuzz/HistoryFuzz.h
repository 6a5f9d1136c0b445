#pragma once

// What the history file fuzz targets share: the input as a file, a reading in
// metric and in imperial units, and the checks on the snapshot. Whatever the
// bytes, a reading never crashes and never puts a value in the snapshot that
// the announcement could not speak (infinite, NaN, out of range).

#include "weather/StationReading.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace auravox::fuzz {

inline void checkSnapshot(const WeatherSnapshot &s)
{
    for (double v : {s.indoorTemp, s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint,
                     s.rain24h, s.outdoorHumidity, s.indoorHumidity, s.readingTime})
        if (!std::isfinite(v))
            __builtin_trap();
    if (s.pressureTrend < -1 || s.pressureTrend > 2)
        __builtin_trap();
    if (s.windDirection < -1 || s.windDirection > 360)
        __builtin_trap();
    if (s.rain24h != -1 && !(s.rain24h >= 0))
        __builtin_trap();
}

// Writes the input to a file named `fileName` (the same file every run) and
// returns its path.
inline QString inputFile(const std::uint8_t *data, std::size_t size, const QString &fileName)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();
    f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    return path;
}

// `read(settings, snapshot, display)` once with metric and once with imperial
// settings (and a pressure adjustment); a failed reading keeps what it computed
// before, so the checks hold after either outcome.
template <typename Settings, typename Read> void readBothWays(Settings metric, Read read)
{
    Settings imperial = metric;
    imperial.units.setCelsius(false);
    imperial.units.setMillibars(false);
    imperial.units.setKmh(false);
    imperial.units.setMillimetres(false);
    imperial.pressureOffset = -3;
    for (const Settings *settings : {&metric, &imperial}) {
        WeatherSnapshot s;
        SourceDisplay d;
        read(*settings, s, d);
        checkSnapshot(s);
    }
}

} // namespace auravox::fuzz
