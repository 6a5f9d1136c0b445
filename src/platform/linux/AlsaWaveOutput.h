#pragma once

#include "platform/WaveOutput.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <memory>

namespace auravox {

// Wave output on ALSA.
//
// Device n of the list is "plughw:CARD,DEV" for the n-th playback device of the
// machine's sound cards; kDefaultDevice is the PCM named at construction
// ("default" unless told otherwise). Every clip is played on two channels, a
// mono clip on both, so that the per-channel volume (applied here, in our own
// code, as a gain on the samples) can keep a balance. 8- and 16-bit clips are
// played as S16_LE, 24- and 32-bit clips as S32_LE.
//
// A writer thread per open device writes the queued buffers. A buffer is done
// once ALSA has taken all of it; the last queued buffer only once the device
// has played it out. A device that fails or makes no progress for 5 s still
// gives every buffer back, so a clip always ends.
class AlsaWaveOutput final : public WaveOutput
{
    Q_OBJECT
public:
    explicit AlsaWaveOutput(QString defaultPcm = QStringLiteral("default"), QObject *parent = nullptr);
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

    class Writer;

private:
    struct Header
    {
        const char *data = nullptr;
        qsizetype length = 0;
        bool prepared = false;
        bool queued = false;
    };

    void postDone(quint64 session, int bufferId);

    QString m_defaultPcm;
    std::unique_ptr<Writer> m_writer;
    int m_openDevice = kDefaultDevice;
    std::atomic<quint64> m_session{0};
    Header m_headers[2];
    QHash<int, quint32> m_volumes;
};

} // namespace auravox
