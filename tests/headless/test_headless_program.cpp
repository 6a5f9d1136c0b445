// The headless program's station (src/daemon/HeadlessStation) on a
// QCoreApplication: the first tick loads the configuration and opens the
// Monitor II station on its saved port, every source keeps its keys in its
// section, and the stop releases the transmitter and saves once.

#include "daemon/HeadlessStation.h"

#include "app/ConfigFile.h"
#include "common/Clock.h"
#include "peers/linux/SiblingLink.h"
#include "support/FakeMonitorStation.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        deps.monitorStation = &monitor;
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
    FakeMonitorStation monitor;
    std::unique_ptr<HeadlessStation> station;
};

const QByteArray kMonitorFile = "[AURAVOX V" AURAVOX_VERSION "]\r\nPERIOD=2\r\nMETEO=MON\r\nMETPERI=3\r\nMETCOMM=2\r\n"
                                "APRS_ID=F1ABC\r\nMETAR_METPERI=9\r\nCOM=1\r\nDTR=1\r\n";

} // namespace

TEST(HeadlessProgram, TheFirstTickLoadsTheFileOpensTheStationsPortAndKeepsEverySourcesKeysInPlace)
{
    LogCapture log;
    Daemon d(kMonitorFile);
    EXPECT_TRUE(d.station->startupPending());
    EXPECT_FALSE(d.station->save()) << "nothing is saved before the load";
    EXPECT_TRUE(d.monitor.calls.isEmpty()) << "no station call before the load";
    QSignalSpy loaded(d.station.get(), &HeadlessStation::loaded);
    d.station->announcer().tick();
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_FALSE(d.station->startupPending());
    EXPECT_EQ(d.station->announcer().scheduler().periodMinutes(), 10);
    EXPECT_TRUE(d.station->serialPort().isOpen()) << "COM=1 opens the port";
    EXPECT_EQ(d.station->sourceChoice().chosen(), SourceKind::MonitorII);
    EXPECT_TRUE(d.monitor.calls.contains(QStringLiteral("OpenCommPort 2 2400")))
        << d.monitor.calls.join(' ').toStdString();
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::MonitorII) << "read at the load";
    EXPECT_EQ(d.station->monitor().timer()->interval(), 3 * 60000);
    EXPECT_TRUE(d.station->monitor().timer()->isActive());
    EXPECT_EQ(d.station->monitor().statusLine(), QStringLiteral("Reading Weather Monitor completed ( 10:05:00 )"));
    EXPECT_TRUE(log.matching({"not ready"}).isEmpty()) << log.lines.join('\n').toStdString();
    const QJsonObject weather = d.station->stationWeb().status().value(QStringLiteral("weather")).toObject();
    EXPECT_NE(weather.value(QStringLiteral("gate")).toString(),
              QStringLiteral("not ready: no file, address or station port"));

    ASSERT_TRUE(d.station->save());
    const QByteArray saved = readAll(ConfigFile::kFile);
    EXPECT_TRUE(saved.contains("\r\nMETEO=MON\r\nMETPERI=3\r\nMETCOMM=2\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("\r\nAPRS_ID=F1ABC\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("\r\nMETAR_METPERI=9\r\n")) << saved.toStdString();
    EXPECT_LT(saved.indexOf("APRS_ID="), saved.indexOf("METAR_METPERI=")) << "each in its source's place";
    EXPECT_LT(saved.indexOf("METAR_METPERI="), saved.indexOf("PRO2_METPERI=")) << saved.toStdString();
    EXPECT_EQ(saved.count("METPERI=3"), 1);
}

TEST(HeadlessProgram, ASavedPortThatIsGoneLeavesTheMonitorUnreadAndNotReady)
{
    Daemon d("[AURAVOX V" AURAVOX_VERSION "]\r\nMETEO=MON\r\nMETCOMM=7\r\n");
    d.station->announcer().tick();
    EXPECT_FALSE(d.monitor.calls.contains(QStringLiteral("OpenCommPort 7 2400")));
    EXPECT_EQ(d.station->monitor().port(), 0) << "ends as No COM";
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::None);
    ASSERT_TRUE(d.station->save());
    EXPECT_TRUE(readAll(ConfigFile::kFile).contains("\r\nMETEO=MON\r\nMETPERI=1\r\nMETCOMM=0\r\n"));
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

// With no screen the journal is where an operator learns why the settings
// were not saved.
TEST(HeadlessProgram, ASaveThatFailsAtTheStopLogsWhyAndLeavesNoTemporaryFile)
{
    LogCapture log;
    Daemon d{QByteArray()};
    d.station->announcer().tick();
    ASSERT_TRUE(QDir().mkdir(ConfigFile::kFile)); // the file's name is taken by a folder
    d.station->stop();
    EXPECT_EQ(d.station->statusText(), QStringLiteral("Err: auravox.ini"));
    EXPECT_EQ(log.matching({"Err: auravox.ini (can't replace auravox.ini: Is a directory); "
                            "the file keeps the settings it had"}).size(), 1)
        << log.lines.join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(ConfigFile::kTempFile));
    EXPECT_TRUE(QFileInfo(ConfigFile::kFile).isDir());
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
