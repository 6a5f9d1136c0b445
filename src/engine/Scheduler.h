#pragma once

#include "common/DateTime.h"
#include "engine/AnnounceHooks.h"

#include <QString>

#include <QList>

#include <array>
#include <optional>

namespace auravox {

struct LineState;

// When the tick starts an announcement: at every multiple of the period inside
// the daily range of hours (and at minute 0 inside it, whatever the period),
// once per minute.
//
// The fired mark belongs to the minute that fired, named by its date, hour and
// minute as an instant, and the minutes that fired in
// the last hours are remembered: a wall clock stepped back over a boundary
// (by NTP or by hand) does not announce that boundary again, one stepped
// forward or back lands on a minute that has its own mark, and the two 02:30
// of a daylight-saving fall-back are two minutes, each announced.
class Scheduler
{
public:
    static constexpr std::array<int, 7> kPeriods{0, 5, 10, 15, 20, 30, 60};

    enum class TickAction {
        Nothing,       // in range, already fired or busy
        Announce,      // start an announcement (the fired mark is set)
        PollLines,     // look at the serial input lines
    };

    // Position of the period up-down, 0..6 (clamped).
    void setPeriodPosition(int position);
    int periodPosition() const { return m_periodPosition; }
    int periodMinutes() const { return kPeriods[static_cast<size_t>(m_periodPosition)]; }
    // The text of Edit1 for a position.
    static QString periodText(int position);

    // Hours 0..24.
    void setStartHour(int hour) { m_startHour = hour; }
    void setEndHour(int hour) { m_endHour = hour; }
    int startHour() const { return m_startHour; }
    int endHour() const { return m_endHour; }

    // True when scheduled announcements are made in this hour.
    bool inRange(int hour) const;

    // One tick's decision, after the clock fields were refreshed. `utcMinute`
    // is the same instant as minutes since 1970-01-01 UT, which tells apart
    // the two 02:30 of a daylight-saving fall-back; 0 when not known (the
    // fields' own date, hour and minute then name the minute).
    TickAction tick(const ClockFields &now, bool announcementBusy, qint64 utcMinute = 0);

    bool firedMark() const { return m_fired; }
    int lastFiredMinute() const { return m_lastFiredMinute; }

    // How far from the current minute a fired minute is remembered. A clock
    // stepped back further than this announces the minutes it lives again.
    static constexpr qint64 kMemoryMinutes = 3 * 60;

private:
    static qint64 minuteKey(const ClockFields &f, qint64 utcMinute);

    int m_periodPosition = 0;
    int m_startHour = 0;
    int m_endHour = 24;
    bool m_fired = false;
    int m_lastFiredMinute = -1;
    QList<qint64> m_firedMinutes; // keys of the minutes that fired, oldest first
};

// What one poll of the serial input lines changes on the main window.
struct LinePollResult
{
    bool dcdOn = false;                 // shows ImageZorbelOff instead of ImageZorbel
    QString dcdCaption;                 // "DCD=On" / "DCD=Off"
    std::optional<QString> ctsCaption;  // set when LabelCTS changes
    std::optional<QString> dsrCaption;
    bool startAnnouncement = false;     // at most one per poll; CTS wins
    AnnounceOrigin startLine = AnnounceOrigin::Cts; // the line that started it
};

// A rising CTS (or else DSR) starts one announcement per edge; the marks in
// `lines` remember what was seen. DCD on inhibits announcements.
LinePollResult pollLines(const ModemStatus &status, bool startOnCts, bool startOnDsr, LineState &lines);

} // namespace auravox
