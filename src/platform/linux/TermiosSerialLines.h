#pragma once

#include "common/UniqueFd.h"
#include "platform/SerialLines.h"

namespace auravox {

// Serial control lines through termios and the modem-line ioctls.
//
// Port names map to devices as COM1-COM32 = /dev/ttyS0-31,
// COM33-COM64 = /dev/ttyUSB0-31, COM65-COM96 = /dev/ttyACM0-31; only devices
// that exist are listed (for ttyS, only those with a UART behind them). The
// device, sysfs and proc folders can be changed for tests.
class TermiosSerialLines final : public SerialLines
{
public:
    explicit TermiosSerialLines(QString deviceFolder = QStringLiteral("/dev"),
                                QString sysClassTty = QStringLiteral("/sys/class/tty"),
                                QString procFolder = QStringLiteral("/proc"));
    ~TermiosSerialLines() override;

    QStringList portNames() override;
    QString devicePath(const QString &portName) override;
    bool open(const QString &portName) override;
    void close() override;
    bool isOpen() const override { return m_fd.isValid(); }
    bool setDtr(bool on) override;
    bool setRts(bool on) override;
    ModemStatus modemStatus() override;
    QString lastError() const override { return m_lastError; }
    bool isKernelConsole(const QString &portName) override;

    // "ttyUSB1" for COM34, empty when out of range.
    static QString deviceName(int comNumber);
    // The kernel's console devices ("ttyS0") named by the text of
    // /proc/consoles, of /sys/class/tty/console/active and of /proc/cmdline
    // ("console=ttyS0,115200n8"); any of them may be empty.
    static QStringList consoleDevices(const QString &procConsoles, const QString &activeConsoles,
                                      const QString &commandLine);

private:
    bool setLine(int bit, bool on, const char *name);
    void fail(const QString &path, int error, const QString &what = QString());

    QString m_deviceFolder;
    QString m_sysClassTty;
    QString m_procFolder;
    QString m_path;
    QString m_lastError;
    UniqueFd m_fd;
};

} // namespace auravox
