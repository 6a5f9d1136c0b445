#pragma once

#include "engine/LogBook.h"
#include "engine/AnnounceHooks.h"
#include "engine/AnnounceMachine.h"
#include "engine/ClipCatalogue.h"
#include "engine/ClipPlayer.h"
#include "engine/Scheduler.h"
#include "engine/VolumeControl.h"

#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;

namespace auravox {

class Clock;
class UserPrompts;
class WaveOutput;

// What the engine is built on. The program passes the real ones; tests pass doubles.
struct AnnouncerDeps
{
    Clock *clock = nullptr;
    WaveOutput *waveOutput = nullptr;
    // The player's "Err" boxes and the out-of-memory message.
    UserPrompts *prompts = nullptr;
    // Folder of NAME.wav clips; empty for the clips built into the program.
    QString clipFolder;
};

// The announcement engine: the clip catalogue, the player, the step machine,
// the scheduler, the second tick, the watchdog and the log. It has no window:
// it reads the message's pieces and shows its state through an AnnounceHost
// (the main window, or a test's plain values), keys the transmitter through a
// TransmitterPort and reaches the other programs through AnnounceLinks.
//
// The tick (QTimer "TimerSeconde") is armed for just after each whole second
// of the clock. Each tick lets the host do its own work first (the first tick
// loads the configuration), refreshes the clock fields, keeps idle PTT lines
// down, and then either starts a scheduled announcement or polls the serial
// input lines. Starts are posted to the event loop (postAnnouncement), so the
// announcement's waits never run inside the tick's handler.
class Announcer final : public QObject, private PlayerEvents
{
    Q_OBJECT
public:
    // The tick fires this long after each whole second of the wall clock.
    static constexpr int kTickLagMs = 5;
    static inline const QString kLogFile = QStringLiteral("auravox.log");

    // Nothing is asked of `host` while this is being built; it must outlive the engine.
    Announcer(const AnnouncerDeps &deps, AnnounceHost &host, QObject *parent = nullptr);
    ~Announcer() override;

    AnnounceMachine &machine() { return m_machine; }
    const AnnounceMachine &machine() const { return m_machine; }
    ClipPlayer &player() { return m_player; }
    Scheduler &scheduler() { return m_scheduler; }
    const Scheduler &scheduler() const { return m_scheduler; }
    const ClipCatalogue &catalogue() const { return m_catalogue; }
    LogBook &log() { return m_log; }
    Clock &clock() { return m_clock; }

    // ---- the tick
    // Starts the tick: the first one comes half a second from now.
    void startTicking();
    // Arms the tick for just after the next whole second of the clock.
    void armTick();
    // No tick until armTick() or startTicking().
    void stopTicking();
    // One tick (TimerSecondeTimer).
    void tick();
    // The clock fields as the last tick set them.
    ClockFields clockFields() const { return m_fields; }
    // Runs on every tick whose minute is 0, after the clock fields are set.
    void setTopOfHourAction(std::function<void(const ClockFields &)> action) { m_topOfHour = std::move(action); }

    // ---- announcements
    // Starts an announcement now ("Play the message "); refused while one runs,
    // before the configuration is loaded and while DCD inhibits it.
    void run();
    // Starts an announcement from the event loop, once the caller has returned.
    void postAnnouncement(AnnounceOrigin origin);
    // The watchdog's time is up (TimerSecuriteTimer), also run after a player
    // failure: the announcement ends and the transmitter is released.
    void watchdogTimeout();
    // TimerFinWaveTimer: the end of a clip.
    void clipEndTimeout();

    // Read by the sibling link's listener thread: atomic.
    bool busy() const { return m_machine.busy(); }
    int step() const { return m_machine.step(); }
    void setStartOrigin(AnnounceOrigin origin) { m_machine.setStartOrigin(origin); }
    void setSiblingRequest(bool on) { m_machine.setSiblingRequest(on); }
    bool siblingRequest() const { return m_machine.siblingRequest(); }
    // Observers of every announcement started, ended and refused; an observer
    // must outlive the engine or be removed.
    void addObserver(AnnounceObserver *observer) { m_machine.addObserver(observer); }
    void removeObserver(AnnounceObserver *observer) { m_machine.removeObserver(observer); }

    // ---- what the engine is connected to
    // The port that keys the transmitter; null for none.
    void setTransmitter(TransmitterPort *port);
    TransmitterPort &transmitter() { return *m_port; }
    void setLinks(AnnounceLinks *links) { m_machine.setLinks(links); }
    void setWeather(WeatherSpeech *weather) { m_machine.setWeather(weather); }
    // DCD as the port window last saw it: on inhibits announcements when its box says so.
    void setDcd(bool on) { m_machine.lines().dcdOn = on; }

    // ---- the voice and the sound card
    QString voiceFolder() const { return m_catalogue.voiceFolder(); }
    // The folder whose WAV files stand in for the built-in clips of the same
    // names; empty for the built-in clips alone.
    void setVoiceFolder(const QString &folder);
    // The names of the output devices (at most 32 characters each); false in
    // `ok` when one could not be read (the list then stops there).
    QStringList deviceNames(bool *ok) const;
    // Sets the chosen device's volume from the slider's position and the balance.
    void setVolume(int position, int balance);
    // The chosen device's volume, as the slider and the balance show it.
    Volume::ReadBack volume(int balance) const;

    // ---- the log
    // A log entry: date, time and text, written to "auravox.log"; the host shows the log.
    void addLogEntry(const QString &text);
    // Replaces the log by "auravox.log"'s lines; false (nothing changed) when it can't be read.
    bool loadLog();

    // ---- the close
    // No more ticks and no more starts: a start already posted is dropped and
    // the player forgets its clip.
    void stop();
    // Resets and closes the sound device and frees the sample block.
    void closeDevice();

signals:
    // A play buffer could not be allocated: the program must end.
    void terminateRequested();

private:
    // PlayerEvents
    void showPlayerStatus(const QString &text) override { m_host.showStatus(text); }
    void playerFailed() override { watchdogTimeout(); }
    void clipEnded() override { clipEndTimeout(); }
    void requestTerminate() override { emit terminateRequested(); }

    void pollLines();

    AnnounceHost &m_host;
    Clock &m_clock;
    WaveOutput &m_output;
    ClipCatalogue m_catalogue;
    QTimer *m_timerSeconde = nullptr;
    QTimer *m_timerSecurite = nullptr;
    QTimer *m_timerFinWave = nullptr;
    ClockFields m_fields;
    ClipPlayer m_player;
    AnnounceMachine m_machine;
    Scheduler m_scheduler;
    LogBook m_log;
    NoTransmitterPort m_noPort;
    TransmitterPort *m_port = &m_noPort;
    std::function<void(const ClockFields &)> m_topOfHour;
    bool m_stopped = false;
};

} // namespace auravox
