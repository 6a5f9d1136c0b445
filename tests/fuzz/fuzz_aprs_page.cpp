// libFuzzer target: the raw packet extraction on any downloaded page. It never
// crashes, gives only its documented error numbers, and its markup removal
// agrees with deleting tag after tag; an extracted line then decodes cleanly.

#include "common/TextFile.h"
#include "internet/AprsDecoder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

QString tagByTag(QString s)
{
    while (s.contains(QLatin1Char('<'))) {
        const qsizetype a = s.indexOf(QLatin1Char('<')), b = s.indexOf(QLatin1Char('>'));
        s.remove(a < b ? a : 0, a < b ? b - a + 1 : a + 1);
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = auravox::TextFile::decodeCp1252(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    const QStringList lines = auravox::TextFile::splitLines(text);
    const auravox::AprsRawLine raw = auravox::findAprsRawLine(lines);
    switch (raw.error) {
    case auravox::AprsError::None:
        if (raw.line.contains(QLatin1Char('<')) || !raw.line.contains(QLatin1Char('_')))
            __builtin_trap();
        break;
    case auravox::AprsError::CacheEmpty:
    case auravox::AprsError::NoRawLine:
    case auravox::AprsError::NoWeather:
        break;
    default:
        __builtin_trap();
    }
    if (size <= 4096)
        for (const QString &line : lines)
            if (auravox::removeAprsPageMarkup(line) != tagByTag(line))
                __builtin_trap();
    if (raw.error == auravox::AprsError::None) {
        auravox::WeatherSnapshot s;
        auravox::decodeAprs(raw.line, auravox::AprsSettings{}, s);
        for (double v : {s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint, s.rain24h,
                         s.outdoorHumidity, s.readingTime})
            if (!std::isfinite(v))
                __builtin_trap();
        if (s.windDirection < -1 || s.windDirection > 360)
            __builtin_trap();
    }
    return 0;
}
