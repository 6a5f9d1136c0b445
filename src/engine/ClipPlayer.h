#pragma once

#include "engine/WavLoader.h"
#include "platform/WaveOutput.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <vector>

namespace auravox {

class Clock;
class ClipCatalogue;
class UserPrompts;

// What the player tells the main window.
class PlayerEvents
{
public:
    virtual ~PlayerEvents() = default;
    // An "Err: ..." text for the status field.
    virtual void showPlayerStatus(const QString &text) = 0;
    // The watchdog reset routine, run after a failure.
    virtual void playerFailed() = 0;
    // The end-of-clip continuation (runs the next step of an announcement).
    virtual void clipEnded() = 0;
    // A play buffer could not be allocated: the program must end.
    virtual void requestTerminate() = 0;
};

// Plays one clip at a time, a user WAV file or a built-in clip, streaming the
// whole "data" chunk held in memory through two alternating 88,200-byte
// buffers. The play calls return at once; the end of the clip is reported
// later, from the event loop, by exactly one PlayerEvents::clipEnded(), or a
// failure by an "Err" text and PlayerEvents::playerFailed(). A clip ends once
// every buffer is back and, on the program's clock, its length has passed
// since the device opened for it, whatever the device said before; then the
// device is closed and, 50 ms later, the clip's end is told.
class ClipPlayer : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype kBufferSize = 88200;
    static constexpr qsizetype kInitialSampleBlock = 100000;

    ClipPlayer(WaveOutput &output, const ClipCatalogue &catalogue, Clock &clock, UserPrompts &prompts,
               PlayerEvents &events, QObject *parent = nullptr);

    // Allocates the two play buffers, their headers and the sample block, once.
    // A block that can't be had shows its message and asks the program to end;
    // the others are still tried. Returns false when any failed.
    bool allocMem();
    // Releases the sample block and the spare header at close.
    void freeUnlock();

    void playWaveFile(const QString &path);
    // A built-in clip, or the voice folder's file of that name when there is
    // one (ClipCatalogue::voiceFile). A voice file that the player refuses is
    // reported once (status field and log) and the built-in clip is played.
    void playWaveResource(const QString &name);
    // Forgets which voice files were reported (a new voice folder).
    void forgetRefusedVoiceFiles() { m_refusedVoiceFiles.clear(); }

    // Handlers of the device's notifications.
    void onWaveOpen();
    void onWaveDone(int header);
    // The device could not be opened or stopped taking audio: the clip fails
    // as a failed load does ("Err" text, then the watchdog reset).
    void onWaveFailed(WaveOutput::Fault fault);

    // Unprepares both headers, resets and closes the device (watchdog, close).
    void stopDevice();
    // Clears the opened and playing flags.
    void clearFlags();

    bool isPlaying() const { return m_playing; }
    bool isOpened() const { return m_opened; }

    // The output device: a number from the device list, or -1 for the system's default.
    int selectedDevice() const { return m_selectedDevice; }
    void setSelectedDevice(int device) { m_selectedDevice = device; }

    // For tests and benchmarks.
    int writtenCount() const { return m_written; }
    int doneCount() const { return m_done; }
    qsizetype dataSize() const { return m_samples.size(); }

private:
    struct Header
    {
        char *data = nullptr;
        qsizetype length = 0;
        bool prepared = false;
    };

    void play(QIODevice *in, ClipOrigin origin);
    void start(LoadedClip &clip, ClipOrigin origin);
    bool playVoiceFile(const QString &name);
    void fail(ClipError error, ClipOrigin origin);
    qsizetype fillBuffer(int header);
    bool queue(int header);
    void unprepare(int header);
    // The clip's length on the device, in whole milliseconds rounded up.
    qint64 clipLengthMs() const;
    // Waits on the program's clock until the clip's length has passed since
    // the device opened for it; false when the clip was given up meanwhile.
    bool holdUntilHeard();

    WaveOutput &m_output;
    const ClipCatalogue &m_catalogue;
    Clock &m_clock;
    UserPrompts &m_prompts;
    PlayerEvents &m_events;

    bool m_playing = false;
    bool m_opened = false;
    int m_selectedDevice = WaveOutput::kDefaultDevice;
    ClipOrigin m_origin = ClipOrigin::Resource;
    PcmFormat m_format;

    QSet<QString> m_refusedVoiceFiles; // paths already reported

    std::array<std::vector<char>, 2> m_buffers;
    std::array<Header, 2> m_headers;
    std::vector<char> m_spareHeader;
    QByteArray m_samples;
    qsizetype m_readPosition = 0;
    int m_written = 0;
    int m_done = 0;
    QDateTime m_openedAt;     // when the device took the clip's first frame
    quint64 m_clipSerial = 0; // one more for every clip started
};

} // namespace auravox
