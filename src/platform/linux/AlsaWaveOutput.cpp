#include "platform/linux/AlsaWaveOutput.h"

#include "common/Log.h"
#include "common/UniqueFd.h"

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
#include <utility>
#include <vector>

namespace auravox {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr unsigned kBufferTimeUs = 150000;
constexpr unsigned kPeriodTimeUs = 30000;
constexpr snd_pcm_uframes_t kChunkFrames = 1024;

struct CtlCloser
{
    void operator()(snd_ctl_t *ctl) const { snd_ctl_close(ctl); }
};
using CtlHandle = std::unique_ptr<snd_ctl_t, CtlCloser>;

class EventFd
{
public:
    EventFd() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    int fd() const { return m_fd.get(); }
    void signal() const
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_fd.get(), &one, sizeof one);
    }
    void drain() const
    {
        quint64 value;
        [[maybe_unused]] const ssize_t n = ::read(m_fd.get(), &value, sizeof value);
    }

private:
    UniqueFd m_fd;
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

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count();
}

// What a writer tells the output, through the event loop.
enum Notice { Opened, Done, Failed };

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

// The output's end of the writers' notifications. A writer may outlive the
// output (one left behind in a device that never returns): it then posts to
// nobody.
struct AlsaWaveOutput::Sink
{
    std::mutex mutex;
    AlsaWaveOutput *target = nullptr;

    void post(quint64 session, int kind, int value)
    {
        std::lock_guard lock(mutex);
        if (!target)
            return;
        AlsaWaveOutput *out = target;
        QMetaObject::invokeMethod(
            out, [out, session, kind, value] { out->deliver(session, kind, value); }, Qt::QueuedConnection);
    }
};

// One clip's device: its thread opens the PCM, writes the queued buffers, lets
// the last one play out and closes the PCM. Every call that may block (a
// plugin that waits for its server, a pipe nobody reads) happens on that
// thread; the output only watches the progress it reports. The thread holds
// the writer, so a writer left behind lives until its PCM call returns.
class AlsaWaveOutput::Writer : public std::enable_shared_from_this<Writer>
{
public:
    enum class Phase { Waiting, Opening, Idle, Writing, PlayingOut, Closing, Ended };

    struct Job
    {
        int id = 0;
        QByteArray data; // a copy: the caller's buffer is never read from this thread
        quint64 generation = 0;
    };

    Writer(QString pcmName, const PcmFormat &in, quint32 gains, std::shared_ptr<Writer> previous,
           std::shared_ptr<Sink> sink, quint64 session)
        : m_name(std::move(pcmName)), m_in(in), m_wide(in.bitsPerSample > 16), m_previous(std::move(previous)),
          m_sink(std::move(sink)), m_gains(gains), m_session(session)
    {
        touch();
    }

    void start()
    {
        std::thread([self = shared_from_this()] { self->run(); }).detach();
    }

    const QString &name() const { return m_name; }
    Phase phase() const { return m_phase.load(); }
    qint64 lastProgressMs() const { return m_lastProgress.load(); }
    void setGains(quint32 leftLowRightHigh) { m_gains.store(leftLowRightHigh); }

    void queue(int id, const char *data, qsizetype length)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back({id, QByteArray(data, length), m_generation});
        }
        wake();
    }

    // Drops what is queued or being written without reporting it; later
    // notifications carry `session`.
    void discard(quint64 session)
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_generation;
            m_queue.clear();
            m_session = session;
            m_dropPending = true;
        }
        wake();
    }

    // Ends the writer: it stops writing at the next chance and closes its PCM.
    // Nothing is reported after this.
    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_queue.clear();
        }
        wake();
    }

    // Given up on: the PCM is never waited for again.
    void abandon()
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_cv.notify_all();
    }
    bool abandoned()
    {
        std::lock_guard lock(m_mutex);
        return m_abandoned;
    }
    // The PCM is closed (or was never opened).
    bool released()
    {
        std::lock_guard lock(m_mutex);
        return m_released;
    }
    bool ended() const { return m_phase.load() == Phase::Ended; }

    qint64 retiredAtMs = 0;
    bool abandonLogged = false;

private:
    enum class Outcome { Written, Interrupted, Failed };

    void wake()
    {
        m_cv.notify_all();
        m_wake.signal();
    }

    void touch() { m_lastProgress.store(steadyMs()); }
    void setPhase(Phase p)
    {
        touch();
        m_phase.store(p);
    }

    void post(int kind, int value, quint64 generation)
    {
        std::lock_guard lock(m_mutex);
        if (m_stop || generation != m_generation)
            return;
        m_sink->post(m_session, kind, value);
    }
    quint64 generation()
    {
        std::lock_guard lock(m_mutex);
        return m_generation;
    }
    bool interrupted(quint64 generation)
    {
        std::lock_guard lock(m_mutex);
        return m_stop || generation != m_generation;
    }
    bool stopping()
    {
        std::lock_guard lock(m_mutex);
        return m_stop;
    }

    // The previous writer of this output closes its PCM before this one opens
    // (a hardware device can be opened once). True when it did; false when it
    // was left behind, or this writer was stopped meanwhile.
    bool waitForPrevious()
    {
        if (!m_previous)
            return true;
        setPhase(Phase::Waiting);
        const std::shared_ptr<Writer> previous = std::move(m_previous);
        for (;;) {
            {
                std::unique_lock lock(previous->m_mutex);
                if (previous->m_released)
                    return true;
                if (previous->m_abandoned)
                    return false;
                previous->m_cv.wait_for(lock, std::chrono::milliseconds(50));
            }
            if (stopping())
                return false;
        }
    }

    void run()
    {
        const quint64 openGeneration = generation();
        if (!waitForPrevious()) {
            if (!stopping())
                qCWarning(lcAudio).noquote() << "the sound device" << m_name
                                              << "is still held by a clip that could not be closed";
            post(Failed, static_cast<int>(Fault::Open), openGeneration);
            finish();
            return;
        }
        setPhase(Phase::Opening);
        QString why;
        m_pcm = openPcm(&why);
        if (!m_pcm) {
            if (!stopping())
                qCWarning(lcAudio).noquote() << "the sound device" << m_name << "can't be opened:" << why;
            post(Failed, static_cast<int>(Fault::Open), openGeneration);
            finish();
            return;
        }
        touch();
        post(Opened, 0, openGeneration);

        bool failed = false;
        for (;;) {
            Job job;
            bool drop = false;
            {
                std::unique_lock lock(m_mutex);
                m_phase.store(Phase::Idle);
                m_cv.wait(lock, [this] { return m_stop || m_dropPending || !m_queue.empty(); });
                if (m_stop)
                    break;
                if (m_dropPending) {
                    m_dropPending = false;
                    drop = true;
                } else {
                    job = m_queue.front();
                }
            }
            if (drop) {
                snd_pcm_drop(m_pcm);
                snd_pcm_prepare(m_pcm);
                m_heardBy = {};
                continue;
            }
            if (failed) {
                // A device that failed takes nothing more; the output reports
                // the clip as failed and closes us.
                std::lock_guard lock(m_mutex);
                if (!m_queue.empty() && m_queue.front().generation == job.generation)
                    m_queue.pop_front();
                continue;
            }
            setPhase(Phase::Writing);
            Outcome outcome = writeJob(job);
            bool last = false;
            if (outcome == Outcome::Written) {
                std::lock_guard lock(m_mutex);
                if (!m_stop && job.generation == m_generation) {
                    m_queue.pop_front();
                    last = m_queue.empty();
                }
            }
            if (outcome == Outcome::Written && last) {
                setPhase(Phase::PlayingOut);
                outcome = playOut(job.generation);
            }
            if (outcome == Outcome::Failed) {
                failed = true;
                post(Failed, static_cast<int>(Fault::Play), job.generation);
            } else if (outcome == Outcome::Written) {
                post(Done, job.id, job.generation);
            }
        }
        finish();
    }

    // Closes the PCM; this is where a plugin may wait for its server or child.
    void finish()
    {
        setPhase(Phase::Closing);
        if (m_pcm) {
            snd_pcm_drop(m_pcm);
            snd_pcm_close(m_pcm);
            m_pcm = nullptr;
        }
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
            m_cv.notify_all();
        }
        m_phase.store(Phase::Ended);
    }

    snd_pcm_t *openPcm(QString *why)
    {
        snd_pcm_t *pcm = nullptr;
        int err = snd_pcm_open(&pcm, m_name.toLocal8Bit().constData(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        if (err < 0) {
            *why = QString::fromLocal8Bit(snd_strerror(err));
            return nullptr;
        }
        snd_pcm_hw_params_t *hw;
        snd_pcm_hw_params_alloca(&hw);
        unsigned rate = m_in.samplesPerSecond;
        unsigned bufferTime = kBufferTimeUs;
        unsigned periodTime = kPeriodTimeUs;
        if ((err = snd_pcm_hw_params_any(pcm, hw)) < 0
            || (err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0
            || (err = snd_pcm_hw_params_set_format(pcm, hw, m_wide ? SND_PCM_FORMAT_S32_LE : SND_PCM_FORMAT_S16_LE)) < 0
            || (err = snd_pcm_hw_params_set_channels(pcm, hw, 2)) < 0
            || (err = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr)) < 0) {
            *why = QStringLiteral("the format is refused (%1)").arg(QString::fromLocal8Bit(snd_strerror(err)));
            snd_pcm_close(pcm);
            return nullptr;
        }
        snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferTime, nullptr);
        snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodTime, nullptr);
        // A file or pipe plugin opens its output here, and may wait for it.
        if ((err = snd_pcm_hw_params(pcm, hw)) < 0) {
            *why = QString::fromLocal8Bit(snd_strerror(err));
            snd_pcm_close(pcm);
            return nullptr;
        }
        // The rate the device plays at, which times what it has been given.
        snd_pcm_hw_params_get_rate(hw, &rate, nullptr);
        m_rate = std::max(rate, 1u);
        // Start as soon as one period is there, so short clips need no drain to begin.
        snd_pcm_uframes_t period = kChunkFrames;
        snd_pcm_hw_params_get_period_size(hw, &period, nullptr);
        snd_pcm_sw_params_t *sw;
        snd_pcm_sw_params_alloca(&sw);
        if (snd_pcm_sw_params_current(pcm, sw) == 0) {
            snd_pcm_sw_params_set_start_threshold(pcm, sw, period);
            snd_pcm_sw_params(pcm, sw);
        }
        if ((err = snd_pcm_prepare(pcm)) < 0) {
            *why = QString::fromLocal8Bit(snd_strerror(err));
            snd_pcm_close(pcm);
            return nullptr;
        }
        return pcm;
    }

    // Waits on the device (or a wake-up) for at most `timeoutMs`.
    void waitDevice(int timeoutMs)
    {
        const int count = snd_pcm_poll_descriptors_count(m_pcm);
        std::vector<pollfd> fds(static_cast<size_t>(std::max(count, 0)) + 1);
        fds[0] = {m_wake.fd(), POLLIN, 0};
        if (count > 0)
            snd_pcm_poll_descriptors(m_pcm, fds.data() + 1, static_cast<unsigned>(count));
        ::poll(fds.data(), fds.size(), timeoutMs);
        m_wake.drain();
    }

    void pollWakeOnly(int timeoutMs)
    {
        pollfd fd{m_wake.fd(), POLLIN, 0};
        ::poll(&fd, 1, timeoutMs);
        m_wake.drain();
    }

    void convert(const char *src, qsizetype frames)
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
    }

    Outcome writeJob(const Job &job)
    {
        const qsizetype totalFrames = job.data.size() / m_in.blockAlign;
        const int frameBytes = (m_wide ? 4 : 2) * 2;
        qsizetype done = 0;
        while (done < totalFrames) {
            const qsizetype frames = std::min<qsizetype>(static_cast<qsizetype>(kChunkFrames), totalFrames - done);
            convert(job.data.constData() + done * m_in.blockAlign, frames);
            qsizetype written = 0;
            while (written < frames) {
                if (interrupted(job.generation))
                    return Outcome::Interrupted;
                // Blocks in a plugin that writes to a pipe or a server, whatever
                // the non-blocking mode; the output's watch sees the stall.
                const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, m_out.data() + written * frameBytes,
                                                           static_cast<snd_pcm_uframes_t>(frames - written));
                if (n > 0) {
                    written += n;
                    taken(n);
                    touch();
                    continue;
                }
                if (n == -EAGAIN || n == 0) {
                    waitDevice(200);
                    continue;
                }
                if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0) {
                    qCWarning(lcAudio).noquote() << "the sound device" << m_name
                                                  << "failed:" << snd_strerror(static_cast<int>(n));
                    return Outcome::Failed;
                }
            }
            done += frames;
        }
        return Outcome::Written;
    }

    // The device took `frames` more: they play for their length from now, or
    // from the end of what it already had, whichever is later. Taken after the
    // write returned, so never earlier than the frames really went out.
    void taken(snd_pcm_sframes_t frames)
    {
        const auto length = std::chrono::nanoseconds((static_cast<qint64>(frames) * 1000000000 + m_rate - 1) / m_rate);
        m_heardBy = std::max(m_heardBy, SteadyClock::now()) + length;
    }

    // A later buffer of the same clip is queued: the one written is not the last.
    bool moreQueued(quint64 generation)
    {
        std::lock_guard lock(m_mutex);
        return !m_queue.empty() && m_queue.front().generation == generation;
    }

    // Lets the device play what it holds, so the end of a clip is when it has
    // been heard. Waits without blocking in a drain, so a reset or a close can
    // still stop it at once, and a buffer queued meanwhile is written at once.
    //
    // What the device reports is not enough: a plugin that hands the audio on
    // (into a pipe, to a process or a server) holds up to a second of it where
    // ALSA does not see it, and ALSA's file plugin keeps the last buffer's worth
    // until it is stopped. So, once the device reports nothing left to play, it
    // is stopped (which hands on what a plugin still holds) and the writer
    // waits on the monotonic clock until everything it wrote has had its
    // length since it was taken.
    Outcome playOut(quint64 generation)
    {
        if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(m_pcm); // less than the start threshold was written
        snd_pcm_sframes_t lastDelay = -1;
        for (;;) {
            if (interrupted(generation))
                return Outcome::Interrupted;
            if (moreQueued(generation))
                return Outcome::Written;
            if (snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING)
                break;
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(m_pcm, &delay) < 0 || delay <= 0)
                break;
            if (delay != lastDelay) {
                lastDelay = delay;
                touch();
            }
            const int ms = static_cast<int>(delay * 1000 / m_rate) + 1;
            pollWakeOnly(std::min(ms, 200));
        }
        // The ring is empty now: stop it cleanly so the next buffer starts
        // afresh; a file plugin writes out what it kept here, and may wait
        // for its pipe to take it.
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
        touch();
        // Nothing the device reports is left: the wait is on our own clock,
        // bounded by the clip's length, so it counts as progress.
        for (;;) {
            if (interrupted(generation))
                return Outcome::Interrupted;
            if (moreQueued(generation))
                return Outcome::Written;
            const auto left = m_heardBy - SteadyClock::now();
            if (left <= SteadyClock::duration::zero())
                break;
            touch();
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
            pollWakeOnly(static_cast<int>(std::min<qint64>(ms, 200)));
        }
        return Outcome::Written;
    }

    const QString m_name;
    const PcmFormat m_in;
    const bool m_wide;
    std::shared_ptr<Writer> m_previous; // writer thread only
    const std::shared_ptr<Sink> m_sink;
    snd_pcm_t *m_pcm = nullptr;         // writer thread only
    unsigned m_rate = 1;                // writer thread only
    SteadyClock::time_point m_heardBy;  // writer thread only: when all taken so far has been heard
    EventFd m_wake;
    std::vector<char> m_out;

    std::atomic<Phase> m_phase{Phase::Waiting};
    std::atomic<qint64> m_lastProgress{0};
    std::atomic<quint32> m_gains;

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Job> m_queue;
    quint64 m_session;
    quint64 m_generation = 0;
    bool m_dropPending = false;
    bool m_stop = false;
    bool m_abandoned = false;
    bool m_released = false;
};

AlsaWaveOutput::AlsaWaveOutput(QString defaultPcm, QObject *parent)
    : AlsaWaveOutput(std::move(defaultPcm), QStringList(), parent)
{
    m_explicitDevices = false;
}

AlsaWaveOutput::AlsaWaveOutput(QString defaultPcm, QStringList devicePcms, QObject *parent)
    : WaveOutput(parent), m_defaultPcm(std::move(defaultPcm)), m_devicePcms(std::move(devicePcms)),
      m_explicitDevices(true), m_sink(std::make_shared<Sink>())
{
    m_sink->target = this;
    bool ok = false;
    const int fromEnvironment = qEnvironmentVariableIntValue("AURAVOX_SOUND_STALL_MS", &ok);
    setStallLimitMs(ok && fromEnvironment > 0 ? fromEnvironment : kDefaultStallLimitMs);
    connect(&m_watch, &QTimer::timeout, this, &AlsaWaveOutput::watch);
}

AlsaWaveOutput::~AlsaWaveOutput()
{
    close();
    // Writers still closing finish on their own threads; they tell nobody.
    std::lock_guard lock(m_sink->mutex);
    m_sink->target = nullptr;
}

void AlsaWaveOutput::setStallLimitMs(int ms)
{
    m_stallLimit = std::chrono::milliseconds(std::max(ms, 1));
    m_watch.setInterval(std::clamp(ms / 5, 10, 250));
}

int AlsaWaveOutput::deviceCount()
{
    if (m_explicitDevices)
        return static_cast<int>(m_devicePcms.size());
    return static_cast<int>(listPlaybackDevices().size());
}

QString AlsaWaveOutput::deviceName(int device, bool *ok)
{
    if (m_explicitDevices) {
        const bool valid = device >= 0 && device < m_devicePcms.size();
        if (ok)
            *ok = valid;
        return valid ? m_devicePcms.at(device).left(kMaxNameLength) : QString();
    }
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
    if (m_explicitDevices)
        return device >= 0 && device < m_devicePcms.size() ? m_devicePcms.at(device) : QString();
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

    // A writer left behind is never waited for again; one still closing is.
    std::shared_ptr<Writer> previous;
    if (m_lastRetired && !m_lastRetired->released() && !m_lastRetired->abandoned())
        previous = m_lastRetired;
    m_failed = false;
    m_openDevice = device;
    m_headers[0] = Header{};
    m_headers[1] = Header{};
    m_writer = std::make_shared<Writer>(name, format, volume(device), std::move(previous), m_sink, ++m_session);
    m_writer->start();
    updateWatch();
    return true;
}

void AlsaWaveOutput::deliver(quint64 session, int kind, int value)
{
    if (session != m_session || !m_writer)
        return;
    switch (kind) {
    case Opened:
        emit opened();
        break;
    case Done:
        if (value < 1 || value > 2)
            return;
        m_headers[value - 1].queued = false;
        emit bufferDone(value);
        break;
    case Failed:
        if (m_failed)
            return;
        m_failed = true;
        m_writer->stop();
        emit failed(static_cast<Fault>(value));
        break;
    default:
        break;
    }
}

void AlsaWaveOutput::watch()
{
    const qint64 now = steadyMs();
    const qint64 limit = m_stallLimit.count();
    for (auto it = m_lingering.begin(); it != m_lingering.end();) {
        Writer &w = **it;
        if (w.ended()) {
            it = m_lingering.erase(it);
            continue;
        }
        if (!w.abandonLogged && now - w.retiredAtMs > limit) {
            w.abandonLogged = true;
            w.abandon();
            qCWarning(lcAudio).noquote() << "the sound device" << w.name() << "did not close within" << limit
                                          << "ms; it is left behind and the next clip opens it afresh";
        }
        ++it;
    }

    if (m_writer && !m_failed) {
        const Writer::Phase phase = m_writer->phase();
        const bool working = phase == Writer::Phase::Waiting || phase == Writer::Phase::Opening
                             || phase == Writer::Phase::Writing || phase == Writer::Phase::PlayingOut;
        if (working && now - m_writer->lastProgressMs() > limit) {
            const bool opening = phase == Writer::Phase::Waiting || phase == Writer::Phase::Opening;
            qCWarning(lcAudio).noquote() << "the sound device" << m_writer->name()
                                          << (opening ? "did not open within" : "took no audio for") << limit
                                          << "ms; the clip fails";
            m_failed = true;
            m_writer->stop();
            // Told from the event loop, as the device's other notifications are.
            const Fault fault = opening ? Fault::Open : Fault::Play;
            QMetaObject::invokeMethod(
                this, [this, session = m_session, fault] {
                    if (session == m_session)
                        emit failed(fault);
                },
                Qt::QueuedConnection);
        }
    }
    updateWatch();
}

void AlsaWaveOutput::updateWatch()
{
    if (m_writer || !m_lingering.empty()) {
        if (!m_watch.isActive())
            m_watch.start();
    } else {
        m_watch.stop();
    }
}

void AlsaWaveOutput::retire(std::shared_ptr<Writer> writer)
{
    writer->stop();
    writer->retiredAtMs = steadyMs();
    m_lastRetired = writer;
    m_lingering.push_back(std::move(writer));
}

int AlsaWaveOutput::lingeringWriters()
{
    std::erase_if(m_lingering, [](const std::shared_ptr<Writer> &w) { return w->ended(); });
    return static_cast<int>(m_lingering.size());
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
    m_writer->queue(bufferId, h.data, h.length);
    return true;
}

void AlsaWaveOutput::reset()
{
    if (!m_writer)
        return;
    m_writer->discard(++m_session); // nothing posted before now reaches the listener
    m_headers[0].queued = m_headers[1].queued = false;
}

void AlsaWaveOutput::close()
{
    if (!m_writer)
        return;
    retire(std::move(m_writer));
    m_writer.reset();
    ++m_session;
    m_failed = false;
    m_headers[0] = Header{};
    m_headers[1] = Header{};
    updateWatch();
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
