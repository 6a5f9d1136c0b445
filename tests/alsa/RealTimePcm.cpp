// An ALSA playback device for the tests that plays in real time and reports
// its delay as a sound card does: its hardware pointer moves at the frame
// rate on the monotonic clock from the moment it starts, it stops when it has
// played all it was given, and what is queued but not played is its delay.
//
// It appends every frame it is given to the file `data` and, whenever it
// starts to play (after a start, or after it ran dry), a line "<frame>
// <nanoseconds>" to the file `log`: the frame (counted over the whole data
// file) that began to play at that moment of the monotonic clock. Each later
// frame plays one frame's time after the one before, until the next line.
//
//   pcm_type.auravox_realtime { lib "/path/libasound_module_pcm_auravox_realtime.so" }
//   pcm.x { type auravox_realtime data "/tmp/d.raw" log "/tmp/d.log" }

#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr long long kNsPerSecond = 1000000000LL;
constexpr unsigned kFrameBytes = 4; // two channels of S16_LE

long long nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * kNsPerSecond + t.tv_nsec;
}

struct Device
{
    snd_pcm_ioplug_t io{};
    std::string dataPath;
    std::string logPath;
    int dataFd = -1;
    int timerFd = -1;
    long long base = 0;         // frames in the data file before this epoch
    long long given = 0;        // frames given since the last prepare
    long long stretchFirst = 0; // first frame (since prepare) of what plays now
    long long stretchStart = 0; // when it began to play
    bool running = false;       // started, and not run dry

    long long playedAt(long long t) const
    {
        if (!running)
            return stretchFirst;
        const long long elapsed = (t - stretchStart) * static_cast<long long>(io.rate) / kNsPerSecond;
        return std::min(given, stretchFirst + elapsed);
    }
    // Frames played since the last prepare; marks the device dry once it has played all.
    long long played()
    {
        const long long p = playedAt(nowNs());
        if (running && p >= given) {
            running = false;
            stretchFirst = given;
        }
        return p;
    }
    // Frame `first` (since the last prepare) and those after it play from now.
    void beginStretch(long long first)
    {
        stretchFirst = first;
        stretchStart = nowNs();
        running = true;
        FILE *log = std::fopen(logPath.c_str(), "a");
        if (log) {
            std::fprintf(log, "%lld %lld\n", base + stretchFirst, stretchStart);
            std::fclose(log);
        }
    }
};

Device *device(snd_pcm_ioplug_t *io)
{
    return static_cast<Device *>(io->private_data);
}

int startCb(snd_pcm_ioplug_t *io)
{
    Device *d = device(io);
    d->played();
    d->beginStretch(d->stretchFirst);
    itimerspec tick{};
    tick.it_interval.tv_nsec = static_cast<long>(static_cast<long long>(io->period_size) * kNsPerSecond / io->rate);
    tick.it_value = tick.it_interval;
    timerfd_settime(d->timerFd, 0, &tick, nullptr);
    return 0;
}

int stopCb(snd_pcm_ioplug_t *io)
{
    Device *d = device(io);
    d->stretchFirst = d->played();
    d->running = false;
    itimerspec off{};
    timerfd_settime(d->timerFd, 0, &off, nullptr);
    return 0;
}

snd_pcm_sframes_t pointerCb(snd_pcm_ioplug_t *io)
{
    return static_cast<snd_pcm_sframes_t>(device(io)->played() % static_cast<long long>(io->buffer_size));
}

snd_pcm_sframes_t transferCb(snd_pcm_ioplug_t *io, const snd_pcm_channel_area_t *areas, snd_pcm_uframes_t offset,
                             snd_pcm_uframes_t size)
{
    Device *d = device(io);
    bool dry = false;
    if (io->state == SND_PCM_STATE_RUNNING) {
        d->played();
        dry = !d->running;
    }
    const long long first = d->given;
    const char *from = static_cast<const char *>(areas[0].addr) + (areas[0].first + areas[0].step * offset) / 8;
    [[maybe_unused]] const ssize_t n = write(d->dataFd, from, size * kFrameBytes);
    d->given += static_cast<long long>(size);
    if (dry)
        d->beginStretch(first); // it had run dry: these play from now
    return static_cast<snd_pcm_sframes_t>(size);
}

int prepareCb(snd_pcm_ioplug_t *io)
{
    Device *d = device(io);
    d->base += d->given;
    d->given = 0;
    d->stretchFirst = 0;
    d->running = false;
    return 0;
}

int delayCb(snd_pcm_ioplug_t *io, snd_pcm_sframes_t *delay)
{
    Device *d = device(io);
    *delay = static_cast<snd_pcm_sframes_t>(d->given - d->played());
    return 0;
}

int pollReventsCb(snd_pcm_ioplug_t *io, struct pollfd *pfd, unsigned int nfds, unsigned short *revents)
{
    unsigned long long ticks = 0;
    [[maybe_unused]] const ssize_t n = read(device(io)->timerFd, &ticks, sizeof ticks);
    *revents = (nfds > 0 && (pfd[0].revents & POLLIN)) ? POLLOUT : 0;
    return 0;
}

int closeCb(snd_pcm_ioplug_t *io)
{
    Device *d = device(io);
    close(d->dataFd);
    close(d->timerFd);
    delete d;
    return 0;
}

const snd_pcm_ioplug_callback_t kCallbacks = [] {
    snd_pcm_ioplug_callback_t c{};
    c.start = startCb;
    c.stop = stopCb;
    c.pointer = pointerCb;
    c.transfer = transferCb;
    c.close = closeCb;
    c.prepare = prepareCb;
    c.delay = delayCb;
    c.poll_revents = pollReventsCb;
    return c;
}();

} // namespace

extern "C" SND_PCM_PLUGIN_DEFINE_FUNC(auravox_realtime)
{
    (void)root;
    if (stream != SND_PCM_STREAM_PLAYBACK)
        return -EINVAL;
    auto *d = new Device;
    snd_config_iterator_t i, next;
    snd_config_for_each(i, next, conf)
    {
        snd_config_t *n = snd_config_iterator_entry(i);
        const char *id = nullptr;
        const char *value = nullptr;
        if (snd_config_get_id(n, &id) < 0)
            continue;
        if (std::strcmp(id, "data") == 0 && snd_config_get_string(n, &value) == 0)
            d->dataPath = value;
        else if (std::strcmp(id, "log") == 0 && snd_config_get_string(n, &value) == 0)
            d->logPath = value;
    }
    d->dataFd = open(d->dataPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    d->timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    struct stat st
    {};
    if (d->dataFd < 0 || d->timerFd < 0 || fstat(d->dataFd, &st) < 0) {
        if (d->dataFd >= 0)
            close(d->dataFd);
        if (d->timerFd >= 0)
            close(d->timerFd);
        delete d;
        return -EIO;
    }
    d->base = st.st_size / kFrameBytes;
    d->io.version = SND_PCM_IOPLUG_VERSION;
    d->io.name = "Auravox real-time test device";
    d->io.callback = &kCallbacks;
    d->io.private_data = d;
    d->io.poll_fd = d->timerFd;
    d->io.poll_events = POLLIN;
    d->io.mmap_rw = 0;
    int err = snd_pcm_ioplug_create(&d->io, name, stream, mode);
    if (err < 0) {
        close(d->dataFd);
        close(d->timerFd);
        delete d;
        return err;
    }
    static const unsigned accesses[] = {SND_PCM_ACCESS_RW_INTERLEAVED};
    static const unsigned formats[] = {SND_PCM_FORMAT_S16_LE};
    snd_pcm_ioplug_set_param_list(&d->io, SND_PCM_IOPLUG_HW_ACCESS, 1, accesses);
    snd_pcm_ioplug_set_param_list(&d->io, SND_PCM_IOPLUG_HW_FORMAT, 1, formats);
    snd_pcm_ioplug_set_param_minmax(&d->io, SND_PCM_IOPLUG_HW_CHANNELS, 2, 2);
    snd_pcm_ioplug_set_param_minmax(&d->io, SND_PCM_IOPLUG_HW_RATE, 8000, 48000);
    snd_pcm_ioplug_set_param_minmax(&d->io, SND_PCM_IOPLUG_HW_PERIOD_BYTES, 256, 64 * 1024);
    snd_pcm_ioplug_set_param_minmax(&d->io, SND_PCM_IOPLUG_HW_PERIODS, 2, 64);
    *pcmp = d->io.pcm;
    return 0;
}

SND_PCM_PLUGIN_SYMBOL(auravox_realtime);
