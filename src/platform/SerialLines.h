#pragma once

#include "platform/ModemStatus.h"

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
    // once. False when it can't be had (missing, busy, no permission);
    // lastError() then says why.
    virtual bool open(const QString &portName) = 0;
    // Closes the port (the caller drops the lines first).
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // False when the line could not be set (lastError() says why).
    virtual bool setDtr(bool on) = 0;
    virtual bool setRts(bool on) = 0;
    // CTS, DSR and DCD, and DTR and RTS as the port has them now; all off when
    // nothing is open or the read fails.
    virtual ModemStatus modemStatus() = 0;

    // The device path and the system's error text of the last call that
    // failed ("/dev/ttyS1: Device or resource busy").
    virtual QString lastError() const = 0;
    // True when the port is a console of the kernel: the kernel then leaves
    // DTR and RTS as they are when the port is closed, even by a crash.
    virtual bool isKernelConsole(const QString &portName) = 0;
};

} // namespace auravox
