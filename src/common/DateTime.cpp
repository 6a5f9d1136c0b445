#include "common/DateTime.h"

#include <cmath>

namespace auravox {

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;
} // namespace

double DateTimeUtil::toDays(const QDateTime &local)
{
    const qint64 days = kEpoch.daysTo(local.date());
    const qint64 ms = local.time().msecsSinceStartOfDay();
    return static_cast<double>(days) + static_cast<double>(ms) / kMsPerDay;
}

QDateTime DateTimeUtil::fromDays(double days)
{
    double whole = std::floor(days);
    qint64 ms = static_cast<qint64>(std::llround((days - whole) * kMsPerDay));
    if (ms >= 86400000) {
        whole += 1;
        ms -= 86400000;
    }
    const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

int DateTimeUtil::timeZoneBiasMinutes(const QDateTime &local)
{
    return -local.offsetFromUtc() / 60;
}

ClockFields ClockFields::from(const QDateTime &local)
{
    ClockFields f;
    const QDate d = local.date();
    const QTime t = local.time();
    f.weekday = d.dayOfWeek() % 7 + 1; // Qt: Monday 1 ... Sunday 7
    f.hour = t.hour();
    f.minute = t.minute();
    f.day = d.day();
    f.month = d.month();
    f.year = d.year();
    return f;
}

} // namespace auravox
