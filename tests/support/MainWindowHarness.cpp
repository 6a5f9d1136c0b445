#include "support/MainWindowHarness.h"

#include "engine/WavLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace auravox::test {

MainWindowHarness::MainWindowHarness(const QDateTime &start, bool load, WaveOutput *output)
    : m_clock(start.addSecs(-1))
{
    m_folderPath = m_dir.path();
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_folderPath);
    MainWindowDeps deps;
    deps.clock = &m_clock;
    deps.waveOutput = output ? output : &m_wave;
    deps.prompts = &m_prompts;
    m_form = std::make_unique<TForm1>(deps);
    if (load) {
        tick();
        m_form->findChild<QTimer *>(QStringLiteral("TimerSeconde"))->stop();
    }
}

MainWindowHarness::~MainWindowHarness()
{
    m_form.reset();
    QDir::setCurrent(m_previousDir);
}

void MainWindowHarness::tick()
{
    m_clock.advanceSeconds(1);
    m_form->TimerSecondeTimer();
}

void MainWindowHarness::tickAt(const QDateTime &t)
{
    m_clock.setNow(t);
    m_form->TimerSecondeTimer();
}

void MainWindowHarness::pump()
{
    QCoreApplication::processEvents();
}

bool MainWindowHarness::runUntilIdle(int maxRounds)
{
    for (int i = 0; i < maxRounds; ++i) {
        if (!m_form->announcer().busy() && !m_form->player().isPlaying())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return false;
}

QStringList MainWindowHarness::identify(const QList<FakeWaveOutput::Session> &sessions, const ClipCatalogue &catalogue)
{
    QHash<QByteArray, QString> bySamples;
    for (const QString &name : catalogue.names()) {
        QByteArray wav = catalogue.wavData(name);
        QBuffer buffer(&wav);
        buffer.open(QIODevice::ReadOnly);
        LoadedClip clip;
        if (loadWav(buffer, clip) == ClipError::None)
            bySamples.insert(clip.samples, name);
    }
    QStringList names;
    for (const FakeWaveOutput::Session &s : sessions)
        names << bySamples.value(s.data, QStringLiteral("file:%1").arg(s.data.size()));
    return names;
}

QStringList MainWindowHarness::playedClips() const
{
    return identify(m_wave.sessions(), m_catalogue);
}

void MainWindowHarness::clickButton1()
{
    auto *button = find<QPushButton>("Button1");
    EXPECT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace auravox::test
