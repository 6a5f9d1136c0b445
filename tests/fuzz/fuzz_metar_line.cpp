// libFuzzer target: the METAR decoder on any report file content. Whatever
// the bytes, a cycle never crashes, leaves only finite numbers and known
// markers in the snapshot, and builds exchange files of the fixed shape.

#include "common/TextFile.h"
#include "internet/MetarDecoder.h"

#include <QByteArray>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void check(const auravox::WeatherSnapshot &s, const auravox::MetarReading &r)
{
    for (double v : {s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint,
                     s.outdoorHumidity, s.readingTime})
        if (!std::isfinite(v))
            __builtin_trap();
    if (s.precipitation < 0 || s.precipitation > 0x7F)
        __builtin_trap();
    if (!((s.windDirection >= -1 && s.windDirection <= 360) || s.windDirection == 999))
        __builtin_trap();
    if (!(s.outdoorHumidity == -1 || (s.outdoorHumidity >= 0 && s.outdoorHumidity <= 99)))
        __builtin_trap();
    if (r.outcome == auravox::MetarOutcome::EmptyFile)
        return;
    // Line 1 "Mmm dd yyyy hh:mm" (empty when no time was ever decoded), line 2
    // fixed fields; one summary line.
    if (r.uiviewLines.size() != 2 || (r.uiviewLines[0].size() != 17 && !r.uiviewLines[0].isEmpty())
        || r.cwLines.size() != 1)
        __builtin_trap();
    const QString &wx = r.uiviewLines[1];
    if (wx.size() != 36 || wx.at(3) != QLatin1Char('/') || wx.at(7) != QLatin1Char('g')
        || wx.at(11) != QLatin1Char('t') || wx.at(15) != QLatin1Char('r') || wx.at(27) != QLatin1Char('h')
        || wx.at(30) != QLatin1Char('b'))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = auravox::TextFile::decodeCp1252(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));

    auravox::MetarSettings metric;
    metric.now = QDateTime(QDate(2025, 3, 1), QTime(0, 20));
    metric.utcOffsetMinutes = 330;
    auravox::MetarSettings imperial = metric;
    imperial.units.setCelsius(false);
    imperial.units.setMillibars(false);
    imperial.units.setKmh(false);
    imperial.pressureOffset = -7;
    imperial.timeShown = 1;
    imperial.utcOffsetMinutes = -600;
    for (const auravox::MetarSettings *settings : {&metric, &imperial}) {
        auravox::WeatherSnapshot s;
        const auravox::MetarReading r = auravox::decodeMetar(text, *settings, s);
        check(s, r);
        // A second cycle over what the first showed, as the window runs them.
        check(s, auravox::decodeMetar(text, *settings, s, r.display));
        check(s, auravox::metarWithoutReport(*settings, s, r.display));
    }
    return 0;
}
