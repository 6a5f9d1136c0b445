#pragma once

#include "transmitter/PttSettings.h"
#include "transmitter/Transmitter.h"

#include <QObject>
#include <QString>

namespace auravox {

class ConfigRegistry;
class SerialPortControl;

// The serial port choice and its five line boxes (COM=, DTR=, RTS=, DSR=,
// CTS=, DCD=), and the kind of transmitter port with the other kinds'
// settings (PTT_TYPE= and the CM108_, GPIO_ and RIG_ keys, written after every
// other key and only when they differ from their defaults). The boxes go to
// the transmitter on each change; the serial port is opened by whoever shows
// it (portRequested), which then says what to save; the other kinds' device
// is opened by openDevices.
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

    const PttSettings &ptt() const { return m_ptt; }
    // Takes `ptt` when it can be used; otherwise keeps what it had and returns
    // what is wrong (sentences that say what to fix).
    QStringList setPtt(const PttSettings &ptt);
    // The device of the kind is opened again with the settings as they are.
    void applyAgain() { emit pttChanged(); }

    void declareConfig(ConfigRegistry &registry);
    // The transmitter follows the boxes, from now on.
    void bindTransmitter(Transmitter &transmitter);
    // Without a port window: a port asked for is opened on `control` at once.
    // One that can't be opened leaves no port chosen, and is kept for the next
    // save, as the window keeps it.
    void openRequestedPorts(SerialPortControl &control);
    // The kind and its settings go to `control` once the changes of one pass
    // of the event loop are made (a configuration load opens the device once,
    // after all its keys): the device of the kind is opened, or closed for the
    // serial port. deviceApplied tells what came of it.
    void openDevices(SerialPortControl &control);

signals:
    void changed();
    void portRequested(const QString &name);
    void pttChanged();
    // After the kind's device was opened or closed: empty, or why it could not be.
    void deviceApplied(const QString &error);

private:
    void declarePttConfig(ConfigRegistry &registry);

    Transmitter::Lines m_lines;
    QString m_savedPort;
    PttSettings m_ptt;
    bool m_applyPosted = false;
};

} // namespace auravox
