#include "platform/linux/MonitorSerialDriver.h"

#include "platform/linux/TermiosSerialLines.h"

#include "common/Log.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace auravox {

using namespace monitor;

namespace {

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    default:
        return B0;
    }
}

enum class Wait
{
    Ready,
    TimedOut,
    LineLost, // the line hung up or failed (POLLHUP, POLLERR, POLLNVAL)
};

// Waits for `events` on `fd` until the deadline.
Wait waitFor(int fd, short events, qint64 deadlineMs)
{
    for (;;) {
        const qint64 left = deadlineMs - MonitorSerialDriver::steadyClockMs();
        if (left <= 0)
            return Wait::TimedOut;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return Wait::LineLost;
        if (r == 0)
            return Wait::TimedOut;
        if (p.revents & events)
            return Wait::Ready;
        return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? Wait::LineLost : Wait::TimedOut;
    }
}

} // namespace

QString MonitorSerialDriver::defaultPortPath(int port)
{
    const QString name = TermiosSerialLines::deviceName(port);
    return name.isEmpty() ? QString() : QStringLiteral("/dev/") + name;
}

qint64 MonitorSerialDriver::steadyClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

MonitorSerialDriver::MonitorSerialDriver(PortPath portPath, Clock clock)
    : m_portPath(std::move(portPath)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = &MonitorSerialDriver::steadyClockMs;
}

MonitorSerialDriver::~MonitorSerialDriver()
{
    CloseCommPort();
}

int MonitorSerialDriver::OpenCommPort(int port, int baud)
{
    CloseCommPort();
    if (!openLine(port, baud)) {
        const QString path = m_portPath ? m_portPath(port) : QString();
        if (path.isEmpty())
            qCWarning(lcPort).noquote() << "Weather Monitor: COM" + QString::number(port) << "has no device";
        else
            qCWarning(lcPort).noquote() << "Weather Monitor: cannot use" << path
                                        << (m_openErrno ? QStringLiteral("(%1)").arg(QString::fromLocal8Bit(::strerror(m_openErrno)))
                                                        : QStringLiteral("(no station answers)"));
        return 0;
    }
    m_port = port;
    m_baud = baud;
    return 1;
}

bool MonitorSerialDriver::openLine(int port, int baud)
{
    closeLine();
    m_openErrno = 0;
    const QString path = m_portPath ? m_portPath(port) : QString();
    const speed_t speed = speedFor(baud);
    if (path.isEmpty() || speed == B0)
        return false;
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        m_openErrno = errno;
        return false;
    }
    m_openErrno = 0;
    m_path = path;
    // The station belongs to one program: a port another program holds (or
    // locks later) is a failure.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd.get(), TIOCEXCL) != 0) {
        m_openErrno = errno;
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd.get(), &tio) != 0) {
        m_openErrno = errno;
        return false;
    }
    // Raw 8N1, no flow control, modem lines ignored. The modem lines are not
    // touched at all: a pseudo-terminal or some adapters have none.
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // With O_NONBLOCK, VMIN 1 makes an empty line EAGAIN, so a read of 0
    // bytes means the line hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (::tcsetattr(fd.get(), TCSANOW, &tio) != 0) {
        m_openErrno = errno;
        ::ioctl(fd.get(), TIOCNXCL);
        return false;
    }
    m_fd = std::move(fd);
    m_calibration = {};
    m_packet.reset();
    m_trendRefused = false;
    m_history.clear();

    // A Rev E adapter wants a CRC before each command unless told otherwise;
    // an older station answers "!" to the handshake, which is just as good.
    sendHandshake();

    QByteArray type;
    const Reply typeReply = transact(wrdCommand(kWrdOneByte, kAddrStationType), 1, type);
    bool answers = typeReply == Reply::Ok && static_cast<quint8>(type.at(0)) == kStationTypeMonitor;
    // A station that answered something but not "Monitor" gets a second
    // chance with a LOOP packet; silence means nobody is there.
    if (!answers && typeReply != Reply::NoAnswer)
        answers = packet(true) != nullptr;
    if (!answers) {
        closeLine();
        return false;
    }

    const struct
    {
        quint8 address;
        qint16 MonitorCalibration::*field;
    } calibrations[] = {{kAddrInsideTempCal, &MonitorCalibration::insideTempTenthsF},
                        {kAddrOutsideTempCal, &MonitorCalibration::outsideTempTenthsF},
                        {kAddrBarometerCal, &MonitorCalibration::barometerThousandthsInHg}};
    for (const auto &c : calibrations) {
        QByteArray value;
        const Reply r = transact(wrdCommand(kWrdTwoBytes, c.address), 2, value);
        if (r == Reply::Ok)
            m_calibration.*c.field = qFromLittleEndian<qint16>(value.constData());
        else if (r == Reply::NoAnswer)
            break; // no point waiting for the others as well
    }
    return isOpen(); // the line may have hung up during the calibration reads
}

void MonitorSerialDriver::CloseCommPort()
{
    m_port = 0;
    closeLine();
}

void MonitorSerialDriver::closeLine()
{
    m_packet.reset();
    if (!m_fd)
        return;
    ::ioctl(m_fd.get(), TIOCNXCL);
    m_fd.reset();
}

void MonitorSerialDriver::lineLost(const char *what, int error)
{
    if (!m_fd)
        return;
    // A USB adapter that was reset or unplugged never comes back on this
    // descriptor; its device (or the link to it) does come back at its path.
    QString why = QString::fromLatin1(what);
    if (error)
        why += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(::strerror(error)));
    qCWarning(lcPort).noquote() << "Weather Monitor:" << m_path << why
                                << "- the port is closed and opened again at the next reading";
    closeLine();
    m_reopenFailureLogged = false;
}

bool MonitorSerialDriver::reopenLine()
{
    // Not from inside an open (its station query reads a packet too).
    if (isOpen() || m_port == 0 || m_opening)
        return isOpen();
    m_opening = true;
    const bool opened = openLine(m_port, m_baud);
    m_opening = false;
    if (opened) {
        qCInfo(lcPort).noquote() << "Weather Monitor: found again at" << m_path;
        return true;
    }
    if (!m_reopenFailureLogged) {
        const QString path = m_portPath ? m_portPath(m_port) : QString();
        qCInfo(lcPort).noquote() << "Weather Monitor: not back yet at" << path
                                 << (m_openErrno ? QStringLiteral("(%1)").arg(QString::fromLocal8Bit(::strerror(m_openErrno)))
                                                 : QStringLiteral("(no answer)"));
        m_reopenFailureLogged = true;
    }
    return false;
}

double MonitorSerialDriver::GetDllVersion()
{
    return kDriverVersion;
}

double MonitorSerialDriver::GetInsideTemp()
{
    const LoopPacket *p = packet(true);
    if (!p)
        return kNoReading;
    return calibratedTemperatureF(p->insideTempTenthsF, m_calibration.insideTempTenthsF).value_or(kNoReading);
}

double MonitorSerialDriver::GetOutsideTemp()
{
    const LoopPacket *p = packet(false);
    if (!p)
        return kNoReading;
    return calibratedTemperatureF(p->outsideTempTenthsF, m_calibration.outsideTempTenthsF).value_or(kNoReading);
}

double MonitorSerialDriver::GetBarometer()
{
    const LoopPacket *p = packet(false);
    if (!p)
        return kNoReading;
    return calibratedBarometerInHg(p->barometerThousandthsInHg, m_calibration.barometerThousandthsInHg)
        .value_or(kNoReading);
}

quint8 MonitorSerialDriver::GetBarometerTrend()
{
    if (!isOpen())
        return kNoTrend;
    if (!m_trendRefused) {
        QByteArray bits;
        const Reply r = transact(wrdCommand(kWrdOneByte, kAddrTrend), 1, bits);
        if (r == Reply::Ok) {
            if (const auto trend = decodeTrendBits(static_cast<quint8>(bits.at(0))))
                return *trend;
        } else if (r == Reply::Refused) {
            // This station does not know the read: do not ask again until
            // the port is opened anew.
            m_trendRefused = true;
        }
    }
    // From our own readings, with the current one among them.
    packet(false);
    return m_history.trend(m_clock());
}

double MonitorSerialDriver::GetWindSpeed()
{
    const LoopPacket *p = packet(false);
    return p ? static_cast<double>(p->windSpeedMph) : kNoReading;
}

int MonitorSerialDriver::GetWindDirection()
{
    const LoopPacket *p = packet(false);
    return p && p->windDirection ? *p->windDirection : kNoDirection;
}

const LoopPacket *MonitorSerialDriver::packet(bool fresh)
{
    const qint64 now = m_clock();
    if (!fresh && m_packet && now >= m_packetMs && now - m_packetMs < kPacketFreshMs)
        return &*m_packet;
    m_packet.reset();
    // A reading starts with a fresh packet: the moment to look for a station
    // whose line hung up.
    if (fresh)
        reopenLine();
    if (!isOpen())
        return nullptr;
    std::optional<LoopPacket> p;
    for (int attempt = 0; attempt < 2 && !p; ++attempt) {
        const Reply r = readLoopOnce(p);
        if (r == Reply::Cancelled)
            sendHandshake();
    }
    if (!p)
        return nullptr;
    m_packet = p;
    m_packetMs = now;
    if (const auto baro = calibratedBarometerInHg(p->barometerThousandthsInHg, m_calibration.barometerThousandthsInHg))
        m_history.add(now, *baro);
    return &*m_packet;
}

MonitorSerialDriver::Reply MonitorSerialDriver::transact(const QByteArray &command, int size, QByteArray &payload)
{
    const Reply first = transactOnce(command, size, payload);
    if (first == Reply::Ok)
        return first;
    // The adapter lost the plain mode (power cycle): switch it again.
    if (first == Reply::Cancelled)
        sendHandshake();
    return transactOnce(command, size, payload);
}

MonitorSerialDriver::Reply MonitorSerialDriver::transactOnce(const QByteArray &command, int size, QByteArray &payload)
{
    const qint64 deadline = steadyClockMs() + m_replyTimeoutMs;
    const Reply r = sendCommand(command, deadline);
    if (r != Reply::Ok)
        return r;
    payload.clear();
    return readBytes(payload, size, deadline) ? Reply::Ok : Reply::NoAnswer;
}

MonitorSerialDriver::Reply MonitorSerialDriver::readLoopOnce(std::optional<LoopPacket> &packet)
{
    packet.reset();
    const qint64 deadline = steadyClockMs() + m_replyTimeoutMs;
    const Reply r = sendCommand(loopCommand(1), deadline);
    if (r != Reply::Ok)
        return r;
    // The start byte follows the ACK; anything before it is line noise.
    char byte = 0;
    do {
        if (!readByte(byte, deadline))
            return Reply::NoAnswer;
    } while (byte != kLoopStart);
    QByteArray body;
    if (!readBytes(body, kLoopPacketSize - 1, deadline))
        return Reply::NoAnswer;
    packet = parseLoopPacket(body);
    return packet ? Reply::Ok : Reply::BadData;
}

MonitorSerialDriver::Reply MonitorSerialDriver::sendCommand(const QByteArray &command, qint64 deadlineMs)
{
    // Whatever is still in the line (a late reply, the rest of a packet)
    // would be taken for the answer: drop it first.
    discardInput();
    if (!writeAll(command, deadlineMs))
        return Reply::NoAnswer;
    char byte = 0;
    for (;;) {
        if (!readByte(byte, deadlineMs))
            return Reply::NoAnswer;
        if (byte == kAck)
            return Reply::Ok;
        if (byte == kNak)
            return Reply::Refused;
        if (byte == kCan)
            return Reply::Cancelled;
    }
}

void MonitorSerialDriver::sendHandshake()
{
    const qint64 deadline = steadyClockMs() + m_replyTimeoutMs;
    discardInput();
    if (!writeAll(crc0Handshake(), deadline))
        return;
    // Any answer (ACK, CAN, "!") or none: wait for the first byte, give the
    // rest a moment, then forget all of it.
    char byte = 0;
    if (readByte(byte, deadline)) {
        const qint64 settle = std::min(deadline, steadyClockMs() + 50);
        while (readByte(byte, settle)) {
        }
    }
    discardInput();
}

bool MonitorSerialDriver::writeAll(const QByteArray &bytes, qint64 deadlineMs)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (!m_fd)
            return false;
        const ssize_t n = ::write(m_fd.get(), bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            lineLost("failed on write", errno);
            return false;
        }
        const Wait w = waitFor(m_fd.get(), POLLOUT, deadlineMs);
        if (w == Wait::LineLost)
            lineLost("hung up", 0);
        if (w != Wait::Ready)
            return false;
    }
    return true;
}

bool MonitorSerialDriver::readByte(char &byte, qint64 deadlineMs)
{
    for (;;) {
        if (!m_fd)
            return false;
        const ssize_t n = ::read(m_fd.get(), &byte, 1);
        if (n == 1)
            return true;
        if (n == 0) {
            // VMIN 1 with O_NONBLOCK: an empty line is EAGAIN, so 0 is a hang-up.
            lineLost("hung up", 0);
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lineLost("failed on read", errno); // EIO after an adapter reset
            return false;
        }
        const Wait w = waitFor(m_fd.get(), POLLIN, deadlineMs);
        if (w == Wait::LineLost)
            lineLost("hung up", 0);
        if (w != Wait::Ready)
            return false;
    }
}

bool MonitorSerialDriver::readBytes(QByteArray &out, int size, qint64 deadlineMs)
{
    char byte = 0;
    while (out.size() < size) {
        if (!readByte(byte, deadlineMs))
            return false;
        out.append(byte);
    }
    return true;
}

void MonitorSerialDriver::discardInput()
{
    if (!m_fd)
        return;
    ::tcflush(m_fd.get(), TCIFLUSH);
    char buf[256];
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = ::read(m_fd.get(), buf, sizeof buf);
        if (n <= 0)
            break;
    }
}

} // namespace auravox
