#pragma once

#include "platform/WaveOutput.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <deque>
#include <functional>

namespace auravox::test {

// A wave output that records what it is given. By default every written buffer
// comes back at once (as a queued notification); with autoComplete off the test
// hands them back with completeNext().
class FakeWaveOutput final : public WaveOutput
{
    Q_OBJECT
public:
    struct Session
    {
        int device = 0;
        PcmFormat format;
        QByteArray data;         // every byte written while open, in order
        QList<qsizetype> writes; // length of each write
    };

    explicit FakeWaveOutput(QObject *parent = nullptr) : WaveOutput(parent) {}

    int deviceCount() override { return m_deviceNames.size(); }
    QString deviceName(int device, bool *ok) override;
    bool open(int device, const PcmFormat &format) override;
    bool isOpen() const override { return m_open; }
    bool prepareHeader(int bufferId, const char *data, qsizetype length) override;
    void unprepareHeader(int bufferId) override;
    bool write(int bufferId) override;
    void reset() override;
    void close() override;
    quint32 volume(int device) override;
    void setVolume(int device, quint32 value) override;

    // Knobs
    bool autoComplete = true;
    // Off: the sessions keep their lengths but not their samples, and only the
    // last 64 sessions are kept (a long run).
    bool keepSamples = true;
    bool failOpen = false;
    int failPrepareOnCall = 0; // fail the n-th prepare (1-based), 0 = never
    int failWriteOnCall = 0;
    QStringList m_deviceNames;

    // Hands back the oldest queued buffer; false when none is queued.
    bool completeNext();
    // The open device gives up on its clip (told from the event loop); what is
    // queued never comes back.
    void failCurrent(WaveOutput::Fault fault);
    int queuedCount() const { return static_cast<int>(m_queue.size()); }
    // Most buffers ever handed over and not yet given back at one time.
    int maxQueued() const { return m_maxQueued; }

    const QList<Session> &sessions() const { return m_sessions; }
    int openCount() const { return m_opens; }
    int closeCount() const { return m_closes; }
    int resetCount() const { return m_resets; }
    // Called on every write (benchmarks time it).
    std::function<void(int bufferId)> onWrite;
    // Called just before a buffer is given back (benchmarks time it).
    std::function<void(int bufferId)> onDone;

private:
    struct Prepared
    {
        const char *data = nullptr;
        qsizetype length = 0;
        bool prepared = false;
    };
    void post(int bufferId);

    bool m_open = false;
    quint64 m_session = 0;
    Prepared m_headers[2];
    std::deque<int> m_queue;
    int m_maxQueued = 0;
    int m_outstanding = 0;
    int m_prepareCalls = 0;
    int m_writeCalls = 0;
    int m_opens = 0;
    int m_closes = 0;
    int m_resets = 0;
    QList<Session> m_sessions;
    QHash<int, quint32> m_volumes;
};

} // namespace auravox::test
