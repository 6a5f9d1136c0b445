#pragma once

#include "common/DateTime.h"
#include "engine/AnnounceHooks.h"

#include <QString>

#include <array>
#include <optional>

namespace auravox {

struct LineState;

// When the tick starts an announcement: at every multiple of the period inside
// the daily range of hours (and at minute 0 inside it, whatever the period),
// once per minute.
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

    // One tick's decision, after the clock fields were refreshed.
    TickAction tick(const ClockFields &now, bool announcementBusy);

    bool firedMark() const { return m_fired; }
    int lastFiredMinute() const { return m_lastFiredMinute; }

private:
    int m_periodPosition = 0;
    int m_startHour = 0;
    int m_endHour = 24;
    bool m_fired = false;
    int m_lastFiredMinute = -1;
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
