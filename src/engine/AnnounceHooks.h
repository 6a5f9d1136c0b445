#pragma once

#include "common/DateTime.h"

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

// What the step machine reads from and shows on the main window.
class AnnounceHost
{
public:
    virtual ~AnnounceHost() = default;
    virtual MessageChoices messageChoices() const = 0;
    // The clock fields as the last tick set them.
    virtual ClockFields clockFields() const = 0;
    // True until the configuration has been loaded.
    virtual bool startupPending() const = 0;
    virtual void showStatus(const QString &text) = 0;
    // What the status field shows now.
    virtual QString statusText() const { return {}; }
    // Button1 ("Play the message ").
    virtual void setPlayEnabled(bool enabled) = 0;
    // The sound card choice's OK button, enabled again at the end of an announcement.
    virtual void setSoundCardOkEnabled(bool enabled) = 0;
};

// States of the serial input lines, as the modem status reports them.
struct ModemStatus
{
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
};

// The serial port that keys the transmitter (DTR, RTS) and carries the input
// lines (CTS, DSR start an announcement, DCD inhibits one).
class TransmitterPort
{
public:
    static inline const QString kNoPortText = QStringLiteral("    ");
    static inline const QString kNoPortName = QStringLiteral("No COM");

    virtual ~TransmitterPort() = default;
    // "\\.\" + port name while a port is open, four blanks otherwise.
    virtual QString portText() const = 0;
    // "COM" + number, or "No COM".
    virtual QString portName() const = 0;
    // The boxes of the serial port window.
    virtual bool useDtr() const = 0;
    virtual bool useRts() const = 0;
    virtual bool startOnDsr() const = 0;
    virtual bool startOnCts() const = 0;
    virtual bool inhibitOnDcd() const = 0;

    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    // The PTT LED of the main window.
    virtual void showLed(bool on) = 0;
    virtual ModemStatus modemStatus() = 0;
};

// No port chosen: nothing is keyed and there are no lines to poll.
class NoTransmitterPort final : public TransmitterPort
{
public:
    QString portText() const override { return kNoPortText; }
    QString portName() const override { return kNoPortName; }
    bool useDtr() const override { return true; }
    bool useRts() const override { return true; }
    bool startOnDsr() const override { return true; }
    bool startOnCts() const override { return true; }
    bool inhibitOnDcd() const override { return true; }
    void setDtr(bool) override {}
    void setRts(bool) override {}
    void showLed(bool) override {}
    ModemStatus modemStatus() override { return {}; }
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
