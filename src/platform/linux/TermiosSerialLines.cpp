#include "platform/linux/TermiosSerialLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace auravox {

namespace {
struct Family
{
    const char *prefix;
    int firstCom;
};
constexpr Family kFamilies[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};
constexpr int kPortsPerFamily = 32;
} // namespace

TermiosSerialLines::TermiosSerialLines(QString deviceFolder, QString sysClassTty)
    : m_deviceFolder(std::move(deviceFolder)), m_sysClassTty(std::move(sysClassTty))
{
}

TermiosSerialLines::~TermiosSerialLines()
{
    if (isOpen()) {
        setDtr(false);
        setRts(false);
        close();
    }
}

QString TermiosSerialLines::deviceName(int comNumber)
{
    for (const Family &f : kFamilies) {
        if (comNumber >= f.firstCom && comNumber < f.firstCom + kPortsPerFamily)
            return QLatin1String(f.prefix) + QString::number(comNumber - f.firstCom);
    }
    return QString();
}

QString TermiosSerialLines::devicePath(const QString &portName)
{
    if (!portName.startsWith(QLatin1String("COM")))
        return QString();
    bool ok = false;
    const int n = portName.mid(3).toInt(&ok);
    const QString name = ok ? deviceName(n) : QString();
    return name.isEmpty() ? QString() : m_deviceFolder + QLatin1Char('/') + name;
}

QStringList TermiosSerialLines::portNames()
{
    QStringList names;
    for (const Family &f : kFamilies) {
        for (int i = 0; i < kPortsPerFamily; ++i) {
            const QString dev = QLatin1String(f.prefix) + QString::number(i);
            if (!QFileInfo::exists(m_deviceFolder + QLatin1Char('/') + dev))
                continue;
            // The serial driver makes ttyS nodes for ports that have no UART;
            // sysfs says "0" (unknown) as their type.
            QFile type(m_sysClassTty + QLatin1Char('/') + dev + QStringLiteral("/type"));
            if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
                continue;
            names << QStringLiteral("COM%1").arg(f.firstCom + i);
        }
    }
    return names;
}

bool TermiosSerialLines::open(const QString &portName)
{
    close();
    const QString path = devicePath(portName);
    if (path.isEmpty())
        return false;
    // Non-blocking, because some USB serial adapters hang an open that waits
    // for carrier; no controlling terminal, so a DCD drop sends no hang-up.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Linux raises DTR and RTS on open: drop them before anything else.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    // Exclusive: another program that opens the port (or already has it
    // locked) makes this a failure, as the port belongs to one transmitter.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        // Binary mode, no flow control that would drive RTS or wait on CTS;
        // the speed and framing stay as the port had them. HUPCL drops DTR
        // and RTS when the port is closed, even by a crash.
        cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        tio.c_cflag |= CLOCAL | HUPCL;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    ::ioctl(fd, TIOCMBIC, &lines);
    m_fd = fd;
    return true;
}

void TermiosSerialLines::close()
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

void TermiosSerialLines::setLine(int bit, bool on)
{
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit);
}

void TermiosSerialLines::setDtr(bool on)
{
    setLine(TIOCM_DTR, on);
}

void TermiosSerialLines::setRts(bool on)
{
    setLine(TIOCM_RTS, on);
}

ModemStatus TermiosSerialLines::modemStatus()
{
    ModemStatus s;
    int bits = 0;
    if (m_fd < 0 || ::ioctl(m_fd, TIOCMGET, &bits) != 0)
        return s;
    s.cts = (bits & TIOCM_CTS) != 0;
    s.dsr = (bits & TIOCM_DSR) != 0;
    s.dcd = (bits & TIOCM_CAR) != 0;
    return s;
}

} // namespace auravox
