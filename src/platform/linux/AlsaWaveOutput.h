#pragma once

#include "platform/WaveOutput.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

namespace auravox {

// Wave output on ALSA.
//
// Device n of the list is "plughw:CARD,DEV" for the n-th playback device of the
// machine's sound cards (or the n-th of an explicit list of PCM names, given at
// construction); kDefaultDevice is the PCM named at construction ("default"
// unless told otherwise). Every clip is played on two channels, a mono clip on
// both, so that the per-channel volume (applied here, in our own code, as a
// gain on the samples) can keep a balance. 8- and 16-bit clips are played as
// S16_LE, 24- and 32-bit clips as S32_LE.
//
// Nothing here waits on the device. One writer thread per open device opens
// the PCM, writes the queued buffers, lets the last one play out and closes
// the PCM again. A buffer is done once ALSA has taken all of it; the last
// queued buffer only once the device has played it out and, whatever the
// device reports, not before everything written has had its length on the
// monotonic clock since the device took it (a plugin that writes into a pipe
// or hands the audio to a server hides what it holds). A device that makes no
// progress for the stall limit (4 s, or $AURAVOX_SOUND_STALL_MS) while it
// opens or plays fails the clip (failed()). A writer is closed on its own
// thread; one that has not closed within the stall limit is left behind
// (logged once, its PCM never waited for again) and the next clip opens a
// fresh device. Clips on the same output open one after the other: a new
// writer waits for the previous one to close, and fails its clip when that
// previous one has to be left behind.
class AlsaWaveOutput final : public WaveOutput
{
    Q_OBJECT
public:
    // With the 1 s wait of the watchdog reset that follows a failed clip, the
    // transmitter is released within 5 s of the device's last progress.
    static constexpr int kDefaultStallLimitMs = 4000;

    explicit AlsaWaveOutput(QString defaultPcm = QStringLiteral("default"), QObject *parent = nullptr);
    // `devicePcms` stands for the machine's list of playback devices (tests, or
    // a machine whose outputs are defined in the ALSA configuration).
    AlsaWaveOutput(QString defaultPcm, QStringList devicePcms, QObject *parent = nullptr);
    ~AlsaWaveOutput() override;

    int deviceCount() override;
    QString deviceName(int device, bool *ok) override;
    bool open(int device, const PcmFormat &format) override;
    bool isOpen() const override;
    bool prepareHeader(int bufferId, const char *data, qsizetype length) override;
    void unprepareHeader(int bufferId) override;
    bool write(int bufferId) override;
    void reset() override;
    void close() override;
    quint32 volume(int device) override;
    void setVolume(int device, quint32 leftLowRightHigh) override;

    // The ALSA name a device number opens ("plughw:0,0"), empty when out of range.
    QString pcmName(int device);

    // How long a device may make no progress while it opens, plays or closes.
    void setStallLimitMs(int ms);
    int stallLimitMs() const { return static_cast<int>(m_stallLimit.count()); }
    // Writers that were closed but whose thread has not ended yet, including
    // those left behind.
    int lingeringWriters();

    class Writer;

private:
    struct Header
    {
        const char *data = nullptr;
        qsizetype length = 0;
        bool prepared = false;
        bool queued = false;
    };
    struct Sink;

    void deliver(quint64 session, int kind, int value);
    void watch();
    void retire(std::shared_ptr<Writer> writer);
    void updateWatch();

    QString m_defaultPcm;
    QStringList m_devicePcms;
    bool m_explicitDevices = false;
    std::shared_ptr<Sink> m_sink;
    std::shared_ptr<Writer> m_writer;
    std::shared_ptr<Writer> m_lastRetired;
    std::vector<std::shared_ptr<Writer>> m_lingering;
    bool m_failed = false;
    int m_openDevice = kDefaultDevice;
    quint64 m_session = 0;
    Header m_headers[2];
    QHash<int, quint32> m_volumes;
    std::chrono::milliseconds m_stallLimit{kDefaultStallLimitMs};
    QTimer m_watch;
};

} // namespace auravox
