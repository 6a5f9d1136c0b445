#pragma once

#include "engine/AnnounceHooks.h"
#include "transmitter/PttDevice.h"
#include "transmitter/SerialPtt.h"

#include <QString>

#include <functional>
#include <memory>

namespace auravox {

class SerialLines;

// The one owner of the keying hardware, whatever its kind (a serial port's
// lines, a sound fob, a GPIO line, a rig): it opens and closes the device,
// keys and releases PTT, keeps it down while no announcement runs, and retries
// a release that failed until it works. The step machine, the watchdog reset,
// the port window and the close all go through it; every key, release and
// device fault is logged with its cause.
class Transmitter final : public TransmitterPort
{
public:
    // The boxes of the serial port window.
    using Lines = SerialLineChoice;

    explicit Transmitter(SerialLines &lines) : m_lines(lines) {}

    void setLines(const Lines &lines) { m_choice = lines; }
    const Lines &lines() const { return m_choice; }
    // The PTT LED of the main window: on when a line is keyed, off at release.
    void setLed(std::function<void(bool on)> led) { m_led = std::move(led); }

    // Opens the serial port `portName` ("COM3") with both lines down, after
    // releasing and closing whatever was open before. False when it can't be
    // opened: lastError() then holds the device path and the system's reason,
    // and the log says so.
    bool open(const QString &portName);
    // The same for another kind of device (a fob, a GPIO line, a rig).
    bool openDevice(std::unique_ptr<PttDevice> device);
    // Releases PTT and closes the device; nothing when none is open.
    void close(const QString &cause);

    // "COM3" while a serial port is open, empty otherwise.
    QString portName() const { return isOpen() && m_serial ? m_portName : QString(); }
    QString devicePath() const { return isOpen() && m_serial ? m_serial->devicePath() : QString(); }
    // The open device for the log and the windows ("/dev/hidraw1 (CM108 GPIO3)"); empty when none.
    QString where() const { return m_device ? m_device->where() : QString(); }
    // The open device is not a serial port.
    bool isOtherKind() const { return isOpen() && !m_serial; }
    // The open port is the kernel's console: the kernel leaves DTR and RTS as
    // they are when the port is closed, so a crash leaves the transmitter keyed.
    bool isKernelConsole() const { return isOpen() && m_console; }
    // Keyed by an announcement and not released since.
    bool isKeyed() const { return m_keyed; }
    // A release failed and is retried at every idle poll.
    bool releasePending() const { return !m_pendingRelease.isEmpty(); }
    // Why the last open, key or release failed; empty when the last of them worked.
    QString lastError() const { return m_lastError; }

    // TransmitterPort
    bool isOpen() const override;
    bool startOnDsr() const override;
    bool startOnCts() const override;
    bool inhibitOnDcd() const override;
    void key(const QString &cause) override;
    void release(const QString &cause) override;
    ModemStatus modemStatus() override;
    QString startInputName() const override;
    bool guardIdleLines() override;

private:
    bool openNow(std::unique_ptr<PttDevice> device, const QString &name);
    void showLed(bool on);
    bool retryRelease();

    SerialLines &m_lines;
    Lines m_choice;
    std::function<void(bool)> m_led;
    std::unique_ptr<PttDevice> m_device;
    SerialPtt *m_serial = nullptr; // m_device, when it is the serial port
    QString m_portName;
    QString m_lastError;
    // The cause of a release that failed, until a retry works.
    QString m_pendingRelease;
    bool m_console = false;
    bool m_keyed = false;
    // Polls in a row that found the lines raised while idle, or that failed
    // to release (the log tells the first of a run, then one in a minute).
    int m_guardRun = 0;
    int m_retryRun = 0;
};

} // namespace auravox
