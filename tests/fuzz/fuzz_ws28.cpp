// libFuzzer target: the WS-28xx history reader on any file content. Whatever
// the bytes, a reading never crashes and never puts a value in the snapshot
// that the announcement could not speak (infinite, NaN, out of range).

#include "stations/Ws28History.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void check(const auravox::WeatherSnapshot &s)
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("history.dat"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    auravox::Ws28Settings metric;
    auravox::Ws28Settings imperial;
    imperial.units.setCelsius(false);
    imperial.units.setMillibars(false);
    imperial.units.setKmh(false);
    imperial.units.setMillimetres(false);
    imperial.pressureOffset = -3;
    imperial.absolutePressure = false;
    for (const auravox::Ws28Settings *settings : {&metric, &imperial}) {
        auravox::WeatherSnapshot s;
        auravox::StationDisplay d;
        // A failed reading keeps what it computed before, so that must hold too.
        auravox::readWs28History(path, *settings, s, d);
        check(s);
    }
    return 0;
}
