// libFuzzer target: the WeatherLink archive reader must take any file without
// crashing, and what it reports as read must be a sane reading.

#include "common/DateTime.h"
#include "stations/Pro2Archive.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool finite(const auravox::WeatherSnapshot &s)
{
    for (double v : {s.indoorTemp, s.outdoorTemp, s.pressure, s.windSpeed, s.windGust, s.windChill, s.dewPoint,
                     s.rain24h, s.outdoorHumidity, s.indoorHumidity, s.readingTime})
        if (!std::isfinite(v))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // One folder per process; each input replaces the archive in it.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/fuzz_wlk-XXXXXX"));
    static const QString archive = dir.filePath(QStringLiteral("2016-04.wlk"));
    {
        QFile f(archive);
        if (!dir.isValid() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        if (f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
            __builtin_trap();
    }

    auravox::Pro2Settings settings;
    settings.searchCurrentMonth = false;
    auravox::WeatherSnapshot s;
    auravox::StationDisplay d;
    QString path = archive;
    const auravox::Pro2Outcome outcome = auravox::readPro2Archive(path, settings, s, d);
    if (outcome == auravox::Pro2Outcome::Missing || path != archive)
        __builtin_trap();
    if (outcome == auravox::Pro2Outcome::Read) {
        if (!finite(s))
            __builtin_trap();
        if (s.pressureTrend < -1 || s.pressureTrend > 2)
            __builtin_trap();
        if (s.windDirection != -1 && (s.windDirection < 0 || s.windDirection > 360))
            __builtin_trap();
        // Any record time falls in April 2016, or at 24:xx on its last day.
        const double april = auravox::DateTimeUtil::toDays(QDateTime(QDate(2016, 4, 1), QTime(0, 0)));
        if (!(s.readingTime >= april && s.readingTime < april + 31) || d.lastRecordTime != s.readingTime)
            __builtin_trap();
        if (d.pressure.isEmpty() || d.rain.isEmpty() || d.windChill.isEmpty() || d.dewPoint.isEmpty())
            __builtin_trap();
    }
    return 0;
}
