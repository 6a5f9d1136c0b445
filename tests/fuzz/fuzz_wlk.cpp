// libFuzzer target: the WeatherLink archive reader must take any file without
// crashing, and what it reports as read must be a sane reading.

#include "HistoryFuzz.h"
#include "common/DateTime.h"
#include "stations/Pro2Archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Each input replaces the archive; its name gives the year and month.
    const QString archive = auravox::fuzz::inputFile(data, size, QStringLiteral("2016-04.wlk"));

    auravox::Pro2Settings settings;
    settings.searchCurrentMonth = false;
    auravox::WeatherSnapshot s;
    auravox::SourceDisplay d;
    QString path = archive;
    const auravox::Pro2Outcome outcome = auravox::readPro2Archive(path, settings, s, d);
    if (outcome == auravox::Pro2Outcome::Missing || path != archive)
        __builtin_trap();
    if (outcome == auravox::Pro2Outcome::Read) {
        auravox::fuzz::checkSnapshot(s);
        // Any record time falls in April 2016, or at 24:xx on its last day.
        const double april = auravox::DateTimeUtil::toDays(QDateTime(QDate(2016, 4, 1), QTime(0, 0)));
        if (!(s.readingTime >= april && s.readingTime < april + 31) || d.lastRecordTime != s.readingTime)
            __builtin_trap();
        if (d.pressure.text.isEmpty() || d.rain.text.isEmpty() || d.windChill.text.isEmpty() || d.dewPoint.isEmpty())
            __builtin_trap();
    }
    return 0;
}
