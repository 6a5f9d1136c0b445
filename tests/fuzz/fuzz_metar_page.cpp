// libFuzzer target: cutting the report line out of any downloaded page, then
// decoding it. The first bytes of the input choose the address (which
// service, which airport), the rest is the page.

#include "common/TextFile.h"
#include "internet/MetarDecoder.h"

#include <QByteArray>

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    // The first line, up to 200 bytes, is the address entry; the rest the page.
    const qsizetype end = bytes.left(200).indexOf('\n');
    const QString entry = auravox::TextFile::decodeCp1252(end < 0 ? QByteArray() : bytes.left(end));
    const QByteArray pageBytes = end < 0 ? bytes : bytes.mid(end + 1);
    const QString page = auravox::TextFile::decodeCp1252(pageBytes);

    auravox::classifyMetarDownload(pageBytes);
    auravox::metarLabel(entry);
    auravox::metarAddress(entry);
    const auravox::MetarExtraction x = auravox::extractMetarLine(page, entry);
    if (x.error != auravox::MetarError::None && x.error != auravox::MetarError::EmptyCache
        && x.error != auravox::MetarError::NoReport)
        __builtin_trap();
    if (x.error != auravox::MetarError::None) {
        if (!x.line.isEmpty())
            __builtin_trap();
        return 0;
    }
    // What is left holds no tag opening and no blank at either end.
    if (x.line.contains(QLatin1Char('<')) || x.line.startsWith(QLatin1Char(' ')) || x.line.endsWith(QLatin1Char(' ')))
        __builtin_trap();

    auravox::MetarSettings settings;
    settings.now = QDateTime(QDate(2025, 1, 27), QTime(23, 0));
    auravox::WeatherSnapshot s;
    const auravox::MetarReading r = auravox::decodeMetar(x.line, settings, s);
    for (double v : {s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint, s.outdoorHumidity,
                     s.readingTime})
        if (!std::isfinite(v))
            __builtin_trap();
    if (s.precipitation < 0 || s.precipitation > 0x7F)
        __builtin_trap();
    // Markup can leave nothing of the line; an empty report has no files.
    if (r.uiviewLines.size() != (r.outcome == auravox::MetarOutcome::EmptyFile ? 0 : 2))
        __builtin_trap();
    return 0;
}
