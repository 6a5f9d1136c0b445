#include "platform/linux/MonitorSimulator.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <numbers>
#include <poll.h>
#include <random>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace auravox {

using namespace monitor;

namespace {

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LoopPacket defaultPacket()
{
    LoopPacket p;
    p.insideTempTenthsF = 680;
    p.outsideTempTenthsF = 500;
    p.windSpeedMph = 10;
    p.windDirection = 225;
    p.barometerThousandthsInHg = 29920;
    p.insideHumidity = 45;
    p.outsideHumidity = 70;
    p.rainClicks = 0;
    return p;
}

// Phases of the demo weather's slow waves, fixed by the seed.
struct DemoPhases
{
    double inside, outside, barometer, wind, direction, humidity;
};

DemoPhases demoPhases(quint32 seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> phase(0.0, 2 * std::numbers::pi);
    DemoPhases p{};
    p.inside = phase(gen);
    p.outside = phase(gen);
    p.barometer = phase(gen);
    p.wind = phase(gen);
    p.direction = phase(gen);
    p.humidity = phase(gen);
    return p;
}

double wave(double seconds, double periodSeconds, double phase)
{
    return std::sin(2 * std::numbers::pi * seconds / periodSeconds + phase);
}

int demoBarometer(const DemoPhases &ph, double seconds)
{
    return static_cast<int>(std::lround(29920 + 50 * wave(seconds, 12 * 3600.0, ph.barometer)));
}

} // namespace

MonitorSimulator::MonitorSimulator() : m_packet(defaultPacket())
{
    m_master.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!m_master)
        return;
    char name[128] = {};
    const int master = m_master.get();
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
        m_master.reset();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    // Raw from the start, so nothing the station sends is echoed back to it
    // before the driver sets the line up.
    m_slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (m_slave) {
        termios tio{};
        if (::tcgetattr(m_slave.get(), &tio) == 0) {
            cfmakeraw(&tio);
            cfsetispeed(&tio, B2400);
            cfsetospeed(&tio, B2400);
            ::tcsetattr(m_slave.get(), TCSANOW, &tio);
        }
    }
    ::fcntl(m_master.get(), F_SETFL, ::fcntl(m_master.get(), F_GETFL) | O_NONBLOCK);
    m_stopFd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_slave || !m_stopFd) {
        m_slavePath.clear();
        return;
    }
    m_thread = std::thread([this] { run(); });
}

MonitorSimulator::~MonitorSimulator()
{
    if (m_thread.joinable()) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd.get(), &one, sizeof one);
        m_thread.join();
    }
}

void MonitorSimulator::setPacket(const LoopPacket &packet)
{
    std::lock_guard lock(m_mutex);
    m_packet = packet;
    m_demo = false;
}

LoopPacket MonitorSimulator::packet() const
{
    std::lock_guard lock(m_mutex);
    return m_packet;
}

void MonitorSimulator::setCalibration(const MonitorCalibration &calibration)
{
    std::lock_guard lock(m_mutex);
    m_calibration = calibration;
}

void MonitorSimulator::setTrendBits(quint8 bits)
{
    std::lock_guard lock(m_mutex);
    m_trendBits = bits;
    m_demo = false;
}

void MonitorSimulator::setTrendRead(TrendRead mode)
{
    std::lock_guard lock(m_mutex);
    m_trendRead = mode;
}

void MonitorSimulator::setStationType(quint8 type)
{
    std::lock_guard lock(m_mutex);
    m_stationType = type;
}

void MonitorSimulator::corruptNextPackets(int count)
{
    std::lock_guard lock(m_mutex);
    m_corrupt = std::max(0, count);
}

void MonitorSimulator::setSilent(bool silent)
{
    std::lock_guard lock(m_mutex);
    m_silent = silent;
}

void MonitorSimulator::setRevE(bool revE)
{
    std::lock_guard lock(m_mutex);
    m_revE = revE;
    m_handshakeDone = false;
}

void MonitorSimulator::useDemoWeather(quint32 seed)
{
    std::lock_guard lock(m_mutex);
    m_demo = true;
    m_demoSeed = seed;
    m_demoStartMs = nowMs();
}

void MonitorSimulator::hangUpInNextPacket(int bytes)
{
    std::lock_guard lock(m_mutex);
    m_hangUpAfter = std::clamp(bytes, 0, kLoopPacketSize - 1);
}

bool MonitorSimulator::hungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

int MonitorSimulator::loopCommands() const
{
    std::lock_guard lock(m_mutex);
    return m_loopCommands;
}

int MonitorSimulator::trendReads() const
{
    std::lock_guard lock(m_mutex);
    return m_trendReads;
}

int MonitorSimulator::handshakes() const
{
    std::lock_guard lock(m_mutex);
    return m_handshakes;
}

LoopPacket MonitorSimulator::demoWeather(quint32 seed, qint64 elapsedMs)
{
    const DemoPhases ph = demoPhases(seed);
    const double s = static_cast<double>(elapsedMs) / 1000.0;
    LoopPacket p;
    p.insideTempTenthsF = static_cast<qint16>(std::lround(680 + 5 * wave(s, 3600.0, ph.inside)));
    p.outsideTempTenthsF = static_cast<qint16>(std::lround(500 + 30 * wave(s, 6 * 3600.0, ph.outside)));
    p.windSpeedMph = static_cast<quint8>(std::lround(10 + 5 * wave(s, 600.0, ph.wind)));
    p.windDirection = static_cast<int>(std::lround(225 + 20 * wave(s, 900.0, ph.direction)));
    p.barometerThousandthsInHg = static_cast<qint16>(demoBarometer(ph, s));
    p.insideHumidity = 45;
    p.outsideHumidity = static_cast<quint8>(std::lround(70 + 10 * wave(s, 4 * 3600.0, ph.humidity)));
    p.rainClicks = 0;
    return p;
}

quint8 MonitorSimulator::demoTrendBits(quint32 seed, qint64 elapsedMs)
{
    const DemoPhases ph = demoPhases(seed);
    const double s = static_cast<double>(elapsedMs) / 1000.0;
    const int change = demoBarometer(ph, s) - demoBarometer(ph, s - 3 * 3600.0);
    if (change >= 20)
        return 0x02;
    if (change <= -20)
        return 0x04;
    return 0x01;
}

void MonitorSimulator::run()
{
    for (;;) {
        short masterEvents = POLLIN;
        {
            std::lock_guard lock(m_mutex);
            if (!m_output.isEmpty() || m_packetsLeft > 0)
                masterEvents |= POLLOUT;
        }
        pollfd fds[2] = {{m_stopFd.get(), POLLIN, 0}, {m_master.get(), masterEvents, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        std::lock_guard lock(m_mutex);
        if (fds[1].revents & POLLIN) {
            char buf[512];
            const ssize_t n = ::read(m_master.get(), buf, sizeof buf);
            if (n > 0) {
                if (!m_silent) {
                    // Any new command ends a running LOOP.
                    m_packetsLeft = 0;
                    m_input.append(buf, n);
                    processInput();
                }
            }
        }
        if (m_silent) {
            m_output.clear();
            m_packetsLeft = 0;
            continue;
        }
        if (m_output.isEmpty() && m_packetsLeft > 0) {
            --m_packetsLeft;
            m_output = nextPacket();
            if (m_hangUpAfter >= 0) {
                m_output.truncate(m_hangUpAfter);
                m_hangUpDue = true;
            }
        }
        if (!m_output.isEmpty()) {
            const ssize_t n = ::write(m_master.get(), m_output.constData(), static_cast<size_t>(m_output.size()));
            if (n > 0)
                m_output.remove(0, n);
        }
        if (m_hangUpDue && m_output.isEmpty()) {
            // Every side of the pseudo-terminal closes: the other end's
            // descriptor sees the hang-up, and the terminal is gone.
            m_master.reset();
            m_slave.reset();
            m_hungUp = true;
            return;
        }
    }
}

void MonitorSimulator::processInput()
{
    static const QByteArray kLoop("LOOP");
    static const QByteArray kWrd("WRD");
    static const QByteArray kHandshakeTail("CRC0\r");
    constexpr qsizetype kMaxLine = 64;

    while (!m_input.isEmpty()) {
        if (m_revE && !m_handshakeDone) {
            const qsizetype cr = m_input.indexOf(kCr);
            if (cr < 0)
                break;
            const QByteArray line = m_input.left(cr + 1);
            m_input.remove(0, cr + 1);
            if (line.endsWith(kHandshakeTail)) {
                m_handshakeDone = true;
                ++m_handshakes;
                m_output.append(kAck);
            } else {
                m_output.append(kCan);
            }
            continue;
        }
        if (m_input.startsWith(kLoop) && m_input.size() >= 7 && m_input.at(6) == kCr) {
            const quint16 count = qFromLittleEndian<quint16>(m_input.constData() + 4);
            m_input.remove(0, 7);
            ++m_loopCommands;
            m_output.append(kAck);
            m_packetsLeft = 65536 - count;
            continue;
        }
        if (m_input.startsWith(kWrd) && m_input.size() >= 6 && m_input.at(5) == kCr) {
            const auto nibblesAndBank = static_cast<quint8>(m_input.at(3));
            const auto address = static_cast<quint8>(m_input.at(4));
            m_input.remove(0, 6);
            answerWrd(nibblesAndBank, address);
            continue;
        }
        // The start of a LOOP or WRD whose arguments are still on the way.
        if ((kLoop.startsWith(m_input) || (m_input.startsWith(kLoop) && m_input.size() < 7))
            || (kWrd.startsWith(m_input) || (m_input.startsWith(kWrd) && m_input.size() < 6)))
            break;
        const qsizetype cr = m_input.indexOf(kCr);
        if (cr < 0) {
            if (m_input.size() > kMaxLine)
                m_input.clear();
            break;
        }
        const QByteArray line = m_input.left(cr + 1);
        m_input.remove(0, cr + 1);
        if (line.endsWith(kHandshakeTail)) {
            ++m_handshakes;
            // Only a Rev E adapter knows the handshake; the station itself
            // does not.
            m_output.append(m_revE ? kAck : kNak);
        } else {
            m_output.append(kNak);
        }
    }
}

void MonitorSimulator::answerWrd(quint8 nibblesAndBank, quint8 address)
{
    if (nibblesAndBank == kWrdOneByte && address == kAddrStationType) {
        m_output.append(kAck);
        m_output.append(static_cast<char>(m_stationType));
        return;
    }
    if (nibblesAndBank == kWrdOneByte && address == kAddrTrend) {
        ++m_trendReads;
        switch (m_trendRead) {
        case TrendRead::Answer: {
            const quint8 bits = m_demo ? demoTrendBits(m_demoSeed, nowMs() - m_demoStartMs) : m_trendBits;
            m_output.append(kAck);
            m_output.append(static_cast<char>(bits));
            break;
        }
        case TrendRead::Refuse:
            m_output.append(kNak);
            break;
        case TrendRead::Ignore:
            break;
        }
        return;
    }
    if (nibblesAndBank == kWrdTwoBytes) {
        qint16 value = 0;
        bool known = true;
        switch (address) {
        case kAddrInsideTempCal:
            value = m_calibration.insideTempTenthsF;
            break;
        case kAddrOutsideTempCal:
            value = m_calibration.outsideTempTenthsF;
            break;
        case kAddrBarometerCal:
            value = m_calibration.barometerThousandthsInHg;
            break;
        default:
            known = false;
        }
        if (known) {
            char bytes[2];
            qToLittleEndian<qint16>(value, bytes);
            m_output.append(kAck);
            m_output.append(bytes, 2);
            return;
        }
    }
    m_output.append(kNak);
}

QByteArray MonitorSimulator::nextPacket()
{
    const LoopPacket values = m_demo ? demoWeather(m_demoSeed, nowMs() - m_demoStartMs) : m_packet;
    QByteArray bytes = encodeLoopPacket(values);
    if (m_corrupt > 0) {
        --m_corrupt;
        bytes[bytes.size() - 1] = static_cast<char>(bytes.at(bytes.size() - 1) ^ 0x5A);
    }
    return bytes;
}

} // namespace auravox
