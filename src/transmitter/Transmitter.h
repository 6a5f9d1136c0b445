#pragma once

#include "engine/AnnounceHooks.h"

#include <QString>

#include <functional>

namespace auravox {

class SerialLines;

// The one owner of the transmitter's serial port: it opens and closes the
// port, keys and releases PTT (DTR, RTS), and keeps both lines down while no
// announcement runs. The step machine, the watchdog reset, the port window and
// the close all go through it; every key, release and port fault is logged.
class Transmitter final : public TransmitterPort
{
public:
    // The boxes of the serial port window.
    struct Lines
    {
        bool dtr = true; // raise DTR for PTT
        bool rts = true; // raise RTS for PTT
        bool dsr = true; // a rising DSR starts an announcement
        bool cts = true; // a rising CTS starts an announcement
        bool dcd = true; // DCD on inhibits announcements
    };

    explicit Transmitter(SerialLines &lines) : m_lines(lines) {}

    void setLines(const Lines &lines) { m_choice = lines; }
    const Lines &lines() const { return m_choice; }
    // The PTT LED of the main window: on when a line is keyed, off at release.
    void setLed(std::function<void(bool on)> led) { m_led = std::move(led); }

    // Opens `portName` ("COM3") with both lines down, after releasing and
    // closing any port open before. False when it can't be opened: lastError()
    // then holds the device path and the system's reason, and the log says so.
    bool open(const QString &portName);
    // Releases PTT and closes the port; nothing when none is open.
    void close(const QString &cause);

    // "COM3" while open, empty otherwise.
    QString portName() const { return isOpen() ? m_portName : QString(); }
    QString devicePath() const { return isOpen() ? m_devicePath : QString(); }
    // The open port is the kernel's console: the kernel leaves DTR and RTS as
    // they are when the port is closed, so a crash leaves the transmitter keyed.
    bool isKernelConsole() const { return isOpen() && m_console; }
    // Keyed by an announcement and not released since.
    bool isKeyed() const { return m_keyed; }
    // Why the last open, key or release failed; empty when the last of them worked.
    QString lastError() const { return m_lastError; }

    // TransmitterPort
    bool isOpen() const override;
    bool startOnDsr() const override { return m_choice.dsr; }
    bool startOnCts() const override { return m_choice.cts; }
    bool inhibitOnDcd() const override { return m_choice.dcd; }
    void key(const QString &cause) override;
    void release(const QString &cause) override;
    ModemStatus modemStatus() override;
    bool guardIdleLines() override;

private:
    void showLed(bool on);
    QString where() const;

    SerialLines &m_lines;
    Lines m_choice;
    std::function<void(bool)> m_led;
    QString m_portName;
    QString m_devicePath;
    QString m_lastError;
    bool m_console = false;
    bool m_keyed = false;
    // Polls in a row that found the lines raised while idle (the log tells the
    // first of a run, then one in a minute).
    int m_guardRun = 0;
};

} // namespace auravox
