#pragma once

#include <QDateTime>

namespace auravox {

// Date-time values of the files and the staleness rules: a double counting days
// since 1899-12-30 00:00, the fraction being the time of day (local time).
namespace DateTimeUtil {

double toDays(const QDateTime &local);
QDateTime fromDays(double days);

// Minutes to add to local time to get universal time (negative east of
// Greenwich), for the given instant.
int timeZoneBiasMinutes(const QDateTime &local);

} // namespace DateTimeUtil

// The clock fields that the tick refreshes and the message speaks.
struct ClockFields
{
    int weekday = 1; // 1 = Sunday ... 7 = Saturday
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    int day = 1;     // day of month
    int month = 1;   // 1-12
    int year = 2000;

    static ClockFields from(const QDateTime &local);
};

} // namespace auravox
