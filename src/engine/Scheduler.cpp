#include "engine/Scheduler.h"

#include "engine/AnnounceMachine.h"

#include <QDate>

#include <algorithm>
#include <cstdlib>

namespace auravox {

void Scheduler::setPeriodPosition(int position)
{
    m_periodPosition = std::clamp(position, 0, static_cast<int>(kPeriods.size()) - 1);
}

QString Scheduler::periodText(int position)
{
    position = std::clamp(position, 0, static_cast<int>(kPeriods.size()) - 1);
    return QString::number(kPeriods[static_cast<size_t>(position)]);
}

bool Scheduler::inRange(int hour) const
{
    if (m_periodPosition == 0 || m_startHour == m_endHour)
        return false;
    if (m_startHour < m_endHour)
        return m_startHour <= hour && hour < m_endHour;
    return hour >= m_startHour || hour < m_endHour; // the range spans midnight
}

qint64 Scheduler::minuteKey(const ClockFields &f, qint64 utcMinute)
{
    if (utcMinute != 0)
        return utcMinute;
    // Fields made without an instant: their own date, hour and minute.
    return QDate(f.year, f.month, f.day).toJulianDay() * 1440 + f.hour * 60 + f.minute;
}

Scheduler::TickAction Scheduler::tick(const ClockFields &now, bool announcementBusy, qint64 utcMinute)
{
    const qint64 key = minuteKey(now, utcMinute);
    m_firedMinutes.removeIf([key](qint64 fired) { return std::abs(fired - key) > kMemoryMinutes; });
    m_fired = m_firedMinutes.contains(key);
    m_lastFiredMinute = m_fired ? now.minute : -1;
    if (!inRange(now.hour))
        return TickAction::PollLines;
    if (m_fired || announcementBusy)
        return TickAction::Nothing;
    if (now.minute != 0 && now.minute % periodMinutes() != 0)
        return TickAction::PollLines;
    m_fired = true;
    m_lastFiredMinute = now.minute;
    m_firedMinutes.append(key);
    return TickAction::Announce;
}

LinePollResult pollLines(const ModemStatus &status, bool startOnCts, bool startOnDsr, LineState &lines)
{
    LinePollResult r;
    lines.dcdOn = status.dcd;
    r.dcdOn = status.dcd;
    r.dcdCaption = status.dcd ? QStringLiteral("DCD=On") : QStringLiteral("DCD=Off");
    if (!status.cts) {
        lines.ctsSeen = false;
        r.ctsCaption = QStringLiteral("CTS=Off");
    }
    if (!status.dsr) {
        lines.dsrSeen = false;
        r.dsrCaption = QStringLiteral("DSR=Off");
    }
    if (status.cts && !lines.ctsSeen) {
        lines.ctsSeen = true;
        r.ctsCaption = QStringLiteral("CTS=On");
        r.startAnnouncement = startOnCts;
    } else if (status.dsr && !lines.dsrSeen) {
        lines.dsrSeen = true;
        r.dsrCaption = QStringLiteral("DSR=On");
        r.startAnnouncement = startOnDsr;
        r.startLine = AnnounceOrigin::Dsr;
    }
    return r;
}

} // namespace auravox
