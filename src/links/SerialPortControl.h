#pragma once

#include "engine/AnnounceHooks.h"

#include <QString>
#include <QStringList>

namespace auravox {

class SerialLines;

// The chosen serial port: its name ("COM3" or "No COM"), its text ("\\.\COM3"
// while open, four blanks otherwise) and the lines it drives.
class SerialPortControl
{
public:
    explicit SerialPortControl(SerialLines &lines) : m_lines(lines) {}

    // "No COM" first, then the machine's ports sorted as text (COM10 before COM2).
    QStringList discoverPorts();
    const QStringList &portList() const { return m_portList; }
    QString devicePath(const QString &portName) const;

    QString portName() const { return m_portName; }
    QString portText() const { return m_portText; }
    bool isOpen() const { return m_portText != TransmitterPort::kNoPortText; }
    void setPortName(const QString &name) { m_portName = name; }

    // Opens the port named by portName(), closing (lines dropped first) any
    // port open before. False when it can't be opened; the port text is then
    // four blanks again.
    bool openChosenPort();
    // Drops both lines, closes the port, and chooses no port.
    void chooseNoPort();

    void setDtr(bool on);
    void setRts(bool on);
    ModemStatus modemStatus();

private:
    void closeOpenPort();

    SerialLines &m_lines;
    QStringList m_portList{TransmitterPort::kNoPortName};
    QString m_portName = TransmitterPort::kNoPortName;
    QString m_portText = TransmitterPort::kNoPortText;
};

} // namespace auravox
