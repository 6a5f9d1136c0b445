// libFuzzer target: the APRS report decoder on any file content. Whatever the
// bytes, a cycle never crashes and leaves only values in the snapshot that the
// announcement can handle (finite, direction -1..360 or 999).

#include "common/TextFile.h"
#include "internet/AprsDecoder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void check(const auravox::WeatherSnapshot &s, const auravox::AprsReading &r)
{
    for (double v : {s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint, s.rain24h,
                     s.outdoorHumidity, s.readingTime})
        if (!std::isfinite(v))
            __builtin_trap();
    if ((s.windDirection < -1 || s.windDirection > 360) && s.windDirection != 999)
        __builtin_trap();
    if (s.outdoorHumidity != -1 && !(s.outdoorHumidity >= 1 && s.outdoorHumidity <= 100))
        __builtin_trap();
    if (r.outcome == auravox::AprsOutcome::Decoded && (!r.summary || !r.summary->endsWith(QLatin1Char(' '))))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = auravox::TextFile::decodeCp1252(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));

    auravox::AprsSettings usual; // mph, degrees F, hundredths of an inch to metric
    usual.fileTime = 46000.5;
    usual.timeZoneBiasMinutes = -60;
    auravox::AprsSettings other;
    other.units.setCelsius(false);
    other.units.setMillibars(false);
    other.units.setKmh(false);
    other.units.setMillimetres(false);
    other.rawTemperature = auravox::AprsTemperatureUnit::Celsius;
    other.rawWind = auravox::AprsWindUnit::Knot;
    other.rawRain = auravox::AprsRainUnit::Millimetre;
    other.timeBase = auravox::AprsTimeBase::Local;
    other.pressureOffset = -12;
    for (const auravox::AprsSettings *settings : {&usual, &other}) {
        auravox::WeatherSnapshot s;
        const auravox::AprsReading r = auravox::decodeAprs(text, *settings, s);
        check(s, r);
    }
    return 0;
}
