#include "support/PacedDevice.h"

#include "support/AlsaCapture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace auravox::test {

namespace {
constexpr qint64 kNsPerSecond = 1000000000;
// The device reads this much ahead of what it plays, at most.
constexpr qint64 kLookAheadNs = 20000000;
} // namespace

qint64 monotonicNs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<qint64>(t.tv_sec) * kNsPerSecond + t.tv_nsec;
}

bool runInRealTimeClass(int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    return ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0;
}

namespace {
constexpr int kFrameBytes = 4; // two 16-bit channels
// The device's clock outranks the test's line watcher: a frame's time is the
// reference the lines are measured against.
constexpr int kDeviceClockPriority = 20;
} // namespace

qint64 PlayingDevice::endedBeforeNs(qint64 index) const
{
    const qint64 start = playedAtNs(index - 1);
    return start < 0 ? -1 : start + kNsPerSecond / m_frameRate;
}

bool PlayingDevice::waitPlayed(qint64 frames) const
{
    QDeadlineTimer guard(30000);
    for (;;) {
        const qint64 end = frames > 0 ? endedBeforeNs(frames) : 0;
        if (end >= 0 && monotonicNs() >= end)
            return true;
        if (guard.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

qint64 PlayingDevice::timeIn(const std::vector<Stretch> &stretches, qint64 index, qint64 frames) const
{
    if (index < 0 || index >= frames)
        return -1;
    const auto after = std::upper_bound(stretches.begin(), stretches.end(), index,
                                        [](qint64 i, const Stretch &s) { return i < s.firstFrame; });
    if (after == stretches.begin())
        return -1;
    const Stretch &s = *(after - 1);
    return s.startNs + (index - s.firstFrame) * kNsPerSecond / m_frameRate;
}

PacedPipeDevice::PacedPipeDevice(int frameRate) : PlayingDevice(frameRate)
{
    AlsaCapture::instance(); // its ALSA configuration defines the file PCM
    ::signal(SIGPIPE, SIG_IGN);
    m_path = m_dir.filePath(QStringLiteral("device.fifo"));
    ::mkfifo(QFile::encodeName(m_path).constData(), 0600);
    // Read and write: a device that opens never waits, and one that closes
    // does not end the pipe.
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_reader = std::thread([this] { run(); });
}

PacedPipeDevice::~PacedPipeDevice()
{
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
    m_reader.join();
    ::close(m_stopFd);
    ::close(m_fd);
}

QString PacedPipeDevice::pcm() const
{
    return AlsaCapture::filePcm(m_path);
}

void PacedPipeDevice::run()
{
    // A sound card's clock does not wait for the scheduler: a reader that woke
    // late would take a pipe still full for one that ran dry, and date the
    // rest of the clip late.
    runInRealTimeClass(kDeviceClockPriority);
    const qint64 lookAheadFrames = kLookAheadNs * m_frameRate / kNsPerSecond;
    std::vector<char> buffer(static_cast<size_t>(lookAheadFrames * kFrameBytes));
    qint64 endNs = 0;      // when what was read so far has been played
    bool playing = false;  // something is still playing at endNs
    qsizetype partial = 0; // bytes of a frame not yet whole
    bool leftOver = false; // the last read left a frame or more in the pipe
    for (;;) {
        const qint64 now = monotonicNs();
        int timeoutMs = 100;
        if (playing) {
            const qint64 readAt = endNs - kLookAheadNs;
            if (now < readAt)
                timeoutMs = static_cast<int>((readAt - now + 999999) / 1000000);
            else
                timeoutMs = static_cast<int>(std::max<qint64>(0, (endNs - now + 999999) / 1000000));
        }
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_fd, POLLIN, 0}};
        const bool early = playing && now < endNs - kLookAheadNs;
        ::poll(fds, early ? 1 : 2, timeoutMs);
        if (fds[0].revents & POLLIN)
            return;
        if (early)
            continue;
        const ssize_t n = ::read(m_fd, buffer.data() + partial, buffer.size() - static_cast<size_t>(partial));
        const qint64 readNs = monotonicNs();
        if (n <= 0) {
            if (playing && readNs >= endNs)
                playing = false; // ran dry: the next frame plays when it comes
            continue;
        }
        const qsizetype bytes = partial + n;
        const qint64 frames = bytes / kFrameBytes;
        std::lock_guard lock(m_mutex);
        m_data.append(buffer.data() + partial, n);
        if (frames > 0) {
            // Read late with frames already waiting last time: they were
            // there when the frame before ended, and play on from it.
            if (!playing || (readNs > endNs && !leftOver)) {
                m_stretches.push_back({m_frames, readNs});
                playing = true;
            }
            m_frames += frames;
            const Stretch &s = m_stretches.back();
            endNs = s.startNs + (m_frames - s.firstFrame) * kNsPerSecond / m_frameRate;
        }
        partial = bytes - frames * kFrameBytes;
        leftOver = unread() >= kFrameBytes;
        std::copy(buffer.data() + frames * kFrameBytes, buffer.data() + bytes, buffer.data());
    }
}

int PacedPipeDevice::unread() const
{
    int bytes = 0;
    return ::ioctl(m_fd, FIONREAD, &bytes) == 0 ? bytes : -1;
}

QByteArray PacedPipeDevice::data() const
{
    std::lock_guard lock(m_mutex);
    return m_data;
}

qint64 PacedPipeDevice::playedAtNs(qint64 index) const
{
    std::lock_guard lock(m_mutex);
    return timeIn(m_stretches, index, m_frames);
}

RealTimeDevice::RealTimeDevice() : PlayingDevice(16000)
{
    AlsaCapture::instance(); // its ALSA configuration loads the plugin
    m_dataPath = m_dir.filePath(QStringLiteral("device.raw"));
    m_logPath = m_dir.filePath(QStringLiteral("device.log"));
}

QString RealTimeDevice::pcm() const
{
    return AlsaCapture::realTimePcm(m_dataPath, m_logPath);
}

QByteArray RealTimeDevice::data() const
{
    QFile f(m_dataPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 RealTimeDevice::playedAtNs(qint64 index) const
{
    // Lines "<frame> <nanoseconds>"; a later line for the same frame wins.
    std::vector<Stretch> stretches;
    QFile f(m_logPath);
    if (f.open(QIODevice::ReadOnly)) {
        while (!f.atEnd()) {
            const QList<QByteArray> fields = f.readLine().trimmed().split(' ');
            if (fields.size() != 2)
                continue;
            const Stretch s{fields[0].toLongLong(), fields[1].toLongLong()};
            if (!stretches.empty() && stretches.back().firstFrame >= s.firstFrame)
                stretches.pop_back();
            stretches.push_back(s);
        }
    }
    return timeIn(stretches, index, data().size() / kFrameBytes);
}

} // namespace auravox::test
