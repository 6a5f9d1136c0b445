#pragma once

#include "platform/ModemStatus.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace auravox {

struct PttSettings;

// One kind of keying hardware: a serial port's lines, a sound fob's GPIO, a
// GPIO line of the board, a rig's CAT port. `Transmitter` keeps the promises
// (the lead, the release on every fault, the idle guard, the log) over it; a
// device only does what it is told and says what went wrong.
class PttDevice
{
public:
    virtual ~PttDevice() = default;

    // Opens the device with PTT off. False when it can't be had: lastError()
    // then names the device and the system's reason.
    virtual bool open() = 0;
    // Closes it (the transmitter releases PTT first).
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Keys (true) or releases (false) the transmitter. False when the device
    // did not take it; lastError() says why. A release always drops every
    // output the device could have keyed, whatever its settings say.
    virtual bool setPtt(bool on) = 0;
    // What keying raises, for the log ("DTR+RTS", "GPIO3"); empty when the
    // settings choose nothing to key (the lead is still kept).
    virtual QString pttName() const = 0;

    // The inputs as the device has them now: `cts` and `dsr` ask for an
    // announcement on their rising edge, `dcd` on inhibits one. The other
    // kinds than the serial port have one start input, reported as `cts`.
    // All off when nothing is open or the read fails.
    virtual ModemStatus inputs() = 0;
    // Which of the inputs count (the serial port window's boxes, or whether
    // the kind's start and inhibit inputs are set).
    virtual bool startsOnCts() const = 0;
    virtual bool startsOnDsr() const = 0;
    virtual bool inhibitsOnDcd() const = 0;
    // The start input as the log names it ("line 17", "bit 3"); empty for the
    // serial port, whose CTS and DSR say themselves.
    virtual QString startName() const { return QString(); }

    // The outputs found keyed now ("DTR", "RTS"); empty when none is; nullopt
    // when the device can't read them back (the guard then releases again).
    virtual std::optional<QStringList> pttFoundUp() = 0;

    // The device and what it is, for the log: "/dev/ttyS1 (COM2)".
    virtual QString where() const = 0;
    virtual QString lastError() const = 0;
};

// Makes the device for the kind the settings choose (not the serial port,
// which the port list opens); null when this build has no such kind.
using PttDeviceFactory = std::function<std::unique_ptr<PttDevice>(const PttSettings &)>;

} // namespace auravox
