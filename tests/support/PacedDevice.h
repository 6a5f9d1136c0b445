#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <mutex>
#include <thread>
#include <vector>

namespace auravox::test {

// Nanoseconds on the monotonic clock, the one the devices below keep.
qint64 monotonicNs();

// Puts the calling thread in the real-time class at `priority` (SCHED_FIFO),
// so a loaded machine delays it by microseconds rather than a scheduling
// slice: the threads that stand in for hardware (a sound card's clock, a
// watcher of a port's lines) are then as punctual as the hardware. False when
// the system does not allow it (not root); the thread carries on as it was.
bool runInRealTimeClass(int priority);

// A sound device of the test's that plays in real time and notes when it
// played each frame. Frames are counted from the first one it was ever given,
// over every open of the device; each is two 16-bit channels.
class PlayingDevice
{
public:
    virtual ~PlayingDevice() = default;
    // The ALSA name that plays into it.
    virtual QString pcm() const = 0;
    // Every byte it was given.
    virtual QByteArray data() const = 0;
    // When frame `index` began to play, on the monotonic clock; -1 when it
    // has not been given.
    virtual qint64 playedAtNs(qint64 index) const = 0;
    // When the frame before `index` had been played (its start plus one frame).
    qint64 endedBeforeNs(qint64 index) const;
    // Lets the event loop run until `frames` frames have been played; false
    // if that did not happen (a hang guard, not a timing check).
    bool waitPlayed(qint64 frames) const;

protected:
    explicit PlayingDevice(int frameRate) : m_frameRate(frameRate) {}
    // Where a stretch of frames played back to back began.
    struct Stretch
    {
        qint64 firstFrame = 0;
        qint64 startNs = 0;
    };
    // The time of `index` in the last stretch that holds it (`stretches` in order).
    qint64 timeIn(const std::vector<Stretch> &stretches, qint64 index, qint64 frames) const;
    const int m_frameRate;
};

// Plays in real time behind a pipe, as a sound card does behind a sound
// server: ALSA's file plugin writes the raw samples into a named pipe, and a
// thread of the test takes them out at the frame rate, paced by the monotonic
// clock, a short period ahead of playing them. So the pipe (and the plugin's
// own buffer) hold up to a second of audio that ALSA does not see.
//
// A frame plays at the end of the one before it, unless the pipe was found
// empty by then (the device ran dry): then it plays when it was read. The test
// holds the pipe open, so a clip's device opens at once.
class PacedPipeDevice final : public PlayingDevice
{
public:
    explicit PacedPipeDevice(int frameRate = 16000);
    ~PacedPipeDevice() override;
    PacedPipeDevice(const PacedPipeDevice &) = delete;
    PacedPipeDevice &operator=(const PacedPipeDevice &) = delete;

    QString pcm() const override;
    QByteArray data() const override;
    qint64 playedAtNs(qint64 index) const override;
    // The named pipe the device reads, for an ALSA configuration of another
    // process; and the bytes written into it that the device has not read yet.
    QString path() const { return m_path; }
    int unread() const;

private:
    void run();

    QTemporaryDir m_dir;
    QString m_path;
    int m_fd = -1;
    int m_stopFd = -1;
    mutable std::mutex m_mutex;
    std::vector<Stretch> m_stretches;
    QByteArray m_data;
    qint64 m_frames = 0;
    std::thread m_reader;
};

// Plays in real time and reports its delay as a sound card does (the ALSA
// plugin of tests/alsa): what it was given and when it played it are in two
// files it writes.
class RealTimeDevice final : public PlayingDevice
{
public:
    RealTimeDevice();

    QString pcm() const override;
    QByteArray data() const override;
    qint64 playedAtNs(qint64 index) const override;

private:
    QTemporaryDir m_dir;
    QString m_dataPath;
    QString m_logPath;
};

} // namespace auravox::test
