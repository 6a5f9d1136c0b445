#pragma once

#include "transmitter/PttDevice.h"

namespace auravox {

class SerialLines;

// The boxes of the serial port window.
struct SerialLineChoice
{
    bool dtr = true; // raise DTR for PTT
    bool rts = true; // raise RTS for PTT
    bool dsr = true; // a rising DSR starts an announcement
    bool cts = true; // a rising CTS starts an announcement
    bool dcd = true; // DCD on inhibits announcements
};

// The modem control lines of one serial port: DTR and/or RTS key, CTS and DSR
// start, DCD inhibits. The boxes are read at each call, so a change in the
// window counts from the next key.
class SerialPtt final : public PttDevice
{
public:
    SerialPtt(SerialLines &lines, const SerialLineChoice &choice, const QString &portName);

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool setPtt(bool on) override;
    QString pttName() const override;
    ModemStatus inputs() override;
    bool startsOnCts() const override { return m_choice.cts; }
    bool startsOnDsr() const override { return m_choice.dsr; }
    bool inhibitsOnDcd() const override { return m_choice.dcd; }
    std::optional<QStringList> pttFoundUp() override;
    QString where() const override;
    QString lastError() const override { return m_error; }

    QString devicePath() const { return m_devicePath; }
    bool isKernelConsole() const;

private:
    SerialLines &m_lines;
    const SerialLineChoice &m_choice;
    QString m_portName;
    QString m_devicePath;
    QString m_error;
};

} // namespace auravox
