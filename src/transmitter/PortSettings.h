#pragma once

#include "transmitter/Transmitter.h"

#include <QObject>
#include <QString>

namespace auravox {

class ConfigRegistry;
class SerialPortControl;

// The serial port choice and its five line boxes (COM=, DTR=, RTS=, DSR=,
// CTS=, DCD=). The boxes go to the transmitter on each change; the port is
// opened by whoever shows it (portRequested), which then says what to save.
class PortSettings final : public QObject
{
    Q_OBJECT
public:
    explicit PortSettings(QObject *parent = nullptr);

    const Transmitter::Lines &lines() const { return m_lines; }
    void setLines(const Transmitter::Lines &lines);
    // The value written after "COM=" ("0" for no port, "3" for COM3); empty:
    // no line at all.
    QString savedPort() const { return m_savedPort; }
    void setSavedPort(const QString &value) { m_savedPort = value; }
    // A port chosen by name ("COM3", or "No COM"), from the file or the page.
    void requestPort(const QString &name) { emit portRequested(name); }

    void declareConfig(ConfigRegistry &registry);
    // The transmitter follows the boxes, from now on.
    void bindTransmitter(Transmitter &transmitter);
    // Without a port window: a port asked for is opened on `control` at once.
    // One that can't be opened leaves no port chosen, and is kept for the next
    // save, as the window keeps it.
    void openRequestedPorts(SerialPortControl &control);

signals:
    void changed();
    void portRequested(const QString &name);

private:
    Transmitter::Lines m_lines;
    QString m_savedPort;
};

} // namespace auravox
