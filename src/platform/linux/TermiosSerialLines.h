#pragma once

#include "platform/SerialLines.h"

namespace auravox {

// Serial control lines through termios and the modem-line ioctls.
//
// Port names map to devices as COM1-COM32 = /dev/ttyS0-31,
// COM33-COM64 = /dev/ttyUSB0-31, COM65-COM96 = /dev/ttyACM0-31; only devices
// that exist are listed (for ttyS, only those with a UART behind them). The
// device folder can be changed for tests.
class TermiosSerialLines final : public SerialLines
{
public:
    explicit TermiosSerialLines(QString deviceFolder = QStringLiteral("/dev"),
                                QString sysClassTty = QStringLiteral("/sys/class/tty"));
    ~TermiosSerialLines() override;

    QStringList portNames() override;
    QString devicePath(const QString &portName) override;
    bool open(const QString &portName) override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }
    void setDtr(bool on) override;
    void setRts(bool on) override;
    ModemStatus modemStatus() override;

    // "ttyUSB1" for COM34, empty when out of range.
    static QString deviceName(int comNumber);

private:
    void setLine(int bit, bool on);

    QString m_deviceFolder;
    QString m_sysClassTty;
    int m_fd = -1;
};

} // namespace auravox
