#include "support/MainWindowHarness.h"

#include "engine/WavLoader.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>

namespace auravox::test {

MainWindowHarness::MainWindowHarness(const QDateTime &start, bool load, WaveOutput *output, const QString &folder,
                                     bool siblingLink, const std::function<void(AppDeps &)> &adjust)
    : m_clock(start.addSecs(-1))
{
    m_folderPath = folder.isEmpty() ? m_dir.path() : folder;
    m_previousDir = QDir::currentPath();
    QDir::setCurrent(m_folderPath);
    // Start-at-login entries go to the test's folder, never the user's.
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toLocal8Bit());
    // A sibling link of its own, away from a real program and from other tests.
    static int instances = 0;
    m_siblingSuffix = QStringLiteral("test%1-%2").arg(QCoreApplication::applicationPid()).arg(++instances);
    qputenv("AURAVOX_SIBLING_SUFFIX", m_siblingSuffix.toLatin1());
    AppDeps deps;
    deps.main.clock = &m_clock;
    deps.main.waveOutput = output ? output : &m_wave;
    deps.main.prompts = &m_prompts;
    deps.main.programPath = QStringLiteral("/opt/auravox/auravox");
    deps.main.useTray = false;
    deps.serialLines = &m_serial;
    deps.monitorStation = &m_station;
    deps.siblingLink = siblingLink;
    QDir().mkpath(m_dir.path() + QStringLiteral("/public"));
    deps.publicFolder = m_dir.path() + QStringLiteral("/public");
    if (adjust)
        adjust(deps);
    m_windows = std::make_unique<AppWindows>(deps);
    if (load)
        this->load();
}

void MainWindowHarness::load()
{
    tick();
}

MainWindowHarness::~MainWindowHarness()
{
    m_windows.reset();
    SiblingChannel::removeObjects(Sibling::Names::withSuffix(m_siblingSuffix));
    QDir::setCurrent(m_previousDir);
}

void MainWindowHarness::tick()
{
    m_clock.advanceSeconds(1);
    runTick();
}

void MainWindowHarness::tickAt(const QDateTime &t)
{
    m_clock.setNow(t);
    runTick();
}

void MainWindowHarness::runTick()
{
    form().TimerSecondeTimer();
    // Only the test ticks: the timer the tick armed would fire on real time.
    form().findChild<QTimer *>(QStringLiteral("TimerSeconde"))->stop();
    // The announcement the tick decided on starts now, as the event loop would start it.
    QCoreApplication::sendPostedEvents(&form().announcer(), QEvent::MetaCall);
}

void MainWindowHarness::pump()
{
    QCoreApplication::processEvents();
}

bool MainWindowHarness::runUntilIdle(int maxRounds)
{
    auto idle = [this] { return !form().announcer().busy() && !form().player().isPlaying(); };
    for (int i = 0; i < maxRounds; ++i) {
        if (idle())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // A real sound device ends each clip only once it has been heard, on the
    // real clock: give it a minute.
    return QTest::qWaitFor(idle, 60000);
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

qint64 MainWindowHarness::clipLengthsMs(qsizetype from) const
{
    qint64 total = 0;
    for (qsizetype i = from; i < m_wave.sessions().size(); ++i) {
        const FakeWaveOutput::Session &s = m_wave.sessions().at(i);
        const qint64 frames = s.data.size() / std::max<qint64>(s.format.blockAlign, 1);
        const qint64 rate = std::max<qint64>(s.format.samplesPerSecond, 1);
        total += (frames * 1000 + rate - 1) / rate;
    }
    return total;
}

QStringList MainWindowHarness::playedClips() const
{
    return identify(m_wave.sessions(), m_catalogue);
}

QStringList MainWindowHarness::announce()
{
    const qsizetype before = m_wave.sessions().size();
    clickButton1();
    EXPECT_TRUE(runUntilIdle());
    return playedClips().mid(before);
}

void MainWindowHarness::clickButton1()
{
    auto *button = find<QPushButton>("Button1");
    EXPECT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

void MainWindowHarness::choosePort(const QString &name)
{
    com().show();
    auto *list = find<QListWidget>("ListBoxCOM");
    ASSERT_NE(list, nullptr);
    const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

void MainWindowHarness::setPeriod(int position)
{
    auto *updown = form().findChild<QWidget *>(QStringLiteral("UpDownPeriode"));
    ASSERT_NE(updown, nullptr);
    auto *up = updown->findChild<QToolButton *>(QStringLiteral("up"));
    auto *down = updown->findChild<QToolButton *>(QStringLiteral("down"));
    for (int i = 0; i < 6; ++i)
        QTest::mouseClick(down, Qt::LeftButton);
    for (int i = 0; i < position; ++i)
        QTest::mouseClick(up, Qt::LeftButton);
}

} // namespace auravox::test
