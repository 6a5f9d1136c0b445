#include "support/FakeWaveOutput.h"

#include <QMetaObject>

namespace auravox::test {

QString FakeWaveOutput::deviceName(int device, bool *ok)
{
    const bool valid = device >= 0 && device < m_deviceNames.size();
    if (ok)
        *ok = valid;
    return valid ? m_deviceNames.at(device) : QString();
}

bool FakeWaveOutput::open(int device, const PcmFormat &format)
{
    if (failOpen || m_open)
        return false;
    m_open = true;
    ++m_opens;
    ++m_session;
    if (!keepSamples && m_sessions.size() >= 64)
        m_sessions.remove(0, m_sessions.size() - 63); // a long run keeps only the recent ones
    m_sessions.append(Session{device, format, {}, {}});
    const quint64 session = m_session;
    QMetaObject::invokeMethod(
        this, [this, session] {
            if (session == m_session && m_open)
                emit opened();
        },
        Qt::QueuedConnection);
    return true;
}

bool FakeWaveOutput::prepareHeader(int bufferId, const char *data, qsizetype length)
{
    ++m_prepareCalls;
    if (!m_open || bufferId < 1 || bufferId > 2 || (failPrepareOnCall && m_prepareCalls == failPrepareOnCall))
        return false;
    m_headers[bufferId - 1] = Prepared{data, length, true};
    return true;
}

void FakeWaveOutput::unprepareHeader(int bufferId)
{
    if (bufferId >= 1 && bufferId <= 2)
        m_headers[bufferId - 1].prepared = false;
}

bool FakeWaveOutput::write(int bufferId)
{
    ++m_writeCalls;
    if (!m_open || bufferId < 1 || bufferId > 2 || !m_headers[bufferId - 1].prepared
        || (failWriteOnCall && m_writeCalls == failWriteOnCall))
        return false;
    const Prepared &h = m_headers[bufferId - 1];
    Session &s = m_sessions.last();
    if (keepSamples)
        s.data.append(h.data, h.length);
    s.writes.append(h.length);
    m_queue.push_back(bufferId);
    ++m_outstanding;
    m_maxQueued = std::max(m_maxQueued, m_outstanding);
    if (onWrite)
        onWrite(bufferId);
    if (autoComplete)
        completeNext();
    return true;
}

bool FakeWaveOutput::completeNext()
{
    if (m_queue.empty())
        return false;
    const int id = m_queue.front();
    m_queue.pop_front();
    post(id);
    return true;
}

void FakeWaveOutput::failCurrent(WaveOutput::Fault fault)
{
    m_queue.clear();
    const quint64 session = m_session;
    QMetaObject::invokeMethod(
        this, [this, session, fault] {
            if (session == m_session && m_open)
                emit failed(fault);
        },
        Qt::QueuedConnection);
}

void FakeWaveOutput::post(int bufferId)
{
    const quint64 session = m_session;
    QMetaObject::invokeMethod(
        this, [this, session, bufferId] {
            if (session != m_session || !m_open)
                return;
            --m_outstanding;
            if (onDone)
                onDone(bufferId);
            emit bufferDone(bufferId);
        },
        Qt::QueuedConnection);
}

void FakeWaveOutput::reset()
{
    ++m_resets;
    m_queue.clear();
    m_outstanding = 0;
    ++m_session; // nothing posted before the reset arrives
}

void FakeWaveOutput::close()
{
    if (m_open)
        ++m_closes;
    m_open = false;
    m_queue.clear();
    m_outstanding = 0;
    ++m_session;
}

quint32 FakeWaveOutput::volume(int device)
{
    return m_volumes.value(device, 0xFFFFFFFFu);
}

void FakeWaveOutput::setVolume(int device, quint32 value)
{
    m_volumes.insert(device, value);
}

} // namespace auravox::test
