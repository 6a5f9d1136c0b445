#include "platform/linux/AlsaWaveOutput.h"

#include <QMetaObject>
#include <QtEndian>

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace auravox {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How long a device may take nothing before we give up on it.
constexpr auto kStallLimit = std::chrono::seconds(5);
constexpr unsigned kBufferTimeUs = 150000;
constexpr unsigned kPeriodTimeUs = 30000;
constexpr snd_pcm_uframes_t kChunkFrames = 1024;

struct PcmCloser
{
    void operator()(snd_pcm_t *pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

struct CtlCloser
{
    void operator()(snd_ctl_t *ctl) const { snd_ctl_close(ctl); }
};
using CtlHandle = std::unique_ptr<snd_ctl_t, CtlCloser>;

class EventFd
{
public:
    EventFd() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~EventFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    EventFd(const EventFd &) = delete;
    EventFd &operator=(const EventFd &) = delete;
    int fd() const { return m_fd; }
    void signal() const
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
    }
    void drain() const
    {
        quint64 value;
        [[maybe_unused]] const ssize_t n = ::read(m_fd, &value, sizeof value);
    }

private:
    int m_fd;
};

bool validFormat(const PcmFormat &f)
{
    const bool bits = f.bitsPerSample == 8 || f.bitsPerSample == 16 || f.bitsPerSample == 24 || f.bitsPerSample == 32;
    return (f.channels == 1 || f.channels == 2) && bits && f.samplesPerSecond >= 1000 && f.samplesPerSecond <= 384000
           && f.blockAlign == f.channels * f.bitsPerSample / 8
           && f.averageBytesPerSecond == f.samplesPerSecond * f.blockAlign;
}

// A playback device of the machine: card and device numbers and a name.
struct PlaybackDevice
{
    int card = 0;
    int device = 0;
    QString name;
};

std::vector<PlaybackDevice> listPlaybackDevices()
{
    std::vector<PlaybackDevice> list;
    int card = -1;
    while (snd_card_next(&card) == 0 && card >= 0) {
        snd_ctl_t *raw = nullptr;
        if (snd_ctl_open(&raw, QStringLiteral("hw:%1").arg(card).toLatin1().constData(), 0) < 0)
            continue;
        CtlHandle ctl(raw);
        snd_ctl_card_info_t *cardInfo;
        snd_ctl_card_info_alloca(&cardInfo);
        QString cardName = QStringLiteral("card %1").arg(card);
        if (snd_ctl_card_info(ctl.get(), cardInfo) == 0)
            cardName = QString::fromLocal8Bit(snd_ctl_card_info_get_name(cardInfo));
        int device = -1;
        while (snd_ctl_pcm_next_device(ctl.get(), &device) == 0 && device >= 0) {
            snd_pcm_info_t *pcmInfo;
            snd_pcm_info_alloca(&pcmInfo);
            snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
            snd_pcm_info_set_subdevice(pcmInfo, 0);
            snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_PLAYBACK);
            if (snd_ctl_pcm_info(ctl.get(), pcmInfo) < 0)
                continue; // a capture-only device
            const QString name = cardName + QStringLiteral(", ") + QString::fromLocal8Bit(snd_pcm_info_get_name(pcmInfo));
            list.push_back({card, device, name.left(WaveOutput::kMaxNameLength)});
        }
    }
    return list;
}

} // namespace

// Owns one open PCM and the thread that writes to it.
class AlsaWaveOutput::Writer
{
public:
    struct Job
    {
        int id = 0;
        const char *data = nullptr;
        qsizetype length = 0;
    };
    using DoneFn = std::function<void(int bufferId)>;

    Writer(PcmHandle pcm, const PcmFormat &in, bool wide, DoneFn done)
        : m_pcm(std::move(pcm)), m_in(in), m_wide(wide), m_done(std::move(done))
    {
        start();
    }
    ~Writer() { stop(); }

    void queue(const Job &job)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(job);
        }
        m_cv.notify_one();
        m_wake.signal();
    }

    // Stops at once: the thread is joined and what is queued is dropped
    // without being reported. resume() starts writing again.
    void halt()
    {
        stop();
        m_queue.clear();
        snd_pcm_drop(m_pcm.get());
        snd_pcm_prepare(m_pcm.get());
    }
    void resume() { start(); }

    void setGains(quint32 leftLowRightHigh) { m_gains.store(leftLowRightHigh); }

private:
    enum class Outcome { Written, Stopped, Failed };

    void start()
    {
        m_stop = false;
        m_thread = std::thread([this] { run(); });
    }

    void stop()
    {
        if (!m_thread.joinable())
            return;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_cv.notify_one();
        m_wake.signal();
        m_thread.join();
        m_wake.drain();
    }

    bool stopping()
    {
        std::lock_guard lock(m_mutex);
        return m_stop;
    }

    void run()
    {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                if (m_stop)
                    return;
                job = m_queue.front();
            }
            const Outcome outcome = m_failed ? Outcome::Failed : writeJob(job);
            if (outcome == Outcome::Stopped)
                return;
            bool last;
            {
                std::lock_guard lock(m_mutex);
                if (m_stop)
                    return;
                m_queue.pop_front();
                last = m_queue.empty();
            }
            if (outcome == Outcome::Written && last && playOut() == Outcome::Stopped)
                return;
            m_done(job.id);
        }
    }

    // Waits on the device (or a wake-up) for at most `timeoutMs`.
    void waitDevice(int timeoutMs)
    {
        const int count = snd_pcm_poll_descriptors_count(m_pcm.get());
        std::vector<pollfd> fds(static_cast<size_t>(std::max(count, 0)) + 1);
        fds[0] = {m_wake.fd(), POLLIN, 0};
        if (count > 0)
            snd_pcm_poll_descriptors(m_pcm.get(), fds.data() + 1, static_cast<unsigned>(count));
        ::poll(fds.data(), fds.size(), timeoutMs);
        m_wake.drain();
    }

    qsizetype convert(const char *src, qsizetype frames)
    {
        const quint32 gains = m_gains.load();
        const qint64 left = gains & 0xFFFF;
        const qint64 right = gains >> 16;
        const int inBytes = m_in.bitsPerSample / 8;
        const int outBytes = m_wide ? 4 : 2;
        m_out.resize(static_cast<size_t>(frames) * 2 * static_cast<size_t>(outBytes));
        char *dst = m_out.data();
        for (qsizetype f = 0; f < frames; ++f) {
            for (int c = 0; c < 2; ++c) {
                const char *s = src + f * m_in.blockAlign + (m_in.channels == 2 ? c * inBytes : 0);
                qint64 v;
                switch (inBytes) {
                case 1: v = (static_cast<int>(static_cast<quint8>(*s)) - 128) * 256; break;
                case 2: v = qFromLittleEndian<qint16>(s); break;
                case 3: v = static_cast<qint32>((static_cast<quint32>(static_cast<quint8>(s[0])) << 8)
                                                | (static_cast<quint32>(static_cast<quint8>(s[1])) << 16)
                                                | (static_cast<quint32>(static_cast<quint8>(s[2])) << 24));
                    break;
                default: v = qFromLittleEndian<qint32>(s); break;
                }
                // Exactly the identity at full gain (65535).
                v = v * (c == 0 ? left : right) / 65535;
                if (m_wide)
                    qToLittleEndian<qint32>(static_cast<qint32>(v), dst);
                else
                    qToLittleEndian<qint16>(static_cast<qint16>(v), dst);
                dst += outBytes;
            }
        }
        return frames;
    }

    Outcome writeJob(const Job &job)
    {
        const qsizetype totalFrames = job.length / m_in.blockAlign;
        qsizetype done = 0;
        auto lastProgress = SteadyClock::now();
        while (done < totalFrames) {
            const qsizetype frames = std::min<qsizetype>(static_cast<qsizetype>(kChunkFrames), totalFrames - done);
            convert(job.data + done * m_in.blockAlign, frames);
            qsizetype written = 0;
            while (written < frames) {
                if (stopping())
                    return Outcome::Stopped;
                const int frameBytes = (m_wide ? 4 : 2) * 2;
                const snd_pcm_sframes_t n =
                    snd_pcm_writei(m_pcm.get(), m_out.data() + written * frameBytes,
                                   static_cast<snd_pcm_uframes_t>(frames - written));
                if (n > 0) {
                    written += n;
                    lastProgress = SteadyClock::now();
                    continue;
                }
                if (n == -EAGAIN || n == 0) {
                    if (SteadyClock::now() - lastProgress > kStallLimit)
                        return fail("the sound device takes no more data");
                    waitDevice(1000);
                    continue;
                }
                if (snd_pcm_recover(m_pcm.get(), static_cast<int>(n), 1) < 0)
                    return fail(snd_strerror(static_cast<int>(n)));
            }
            done += frames;
        }
        return Outcome::Written;
    }

    // Lets the device play what it holds, so the end of a clip is when it has
    // been heard. Polls the remaining delay rather than blocking in a drain, so
    // a reset can still stop it at once.
    Outcome playOut()
    {
        if (snd_pcm_state(m_pcm.get()) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(m_pcm.get()); // less than the start threshold was written
        auto lastProgress = SteadyClock::now();
        snd_pcm_sframes_t lastDelay = -1;
        for (;;) {
            if (stopping())
                return Outcome::Stopped;
            if (snd_pcm_state(m_pcm.get()) != SND_PCM_STATE_RUNNING)
                break;
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(m_pcm.get(), &delay) < 0 || delay <= 0)
                break;
            if (delay != lastDelay) {
                lastDelay = delay;
                lastProgress = SteadyClock::now();
            } else if (SteadyClock::now() - lastProgress > kStallLimit) {
                fail("the sound device stopped playing");
                break;
            }
            const int ms = static_cast<int>(delay * 1000 / std::max<quint32>(m_in.samplesPerSecond, 1)) + 1;
            pollWakeOnly(std::min(ms, 200));
        }
        // The ring is empty now: stop it cleanly so the next buffer starts afresh.
        snd_pcm_drop(m_pcm.get());
        snd_pcm_prepare(m_pcm.get());
        return Outcome::Written;
    }

    void pollWakeOnly(int timeoutMs)
    {
        pollfd fd{m_wake.fd(), POLLIN, 0};
        ::poll(&fd, 1, timeoutMs);
        m_wake.drain();
    }

    Outcome fail(const char *why)
    {
        qWarning("auravox: sound output failed (%s); the clip ends here", why);
        m_failed = true;
        return Outcome::Failed;
    }

    PcmHandle m_pcm;
    const PcmFormat m_in;
    const bool m_wide;
    const DoneFn m_done;
    EventFd m_wake;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Job> m_queue;
    bool m_stop = false;
    bool m_failed = false; // writer thread only
    std::atomic<quint32> m_gains{0xFFFFFFFFu};
    std::vector<char> m_out;
};

AlsaWaveOutput::AlsaWaveOutput(QString defaultPcm, QObject *parent)
    : WaveOutput(parent), m_defaultPcm(std::move(defaultPcm))
{
}

AlsaWaveOutput::~AlsaWaveOutput()
{
    close();
}

int AlsaWaveOutput::deviceCount()
{
    return static_cast<int>(listPlaybackDevices().size());
}

QString AlsaWaveOutput::deviceName(int device, bool *ok)
{
    const std::vector<PlaybackDevice> list = listPlaybackDevices();
    const bool valid = device >= 0 && device < static_cast<int>(list.size());
    if (ok)
        *ok = valid;
    return valid ? list[static_cast<size_t>(device)].name : QString();
}

QString AlsaWaveOutput::pcmName(int device)
{
    if (device == kDefaultDevice)
        return m_defaultPcm;
    const std::vector<PlaybackDevice> list = listPlaybackDevices();
    if (device < 0 || device >= static_cast<int>(list.size()))
        return QString();
    const PlaybackDevice &d = list[static_cast<size_t>(device)];
    return QStringLiteral("plughw:%1,%2").arg(d.card).arg(d.device);
}

bool AlsaWaveOutput::open(int device, const PcmFormat &format)
{
    if (m_writer || !validFormat(format))
        return false;
    const QString name = pcmName(device);
    if (name.isEmpty())
        return false;

    snd_pcm_t *raw = nullptr;
    if (snd_pcm_open(&raw, name.toLocal8Bit().constData(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0)
        return false;
    PcmHandle pcm(raw);

    const bool wide = format.bitsPerSample > 16;
    snd_pcm_hw_params_t *hw;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = format.samplesPerSecond;
    unsigned bufferTime = kBufferTimeUs;
    unsigned periodTime = kPeriodTimeUs;
    if (snd_pcm_hw_params_any(pcm.get(), hw) < 0
        || snd_pcm_hw_params_set_access(pcm.get(), hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0
        || snd_pcm_hw_params_set_format(pcm.get(), hw, wide ? SND_PCM_FORMAT_S32_LE : SND_PCM_FORMAT_S16_LE) < 0
        || snd_pcm_hw_params_set_channels(pcm.get(), hw, 2) < 0
        || snd_pcm_hw_params_set_rate_near(pcm.get(), hw, &rate, nullptr) < 0)
        return false;
    snd_pcm_hw_params_set_buffer_time_near(pcm.get(), hw, &bufferTime, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm.get(), hw, &periodTime, nullptr);
    if (snd_pcm_hw_params(pcm.get(), hw) < 0)
        return false;

    // Start as soon as one period is there, so short clips need no drain to begin.
    snd_pcm_uframes_t period = kChunkFrames;
    snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
    snd_pcm_sw_params_t *sw;
    snd_pcm_sw_params_alloca(&sw);
    if (snd_pcm_sw_params_current(pcm.get(), sw) == 0) {
        snd_pcm_sw_params_set_start_threshold(pcm.get(), sw, period);
        snd_pcm_sw_params(pcm.get(), sw);
    }
    if (snd_pcm_prepare(pcm.get()) < 0)
        return false;

    const quint64 session = ++m_session;
    m_openDevice = device;
    m_headers[0] = Header{};
    m_headers[1] = Header{};
    m_writer = std::make_unique<Writer>(std::move(pcm), format, wide,
                                        [this](int id) { postDone(m_session.load(), id); });
    m_writer->setGains(volume(device));
    QMetaObject::invokeMethod(
        this, [this, session] {
            if (session == m_session.load())
                emit opened();
        },
        Qt::QueuedConnection);
    return true;
}

void AlsaWaveOutput::postDone(quint64 session, int bufferId)
{
    // Runs on the writer thread; the notification is delivered on ours.
    QMetaObject::invokeMethod(
        this, [this, session, bufferId] {
            if (session != m_session.load())
                return;
            m_headers[bufferId - 1].queued = false;
            emit bufferDone(bufferId);
        },
        Qt::QueuedConnection);
}

bool AlsaWaveOutput::isOpen() const
{
    return m_writer != nullptr;
}

bool AlsaWaveOutput::prepareHeader(int bufferId, const char *data, qsizetype length)
{
    if (!m_writer || bufferId < 1 || bufferId > 2 || length < 0 || (data == nullptr && length > 0))
        return false;
    Header &h = m_headers[bufferId - 1];
    if (h.queued)
        return false;
    h = Header{data, length, true, false};
    return true;
}

void AlsaWaveOutput::unprepareHeader(int bufferId)
{
    if (bufferId >= 1 && bufferId <= 2 && !m_headers[bufferId - 1].queued)
        m_headers[bufferId - 1].prepared = false;
}

bool AlsaWaveOutput::write(int bufferId)
{
    if (!m_writer || bufferId < 1 || bufferId > 2)
        return false;
    Header &h = m_headers[bufferId - 1];
    if (!h.prepared || h.queued)
        return false;
    h.queued = true;
    m_writer->queue({bufferId, h.data, h.length});
    return true;
}

void AlsaWaveOutput::reset()
{
    if (!m_writer)
        return;
    m_writer->halt();
    ++m_session; // the thread is stopped: nothing posted before now reaches the listener
    m_headers[0].queued = m_headers[1].queued = false;
    m_writer->resume();
}

void AlsaWaveOutput::close()
{
    if (!m_writer)
        return;
    m_writer.reset(); // joins the writer thread
    ++m_session;
    m_headers[0] = Header{};
    m_headers[1] = Header{};
}

quint32 AlsaWaveOutput::volume(int device)
{
    return m_volumes.value(device, 0xFFFFFFFFu);
}

void AlsaWaveOutput::setVolume(int device, quint32 leftLowRightHigh)
{
    m_volumes.insert(device, leftLowRightHigh);
    if (m_writer && device == m_openDevice)
        m_writer->setGains(leftLowRightHigh);
}

} // namespace auravox
