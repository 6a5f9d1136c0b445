#pragma once

#include "common/DateTime.h"
#include "platform/ModemStatus.h"

#include <QString>
#include <QStringList>

namespace auravox {

// The pieces of the message, as the main window's controls choose them.
struct MessageChoices
{
    bool header = false;
    QString headerPath;
    int pauseSeconds = 0;
    bool hello = false;
    QString helloPath = QStringLiteral("kuckoo.wav");
    bool date = true;
    bool dateUS = false;
    bool timeIs = true;
    bool time = true;
    bool goodbye = false;
    QString goodbyePath;
    bool recordWhilePlaying = false; // "Run recorder when playing"
};

// What the announcement engine reads from and shows on the main window.
class AnnounceHost
{
public:
    virtual ~AnnounceHost() = default;
    virtual MessageChoices messageChoices() const = 0;
    // True until the configuration has been loaded.
    virtual bool startupPending() const = 0;
    virtual void showStatus(const QString &text) = 0;
    // What the status field shows now.
    virtual QString statusText() const { return {}; }
    // Button1 ("Play the message ").
    virtual void setPlayEnabled(bool enabled) = 0;
    // The sound card choice's OK button, enabled again at the end of an announcement.
    virtual void setSoundCardOkEnabled(bool enabled) = 0;

    // The tick: runs first on every tick, once the next one is armed (the
    // first tick loads the configuration here).
    virtual void tickStarting() {}
    // The time and date fields, with the tick's "now".
    virtual void showClock(const QDateTime &now) { (void)now; }
    // The serial input lines as a poll found them: DCD, and the CTS and DSR
    // captions that changed (empty: unchanged).
    virtual void showLineStates(bool dcdOn, const QString &ctsCaption, const QString &dsrCaption)
    {
        (void)dcdOn;
        (void)ctsCaption;
        (void)dsrCaption;
    }
    // The log's lines, after an entry was added.
    virtual void showLog(const QStringList &lines) { (void)lines; }
};

// The serial port that keys the transmitter (DTR, RTS) and carries the input
// lines (CTS, DSR start an announcement, DCD inhibits one).
class TransmitterPort
{
public:
    static inline const QString kNoPortText = QStringLiteral("    ");
    static inline const QString kNoPortName = QStringLiteral("No COM");

    virtual ~TransmitterPort() = default;
    // A port is open: keying it gives the transmitter 300 ms to come up.
    virtual bool isOpen() const = 0;
    // The input boxes of the serial port window.
    virtual bool startOnDsr() const = 0;
    virtual bool startOnCts() const = 0;
    virtual bool inhibitOnDcd() const = 0;

    // Raises DTR and/or RTS as the port window chooses them and lights the PTT
    // LED. `cause` says why, for the log.
    virtual void key(const QString &cause) = 0;
    // Drops DTR and RTS whatever the boxes say and puts the LED out.
    virtual void release(const QString &cause) = 0;
    virtual ModemStatus modemStatus() = 0;
    // The one start input of a device that has no CTS and DSR, for the log
    // ("the start input (line 17)"); empty when the lines name themselves.
    virtual QString startInputName() const { return QString(); }
    // Run while no announcement runs: DTR or RTS found up (another program
    // opened the port) are dropped. True when it dropped them.
    virtual bool guardIdleLines() { return false; }
};

// No port chosen: nothing is keyed and there are no lines to poll.
class NoTransmitterPort final : public TransmitterPort
{
public:
    bool isOpen() const override { return false; }
    bool startOnDsr() const override { return true; }
    bool startOnCts() const override { return true; }
    bool inhibitOnDcd() const override { return true; }
    void key(const QString &) override {}
    void release(const QString &) override {}
    ModemStatus modemStatus() override { return {}; }
};

// What asked for an announcement.
enum class AnnounceOrigin {
    Button,   // "Play the message " (or a direct call)
    Schedule, // the period boundary of the tick
    Cts,      // a rising CTS line
    Dsr,      // a rising DSR line
    Sibling,  // the sibling program's play request
    Web,      // "Play the message" on the station page
};
// "the button", "the schedule", "CTS", "DSR", "the sibling program", "the station page".
QString announceOriginText(AnnounceOrigin origin);

// Why a start was refused.
enum class AnnounceRefusal {
    StartupPending, // the configuration has not been loaded yet
    Busy,           // an announcement is running
    Dcd,            // DCD is on and inhibits announcements
};
QString announceRefusalText(AnnounceRefusal refusal);

// Told of every announcement that starts, ends or is refused; the log is one
// such observer. All calls come on the main thread.
class AnnounceObserver
{
public:
    virtual ~AnnounceObserver() = default;
    virtual void announcementStarted(AnnounceOrigin origin) { (void)origin; }
    virtual void announcementRefused(AnnounceOrigin origin, AnnounceRefusal refusal)
    {
        (void)origin;
        (void)refusal;
    }
    // A built-in clip name ("son_time_is") or a user file's path, as it starts.
    virtual void clipStarted(const QString &clip) { (void)clip; }
    // `completed`: the end step ran; false when the watchdog reset ended it
    // (a player failure or a stall), with the status field's text.
    virtual void announcementEnded(bool completed, const QString &statusText)
    {
        (void)completed;
        (void)statusText;
    }
};

// The other programs an announcement talks to: the recorder, the sibling
// announcer, and the weather source whose reading fell due while it played.
class AnnounceLinks
{
public:
    virtual ~AnnounceLinks() = default;
    // Start the recorder if needed and tell it to record.
    virtual void recorderStart() {}
    // Tell the recorder to stop (and to close, when this announcement started it).
    virtual void recorderStop() {}
    // Answer the sibling's play request ("ZORBEL_DONE").
    virtual void sendSiblingDone() {}
    // Disconnect and connect the sibling link again.
    virtual void renewSiblingLink() {}
    // Take the weather reading that was put off during the announcement.
    virtual void takeDeferredReading() {}
};

// The spoken weather between the time and the goodbye file.
class WeatherSpeech
{
public:
    static constexpr int kItemCount = 11;

    virtual ~WeatherSpeech() = default;
    // The gate: false leaves out the whole weather part (no source, stale data,
    // a source error line).
    virtual bool beginWeather() = 0;
    // The clips of item 1..11, read when the item's turn comes; empty when the
    // item is not spoken.
    virtual QStringList weatherItem(int item) = 0;
};

} // namespace auravox
