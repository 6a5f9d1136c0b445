#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

namespace auravox {

// PCM layout of one clip, as its "fmt " chunk describes it.
struct PcmFormat
{
    quint16 channels = 1;
    quint32 samplesPerSecond = 16000;
    quint32 averageBytesPerSecond = 32000;
    quint16 blockAlign = 2;
    quint16 bitsPerSample = 16;
};

// One wave output device, opened for one clip at a time.
//
// The player hands it at most two buffers at once (identified by 1 and 2). Every
// notification (opened, bufferDone) is delivered as a queued call on the thread
// that owns this object, never from inside the call that caused it, so the
// player's handlers always run from the event loop, as window messages would.
//
// A buffer is "done" once the device has taken all of its bytes; the last queued
// buffer is done only once the device has drained it (it has been heard), and
// never before the clip's length has passed since its first frame went to the
// device, whatever the device reports about itself. A device that can't be
// opened, fails or stalls while playing reports failed() instead, and nothing
// more of that clip; so a clip always ends one way or the other. No call ever
// waits on the device itself.
class WaveOutput : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultDevice = -1;   // the system's default output
    static constexpr int kMaxNameLength = 32;

    // Why a device failed a clip.
    enum class Fault {
        Open, // the device could not be opened, or took too long to open
        Play, // it stopped taking audio (an error, or no progress for the stall limit)
    };
    Q_ENUM(Fault)

    using QObject::QObject;
    ~WaveOutput() override = default;

    // Output devices that can be chosen by number (0 .. deviceCount() - 1).
    virtual int deviceCount() = 0;
    // Name of a device, at most 32 characters; an empty optional-like result
    // (ok == false) when the device's capabilities can't be read.
    virtual QString deviceName(int device, bool *ok) = 0;

    // Opens `device` (a number from the list, or kDefaultDevice) for `format`.
    // Returns false when the format or the device number is refused at once, or
    // the device can't be opened. A device may also be opened after the call
    // returns: then `opened()` follows as a queued notification, or
    // `failed(Fault::Open)` when it can't be had after all.
    virtual bool open(int device, const PcmFormat &format) = 0;
    virtual bool isOpen() const = 0;

    // Stands for the platform's buffer preparation; false when the buffer can't
    // be handed to the device (null data, or no open device).
    virtual bool prepareHeader(int bufferId, const char *data, qsizetype length) = 0;
    virtual void unprepareHeader(int bufferId) = 0;

    // Queues a prepared buffer; the memory must stay untouched until its
    // bufferDone(bufferId). False when no device is open or the buffer is not prepared.
    virtual bool write(int bufferId) = 0;

    // Drops whatever is still queued without notifying it, then closes. Both are
    // harmless when nothing is open.
    virtual void reset() = 0;
    virtual void close() = 0;

    // Volume of a device: left in the low 16 bits, right in the high 16 bits.
    // Full (0xFFFFFFFF) until the program sets it.
    virtual quint32 volume(int device) = 0;
    virtual void setVolume(int device, quint32 leftLowRightHigh) = 0;

signals:
    void opened();
    void bufferDone(int bufferId);
    // The open device gave up on the clip; no bufferDone of it follows. The
    // device stays "open" until close().
    void failed(WaveOutput::Fault fault);
};

} // namespace auravox
