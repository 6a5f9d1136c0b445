#pragma once

#include <QString>

namespace auravox {

// What asked for an announcement: the button, the schedule, a serial input
// line, the sibling announcer, or the station page.
enum class AnnounceTrigger { Button, Schedule, Cts, Dsr, Sibling, Web };

// Why a start was refused.
enum class AnnounceRefusal { StartupPending, Busy, Dcd };

// Told of every announcement as it goes: its start (or refusal), each clip or
// file it plays, and its end. All calls come on the main thread.
class AnnounceObserver
{
public:
    virtual ~AnnounceObserver() = default;
    virtual void announcementStarted(AnnounceTrigger trigger) = 0;
    virtual void announcementRefused(AnnounceTrigger trigger, AnnounceRefusal why) = 0;
    // A built-in clip name ("son_time_is") or a user file's path.
    virtual void clipStarted(const QString &clip) = 0;
    // `completed`: the end step ran; otherwise the watchdog reset ended it
    // (a player failure or a stall), with the status field's text.
    virtual void announcementEnded(bool completed, const QString &statusText) = 0;
};

} // namespace auravox
