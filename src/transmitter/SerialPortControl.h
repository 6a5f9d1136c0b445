#pragma once

#include "engine/AnnounceHooks.h"
#include "transmitter/PttDevice.h"
#include "transmitter/Transmitter.h"

#include <QString>
#include <QStringList>

namespace auravox {

class SerialLines;

// The chosen serial port: its name ("COM3" or "No COM"), its text ("\\.\COM3"
// while open, four blanks otherwise), and the transmitter on it.
class SerialPortControl
{
public:
    explicit SerialPortControl(SerialLines &lines) : m_lines(lines), m_transmitter(lines) {}

    // "No COM" first, then the machine's ports sorted as text (COM10 before COM2).
    QStringList discoverPorts();
    const QStringList &portList() const { return m_portList; }
    QString devicePath(const QString &portName) const;

    QString portName() const { return m_portName; }
    QString portText() const;
    bool isOpen() const { return m_transmitter.isOpen(); }
    void setPortName(const QString &name) { m_portName = name; }

    // Opens the port named by portName(), closing (lines dropped first) any
    // port open before. False when it can't be opened (the transmitter's
    // lastError() says why); the port text is then four blanks again.
    bool openChosenPort();
    // Drops both lines, closes the port, and chooses no port.
    void chooseNoPort(const QString &cause = QStringLiteral("no port chosen"));

    // The kinds other than the serial port: their devices are made by `factory`
    // (the program's real ones, or a test's).
    void setDeviceFactory(PttDeviceFactory factory) { m_factory = std::move(factory); }
    // Puts the transmitter on the kind `ptt` chooses: for the serial port, the
    // other kind's device is closed and the chosen port opened again; for
    // another kind its device is opened, closing whatever was open (the port
    // name stays chosen). Empty when that worked; otherwise why not (also in
    // the log), and nothing is open.
    QString usePtt(const PttSettings &ptt);

    Transmitter &transmitter() { return m_transmitter; }
    const Transmitter &transmitter() const { return m_transmitter; }

private:
    SerialLines &m_lines;
    Transmitter m_transmitter;
    PttDeviceFactory m_factory;
    QStringList m_portList{TransmitterPort::kNoPortName};
    QString m_portName = TransmitterPort::kNoPortName;
};

} // namespace auravox
