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
// buffer is done only once the device has drained it (it has been heard). A
// device that fails or stalls while playing still reports its buffers done, so a
// clip always ends.
class WaveOutput : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultDevice = -1;   // the system's default output
    static constexpr int kMaxNameLength = 32;

    using QObject::QObject;
    ~WaveOutput() override = default;

    // Output devices that can be chosen by number (0 .. deviceCount() - 1).
    virtual int deviceCount() = 0;
    // Name of a device, at most 32 characters; an empty optional-like result
    // (ok == false) when the device's capabilities can't be read.
    virtual QString deviceName(int device, bool *ok) = 0;

    // Opens `device` (a number from the list, or kDefaultDevice) for `format`.
    // Returns false when the device can't be opened or refuses the format.
    // On success `opened()` follows as a queued notification.
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
};

} // namespace auravox
