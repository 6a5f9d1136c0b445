#include "support/AlsaStation.h"

#include "engine/WavLoader.h"
#include "support/PacedDevice.h"

#include <QBuffer>
#include <QDir>
#include <QTest>

namespace auravox::test {

namespace {
QByteArray samplesOf(const ClipCatalogue &catalogue, const QString &name)
{
    QByteArray wav = catalogue.wavData(name);
    QBuffer buffer(&wav);
    buffer.open(QIODevice::ReadOnly);
    LoadedClip clip;
    return loadWav(buffer, clip) == ClipError::None ? clip.samples : QByteArray();
}
} // namespace

AlsaStation::AlsaStation(const QString &pcm)
    : m_previousDir(QDir::currentPath()), m_alsa(pcm), m_transmitter(m_serial),
      m_engine(AnnouncerDeps{&m_clock, &m_alsa, &m_prompts, QString()}, m_host)
{
    QDir::setCurrent(m_dir.path()); // the log file goes there
    m_transmitter.open(QStringLiteral("COM1"));
    m_engine.setTransmitter(&m_transmitter);
    m_engine.addObserver(this);
    m_engine.player().allocMem();
    m_host.choices.date = false;
    m_host.choices.timeIs = false;
    m_serial.onCall = [this](const QString &call) {
        if (call == QLatin1String("DTR-"))
            m_releases.push_back(monotonicNs());
    };
    QObject::connect(&m_alsa, &WaveOutput::opened, [this] { m_opens.push_back(monotonicNs()); });
    m_engine.tick(); // the clock fields
    m_engine.stopTicking();
}

AlsaStation::~AlsaStation()
{
    m_engine.removeObserver(this);
    QDir::setCurrent(m_previousDir);
}

std::vector<qint64> AlsaStation::announce()
{
    const qsizetype first = m_clips.size();
    m_engine.setSiblingRequest(true); // the end answers the sibling instead of waiting a second
    m_engine.run();
    const bool ended = QTest::qWaitFor([&] { return !m_engine.busy() && !m_engine.player().isPlaying(); }, 60000);
    std::vector<qint64> frames;
    if (!ended || m_host.status != QLatin1String("AURAVOX DONE"))
        return frames;
    for (const QString &clip : m_clips.mid(first))
        frames.push_back(samplesOf(m_engine.catalogue(), clip).size() / 2);
    return frames;
}

QByteArray AlsaStation::samplesPlayed() const
{
    QByteArray all;
    for (const QString &clip : m_clips)
        all += samplesOf(m_engine.catalogue(), clip);
    return all;
}

} // namespace auravox::test
