#pragma once

#include "engine/AnnounceHooks.h"

#include <QString>
#include <QStringList>

namespace auravox {

// The modem control lines of one serial port; no data is ever sent or read.
class SerialLines
{
public:
    virtual ~SerialLines() = default;

    // The ports of this machine, as "COM" + number, in no particular order.
    virtual QStringList portNames() = 0;
    // The device file behind a port name ("/dev/ttyS2" for COM3), empty when
    // the name maps to nothing.
    virtual QString devicePath(const QString &portName) = 0;

    // Opens the port for the lines only, exclusively, and drops DTR and RTS at
    // once. False when it can't be had (missing, busy, no permission).
    virtual bool open(const QString &portName) = 0;
    // Closes the port (the caller drops the lines first).
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    // CTS, DSR and DCD; all off when nothing is open or the read fails.
    virtual ModemStatus modemStatus() = 0;
};

} // namespace auravox
