#include "platform/linux/TermiosSerialLines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
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

TermiosSerialLines::TermiosSerialLines(QString deviceFolder, QString sysClassTty, QString procFolder)
    : m_deviceFolder(std::move(deviceFolder)), m_sysClassTty(std::move(sysClassTty)),
      m_procFolder(std::move(procFolder))
{
}

void TermiosSerialLines::fail(const QString &path, int error, const QString &what)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    m_lastError = path + QStringLiteral(": ") + (what.isEmpty() ? reason : what + QStringLiteral(" (") + reason + QLatin1Char(')'));
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
    if (path.isEmpty()) {
        m_lastError = portName + QStringLiteral(": no device for this port name");
        return false;
    }
    // Non-blocking, because some USB serial adapters hang an open that waits
    // for carrier; no controlling terminal, so a DCD drop sends no hang-up.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        fail(path, errno);
        return false;
    }
    // Linux raises DTR and RTS on open: drop them before anything else.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd.get(), TIOCMBIC, &lines);
    // Exclusive: another program that opens the port (or already has it
    // locked) makes this a failure, as the port belongs to one transmitter.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        fail(path, errno, QStringLiteral("locked by another program"));
        return false;
    }
    if (::ioctl(fd.get(), TIOCEXCL) != 0) {
        fail(path, errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd.get(), &tio) == 0) {
        // Binary mode, no flow control that would drive RTS or wait on CTS;
        // the speed and framing stay as the port had them. HUPCL drops DTR
        // and RTS when the port is closed, even by a crash.
        cfmakeraw(&tio);
        tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        tio.c_cflag |= CLOCAL | HUPCL;
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        ::tcsetattr(fd.get(), TCSANOW, &tio);
    }
    ::ioctl(fd.get(), TIOCMBIC, &lines);
    m_fd = std::move(fd);
    m_path = path;
    m_lastError.clear();
    return true;
}

void TermiosSerialLines::close()
{
    if (!m_fd)
        return;
    ::ioctl(m_fd.get(), TIOCNXCL);
    m_fd.reset();
}

bool TermiosSerialLines::setLine(int bit, bool on, const char *name)
{
    if (!m_fd)
        return false;
    if (::ioctl(m_fd.get(), on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    fail(m_path, errno, QLatin1String(name) + (on ? QStringLiteral(" up") : QStringLiteral(" down")));
    return false;
}

bool TermiosSerialLines::setDtr(bool on)
{
    return setLine(TIOCM_DTR, on, "DTR");
}

bool TermiosSerialLines::setRts(bool on)
{
    return setLine(TIOCM_RTS, on, "RTS");
}

ModemStatus TermiosSerialLines::modemStatus()
{
    ModemStatus s;
    int bits = 0;
    if (!m_fd || ::ioctl(m_fd.get(), TIOCMGET, &bits) != 0)
        return s;
    s.cts = (bits & TIOCM_CTS) != 0;
    s.dsr = (bits & TIOCM_DSR) != 0;
    s.dcd = (bits & TIOCM_CAR) != 0;
    s.dtr = (bits & TIOCM_DTR) != 0;
    s.rts = (bits & TIOCM_RTS) != 0;
    return s;
}

QStringList TermiosSerialLines::consoleDevices(const QString &procConsoles, const QString &activeConsoles,
                                               const QString &commandLine)
{
    QStringList names;
    auto add = [&names](const QString &name) {
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    };
    // /proc/consoles: "ttyS0                -W- (EC p a)    4:64", one console a line.
    for (const QString &line : procConsoles.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        add(line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty));
    // /sys/class/tty/console/active: "tty0 ttyS0".
    for (const QString &name : activeConsoles.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        add(name);
    // The kernel's command line: "console=ttyS0,115200n8" (the options after the comma).
    for (const QString &word : commandLine.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("--"))
            break; // the rest goes to init
        if (word.startsWith(QLatin1String("console=")))
            add(word.mid(8).section(QLatin1Char(','), 0, 0));
    }
    return names;
}

bool TermiosSerialLines::isKernelConsole(const QString &portName)
{
    const QString path = devicePath(portName);
    if (path.isEmpty())
        return false;
    auto read = [](const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    };
    const QStringList consoles = consoleDevices(read(m_procFolder + QStringLiteral("/consoles")),
                                                read(m_sysClassTty + QStringLiteral("/console/active")),
                                                read(m_procFolder + QStringLiteral("/cmdline")));
    // The chosen port by its own name, and by the node a link in the device
    // folder leads to.
    const QString name = QFileInfo(path).fileName();
    const QString target = QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    return consoles.contains(name) || (!target.isEmpty() && consoles.contains(target));
}

} // namespace auravox
