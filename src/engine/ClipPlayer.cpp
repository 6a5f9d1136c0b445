#include "engine/ClipPlayer.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "common/OutsideFile.h"
#include "engine/ClipCatalogue.h"
#include "platform/UserPrompts.h"

#include <QBuffer>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <new>

namespace auravox {

namespace {
constexpr qsizetype kHeaderRecordSize = 32;
} // namespace

ClipPlayer::ClipPlayer(WaveOutput &output, const ClipCatalogue &catalogue, Clock &clock, UserPrompts &prompts,
                       PlayerEvents &events, QObject *parent)
    : QObject(parent), m_output(output), m_catalogue(catalogue), m_clock(clock), m_prompts(prompts),
      m_events(events)
{
    connect(&m_output, &WaveOutput::opened, this, &ClipPlayer::onWaveOpen);
    connect(&m_output, &WaveOutput::bufferDone, this, &ClipPlayer::onWaveDone);
    connect(&m_output, &WaveOutput::failed, this, &ClipPlayer::onWaveFailed);
}

bool ClipPlayer::allocMem()
{
    bool ok = true;
    auto attempt = [&](auto &&allocate, const char *message) {
        try {
            allocate();
        } catch (const std::bad_alloc &) {
            m_events.showPlayerStatus(QString::fromLatin1(message));
            ok = false;
        }
    };
    attempt([&] { m_buffers[0].assign(kBufferSize, 0); }, "Err :Alloc Mem");
    attempt([&] { m_buffers[1].assign(kBufferSize, 0); }, "Err: Alloc Mem");
    // The two headers are plain members here; only the spare one and the sample
    // block are separate allocations.
    attempt([&] { m_spareHeader.assign(kHeaderRecordSize, 0); }, "Err :Alloc Mem");
    attempt([&] { m_samples = QByteArray(kInitialSampleBlock, '\0'); }, "Err :Alloc mem");
    if (!ok)
        m_events.requestTerminate();
    return ok;
}

void ClipPlayer::freeUnlock()
{
    m_spareHeader.clear();
    m_spareHeader.shrink_to_fit();
    m_samples = QByteArray();
}

void ClipPlayer::playWaveFile(const QString &path)
{
    if (m_playing) {
        m_prompts.beep();
        fail(ClipError::Busy, ClipOrigin::File);
        return;
    }
    // A trial open tells a missing or unreadable file apart from a damaged one.
    // The whole file is read here, within a bound: a named pipe, a device or a
    // share that hangs is no file to play, and must not hold the transmitter.
    OutsideFile::Contents file;
    if (!path.isEmpty())
        file = OutsideFile::readWhole(path);
    if (file.status != OutsideFile::Status::Ok) {
        fail(ClipError::Missing, ClipOrigin::File);
        return;
    }
    QBuffer buffer(&file.data);
    buffer.open(QIODevice::ReadOnly);
    play(&buffer, ClipOrigin::File);
}

void ClipPlayer::playWaveResource(const QString &name)
{
    if (m_playing) {
        m_prompts.beep();
        fail(ClipError::Busy, ClipOrigin::Resource);
        return;
    }
    if (playVoiceFile(name))
        return;
    const std::unique_ptr<QIODevice> in = m_catalogue.open(name);
    if (!in) {
        fail(ClipError::Missing, ClipOrigin::Resource);
        return;
    }
    play(in.get(), ClipOrigin::Resource);
}

bool ClipPlayer::playVoiceFile(const QString &name)
{
    const QString path = m_catalogue.voiceFile(name);
    if (path.isEmpty())
        return false; // the built-in clip
    // An outside file like the header: read whole, within a bound.
    OutsideFile::Contents file = OutsideFile::readWhole(path);
    LoadedClip clip;
    ClipError error = ClipError::Missing;
    if (file.status == OutsideFile::Status::Ok) {
        QBuffer buffer(&file.data);
        buffer.open(QIODevice::ReadOnly);
        error = loadWav(buffer, clip);
    }
    if (error == ClipError::None) {
        if (m_buffers[0].empty() && !allocMem())
            return true;
        // It stands in for a built-in clip: device failures read as the clip's.
        start(clip, ClipOrigin::Resource);
        return true;
    }
    if (!m_refusedVoiceFiles.contains(path)) {
        m_refusedVoiceFiles.insert(path);
        const QString text = QStringLiteral("Voice file %1 refused: %2, built-in clip played")
                                 .arg(QFileInfo(path).fileName(), clipErrorText(error, ClipOrigin::File));
        qCWarning(lcAudio).noquote() << text << "(" << path << ")";
        m_events.showPlayerStatus(text);
    }
    return false;
}

void ClipPlayer::play(QIODevice *in, ClipOrigin origin)
{
    if (m_buffers[0].empty() && !allocMem())
        return;

    LoadedClip clip;
    const ClipError loadError = loadWav(*in, clip);
    in->close();
    if (loadError != ClipError::None) {
        fail(loadError, origin);
        return;
    }
    start(clip, origin);
}

void ClipPlayer::start(LoadedClip &clip, ClipOrigin origin)
{
    m_samples = std::move(clip.samples);
    m_format = clip.format;
    m_origin = origin;

    if (!m_output.open(m_selectedDevice, m_format)) {
        fail(ClipError::DeviceOpen, origin);
        return;
    }

    ++m_clipSerial;
    m_openedAt = m_clock.now();
    m_readPosition = 0;
    m_written = 0;
    m_done = 0;
    fillBuffer(0);
    if (m_readPosition < m_samples.size())
        fillBuffer(1);
    else
        m_headers[1].length = 0;

    if (!m_output.prepareHeader(1, m_headers[0].data, m_headers[0].length)) {
        fail(ClipError::Prepare1, origin);
        return;
    }
    m_headers[0].prepared = true;
    if (!m_output.write(1)) {
        fail(ClipError::Write1, origin);
        return;
    }
    m_written = 1;
    if (m_headers[1].length > 0) {
        if (!m_output.prepareHeader(2, m_headers[1].data, m_headers[1].length)) {
            fail(ClipError::Prepare2, origin);
            return;
        }
        m_headers[1].prepared = true;
        if (!m_output.write(2)) {
            fail(ClipError::Write2, origin);
            return;
        }
        m_written = 2;
    }
    m_playing = true;
}

void ClipPlayer::fail(ClipError error, ClipOrigin origin)
{
    m_events.showPlayerStatus(clipErrorText(error, origin));
    // A short format chunk in a built-in clip is left to the watchdog timer.
    if (error == ClipError::ShortFormat && origin == ClipOrigin::Resource)
        return;
    m_events.playerFailed();
}

qsizetype ClipPlayer::fillBuffer(int header)
{
    Header &h = m_headers[header];
    h.data = m_buffers[header].data();
    const qsizetype count = std::min(kBufferSize, m_samples.size() - m_readPosition);
    if (count > 0) {
        std::memcpy(h.data, m_samples.constData() + m_readPosition, static_cast<size_t>(count));
        m_readPosition += count;
    }
    h.length = std::max<qsizetype>(count, 0);
    return h.length;
}

void ClipPlayer::unprepare(int header)
{
    if (m_headers[header].prepared) {
        m_output.unprepareHeader(header + 1);
        m_headers[header].prepared = false;
    }
}

void ClipPlayer::onWaveOpen()
{
    m_opened = true;
    // The device takes its first frame now.
    m_openedAt = m_clock.now();
}

qint64 ClipPlayer::clipLengthMs() const
{
    const qint64 frames = m_samples.size() / std::max<qsizetype>(m_format.blockAlign, 1);
    const qint64 rate = std::max<qint64>(m_format.samplesPerSecond, 1);
    return (frames * 1000 + rate - 1) / rate;
}

bool ClipPlayer::holdUntilHeard()
{
    // The program's clock may be set back or forward meanwhile: the wait is
    // never longer than the clip.
    const qint64 length = clipLengthMs();
    const qint64 left = std::clamp<qint64>(length - m_openedAt.msecsTo(m_clock.now()), 0, length);
    if (left == 0)
        return true;
    const quint64 clip = m_clipSerial;
    m_clock.waitPumping(static_cast<int>(left));
    // The clip may have been given up during the wait (a failure, the close).
    return clip == m_clipSerial && m_playing;
}

void ClipPlayer::onWaveDone(int headerId)
{
    if (headerId != 1 && headerId != 2)
        return;
    const int header = headerId - 1;
    unprepare(header);
    ++m_done;
    if (!m_opened)
        return;

    if (m_done < m_written) {
        if (m_readPosition >= m_samples.size())
            return; // the other buffer is still playing
        fillBuffer(header);
        if (!m_output.prepareHeader(headerId, m_headers[header].data, m_headers[header].length)) {
            m_events.showPlayerStatus(clipErrorText(ClipError::Prepare3, ClipOrigin::File));
            m_events.playerFailed();
            return;
        }
        m_headers[header].prepared = true;
        if (!m_output.write(headerId)) {
            m_events.showPlayerStatus(clipErrorText(ClipError::Write3, ClipOrigin::File));
            m_events.playerFailed();
            return;
        }
        ++m_written;
        return;
    }

    // Every buffer written for this clip has come back. A device may say so
    // before it has played them (a pipe or a sound server behind it holds
    // audio it does not report): the clip has been heard only once its length
    // has passed since the device opened for it.
    if (!holdUntilHeard())
        return;
    stopDevice();
    m_clock.waitPumping(50);
    clearFlags();
    m_events.clipEnded();
}

void ClipPlayer::onWaveFailed(WaveOutput::Fault fault)
{
    // The device is let go at once; it closes on its own thread.
    stopDevice();
    if (!m_playing)
        return;
    clearFlags();
    m_events.showPlayerStatus(
        clipErrorText(fault == WaveOutput::Fault::Open ? ClipError::DeviceOpen : ClipError::DeviceStopped, m_origin));
    m_events.playerFailed();
}

void ClipPlayer::stopDevice()
{
    unprepare(0);
    unprepare(1);
    m_output.reset();
    m_output.close();
}

void ClipPlayer::clearFlags()
{
    m_opened = false;
    m_playing = false;
}

} // namespace auravox
