#pragma once

#include <QString>

namespace auravox {

// The lines of one GPIO chip, as the kernel's character device gives them
// (libgpiod on Linux). Values are logical: with `activeLow` the wire is the
// other way round. Only lines requested here are touched, and the kernel
// grants each to one holder: no other program can drive them meanwhile.
class GpioChip
{
public:
    virtual ~GpioChip() = default;
    // "gpiochip0", its number, or its /dev path.
    virtual bool open(const QString &chip) = 0;
    // Gives back every line requested, then the chip.
    virtual void close() = 0;
    virtual bool requestOutput(int offset, bool activeLow, bool value) = 0;
    // An input with events on both edges.
    virtual bool requestInput(int offset, bool activeLow) = 0;
    virtual bool setValue(int offset, bool value) = 0;
    // 0 or 1; -1 when it can't be read.
    virtual int value(int offset) = 0;
    // The rising edges (into the active state) since the last call, read
    // without waiting; -1 when they can't be read.
    virtual int risingEdges(int offset) = 0;
    // The chip's name and the system's reason of the last call that failed.
    virtual QString lastError() const = 0;
};

} // namespace auravox
