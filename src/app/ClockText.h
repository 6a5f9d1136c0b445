#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace auravox {

// The time and date as the clock fields show them (with a leading blank).
namespace ClockText {
inline QString time(const QDateTime &t)
{
    // The system's long time format, without the time zone Qt adds to it.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return QLatin1Char(' ') + QLocale::system().toString(t.time(), format.trimmed());
}
inline QString date(const QDateTime &t)
{
    return QLatin1Char(' ') + QLocale::system().toString(t.date(), QLocale::ShortFormat);
}
} // namespace ClockText

} // namespace auravox
