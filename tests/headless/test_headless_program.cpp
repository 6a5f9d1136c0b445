// The headless program's station (src/daemon/HeadlessStation) on a
// QCoreApplication: the first tick loads the configuration, the sources it
// has no logic for yet keep their keys and say so once, and the stop releases
// the transmitter and saves once.

#include "daemon/HeadlessStation.h"

#include "app/ConfigFile.h"
#include "common/Clock.h"
#include "peers/linux/SiblingLink.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace auravox;
using namespace auravox::test;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A headless station in a working folder of its own, on a manual clock.
struct Daemon
{
    explicit Daemon(const QByteArray &ini) : clock(QDateTime(QDate(2026, 3, 1), QTime(10, 5)))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        if (!ini.isEmpty()) {
            QFile f(ConfigFile::kFile);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        HeadlessDeps deps;
        deps.clock = &clock;
        deps.waveOutput = &wave;
        deps.serialLines = &lines;
        deps.programPath = QStringLiteral("/usr/bin/auravoxd");
        deps.siblingLink = false;
        deps.releaseCheck = false;
        station = std::make_unique<HeadlessStation>(deps);
    }
    ~Daemon()
    {
        station.reset();
        QDir::setCurrent(previous);
    }

    QTemporaryDir folder, home;
    QString previous;
    ManualClock clock;
    FakeWaveOutput wave;
    FakeSerialLines lines;
    std::unique_ptr<HeadlessStation> station;
};

const QByteArray kMonitorFile = "[AURAVOX V" AURAVOX_VERSION "]\r\nPERIOD=2\r\nMETEO=MON\r\nMETPERI=3\r\nMETCOMM=2\r\n"
                                "APRS_ID=F1ABC\r\nMETAR_METPERI=9\r\nCOM=1\r\nDTR=1\r\n";

} // namespace

TEST(HeadlessProgram, TheFirstTickLoadsTheFileOpensThePortAndKeepsTheKeysOfSourcesItCannotReadYet)
{
    LogCapture log;
    Daemon d(kMonitorFile);
    EXPECT_TRUE(d.station->startupPending());
    EXPECT_FALSE(d.station->save()) << "nothing is saved before the load";
    QSignalSpy loaded(d.station.get(), &HeadlessStation::loaded);
    d.station->announcer().tick();
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_FALSE(d.station->startupPending());
    EXPECT_EQ(d.station->announcer().scheduler().periodMinutes(), 10);
    EXPECT_TRUE(d.station->serialPort().isOpen()) << "COM=1 opens the port";
    EXPECT_EQ(d.station->sourceChoice().chosen(), SourceKind::MonitorII);
    EXPECT_FALSE(d.station->hasSource(SourceKind::MonitorII));
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::None) << "chosen, never ready";
    EXPECT_EQ(log.matching({"Davis Weather Monitor II", "not ready"}).size(), 1) << log.lines.join('\n').toStdString();
    const QJsonObject weather = d.station->stationWeb().status().value(QStringLiteral("weather")).toObject();
    EXPECT_EQ(weather.value(QStringLiteral("gate")).toString(),
              QStringLiteral("not ready: no file, address or station port"));

    // Choosing it again (the page) says nothing more; a history source is ready to choose.
    d.station->sourceChoice().setChosen(SourceKind::Ws23);
    d.station->sourceChoice().setChosen(SourceKind::MonitorII);
    EXPECT_EQ(log.matching({"Davis Weather Monitor II", "not ready"}).size(), 1);

    ASSERT_TRUE(d.station->save());
    const QByteArray saved = readAll(ConfigFile::kFile);
    EXPECT_TRUE(saved.contains("\r\nMETEO=MON\r\nMETPERI=3\r\nMETCOMM=2\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("\r\nAPRS_ID=F1ABC\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("\r\nMETAR_METPERI=9\r\n")) << saved.toStdString();
    EXPECT_LT(saved.indexOf("APRS_ID="), saved.indexOf("METAR_METPERI=")) << "each in its source's place";
    EXPECT_LT(saved.indexOf("METAR_METPERI="), saved.indexOf("PRO2_METPERI=")) << saved.toStdString();
    EXPECT_EQ(saved.count("METPERI=3"), 1);
}

TEST(HeadlessProgram, TheStopReleasesTheTransmitterAndSavesOnceButNotBeforeTheLoad)
{
    {
        Daemon early(kMonitorFile);
        QSignalSpy stopped(early.station.get(), &HeadlessStation::stopped);
        early.station->stop();
        early.station->stop();
        EXPECT_EQ(stopped.size(), 1);
        EXPECT_EQ(readAll(ConfigFile::kFile), kMonitorFile) << "stopped before the load: left byte for byte";
    }
    Daemon d(kMonitorFile);
    d.station->announcer().tick();
    ASSERT_TRUE(d.station->serialPort().isOpen());
    QFile::remove(ConfigFile::kFile);
    d.station->stop();
    EXPECT_FALSE(d.station->serialPort().isOpen()) << "the port goes on the way out";
    EXPECT_FALSE(d.lines.dtr);
    EXPECT_TRUE(readAll(ConfigFile::kFile).contains("\r\nPERIOD=2\r\n"));
    QFile::remove(ConfigFile::kFile);
    d.station->stop();
    EXPECT_FALSE(QFile::exists(ConfigFile::kFile)) << "once";
}

TEST(HeadlessProgram, AMessageAndTheLoginPageGoToTheStatusAndTheLog)
{
    LogCapture log;
    Daemon d{QByteArray()};
    d.station->announcer().tick();
    d.station->prompts().message(QStringLiteral("A more recent release"));
    EXPECT_EQ(d.station->statusText(), QStringLiteral("A more recent release"));
    EXPECT_EQ(log.matching({"message (no screen to show it): A more recent release"}).size(), 1);
    EXPECT_TRUE(d.station->prompts().openFileName(QStringLiteral("*.wav"), QString(), QString()).isEmpty());

    d.station->loginBrowserRequested();
    d.station->loginBrowserRequested();
    EXPECT_EQ(d.station->statusText(), HeadlessStation::kLoginNeedsDesktop);
    EXPECT_EQ(d.station->stationWeb().status().value(QStringLiteral("statusField")).toString(),
              HeadlessStation::kLoginNeedsDesktop);
    EXPECT_EQ(log.matching({"the login page's browser needs the desktop program"}).size(), 1) << "logged once";
}
