#pragma once

#include "engine/AnnounceHooks.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace auravox {

class ClipPlayer;
class Clock;

// Edge marks and state of the serial input lines, shared by the step machine
// (the start sets both marks) and the line poll of the tick.
struct LineState
{
    bool dcdOn = false;
    bool ctsSeen = false;
    bool dsrSeen = false;
};

// The announcement: a step machine with one entry, run(). Each call runs the
// current step, which either starts exactly one clip and returns, or passes on
// to the next step in the same call. The end of a clip (the player's
// continuation) calls run() again while an announcement is in progress.
//
// Steps: 0 start; 1 pause and hello; 2-4 weekday, day, month; 5-6 year;
// 7 "time is"; 8 hour; 9 minutes; 11 am/pm; 12 the weather gate; 13-23 the
// eleven weather items; 58 goodbye; 59 end. Any other value starts.
class AnnounceMachine
{
public:
    static constexpr int kGoodbyeStep = 58;
    static constexpr int kEndStep = 59;
    static constexpr int kWeatherGateStep = 12;
    static constexpr int kFirstWeatherItemStep = 13;
    static constexpr int kWatchdogMs = 120000;

    // `fields` are the clock fields as the tick last set them, read at every
    // step (a pause can carry the announcement into the next minute); they
    // must outlive the machine.
    AnnounceMachine(AnnounceHost &host, ClipPlayer &player, Clock &clock, QTimer &watchdog, const ClockFields &fields);

    ~AnnounceMachine();

    void setTransmitter(TransmitterPort *port) { m_port = port ? port : &m_noPort; }
    void setLinks(AnnounceLinks *links) { m_links = links ? links : &m_noLinks; }
    void setWeather(WeatherSpeech *weather) { m_weather = weather; }
    // Observers of announcements started, ended and refused (the log is always
    // told first). The observer must outlive the machine or be removed.
    void addObserver(AnnounceObserver *observer);
    void removeObserver(AnnounceObserver *observer);
    // What started an announcement, as the log says it: "the schedule", "CTS",
    // "the start input (line 17)".
    QString originText(AnnounceOrigin origin) const;

    // What the next start comes from: set just before the entry is called.
    // Without it a start counts as the sibling's when its request is set, and
    // as the button's otherwise.
    void setStartOrigin(AnnounceOrigin origin) { m_nextOrigin = origin; }

    // Button1Click: start an announcement. Refused while one is running (its
    // steps move on only at the end of each clip).
    void run();
    // TimerFinWaveTimer: the end of a clip.
    void clipEnded();
    // TimerSecuriteTimer: the watchdog reset, also run after a player failure.
    void watchdogReset();

    int step() const { return m_step; }
    // Read by the sibling link's listener thread, hence atomic.
    bool busy() const { return m_busy.load(); }
    const std::atomic<bool> &busyFlag() const { return m_busy; }

    void setSiblingRequest(bool on) { m_siblingRequest = on; }
    bool siblingRequest() const { return m_siblingRequest; }

    // The hidden error simulation: every announcement stops once it is busy.
    bool errorSimulation() const { return m_errorSimulation; }
    void setErrorSimulation(bool on) { m_errorSimulation = on; }

    LineState &lines() { return m_lines; }
    const LineState &lines() const { return m_lines; }

private:
    // Runs the current step (and the steps that pass on at once); `origin` is
    // what a start at step 0 is put down to.
    void runSteps(AnnounceOrigin origin);
    bool start(AnnounceOrigin origin);
    AnnounceOrigin takeOrigin();
    template <typename F> void notify(F &&call);
    void finish();
    void playClip(const QString &name, int nextStep);
    void playFile(const QString &path, int nextStep);

    AnnounceHost &m_host;
    ClipPlayer &m_player;
    Clock &m_clock;
    QTimer &m_watchdog;
    const ClockFields &m_fields;

    NoTransmitterPort m_noPort;
    AnnounceLinks m_noLinks;
    TransmitterPort *m_port = &m_noPort;
    AnnounceLinks *m_links = &m_noLinks;
    WeatherSpeech *m_weather = nullptr;

    int m_step = 0;
    std::atomic<bool> m_busy{false};
    bool m_siblingRequest = false;
    bool m_errorSimulation = false;
    LineState m_lines;
    std::optional<AnnounceOrigin> m_nextOrigin;
    std::vector<AnnounceObserver *> m_observers;
    class Log;
    std::unique_ptr<Log> m_log;

    // Clips of the weather item in progress, still to be played.
    QStringList m_pendingClips;
    bool m_itemLoaded = false;
};

} // namespace auravox
