// The six weather sources in the headless program: auravox.ini read and
// written byte for byte with every source's keys, the METAR and APRS sources
// against a real HTTP server on 127.0.0.1, the APRS login that needs the
// desktop program, and the Monitor II on a pseudo-terminal.

#include "daemon/HeadlessStation.h"

#include "app/ConfigFile.h"
#include "common/Clock.h"
#include "engine/VolumeControl.h"
#include "internet/DownloadFile.h"
#include "platform/linux/MonitorSerialDriver.h"
#include "platform/linux/MonitorSimulator.h"
#include "support/FakeMonitorStation.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/LocalHttpServer.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

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

QByteArray fixture(const char *name)
{
    return readAll(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/config/") + QLatin1String(name));
}

// A headless station in a working folder of its own, on a manual clock.
struct Daemon
{
    explicit Daemon(const QByteArray &ini, MonitorStation *monitorStation = nullptr)
        : clock(QDateTime(QDate(2026, 12, 7), QTime(11, 0, 30)))
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
        previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        QFile f(ConfigFile::kFile);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        savedLimits = downloadLimits();
        setDownloadLimits({10'000, 4 * 1024 * 1024, 10});
        HeadlessDeps deps;
        deps.clock = &clock;
        deps.waveOutput = &wave;
        deps.serialLines = &lines;
        deps.monitorStation = monitorStation ? monitorStation : &monitor;
        deps.programPath = QStringLiteral("/usr/bin/auravoxd");
        deps.siblingLink = false;
        deps.releaseCheck = false;
        station = std::make_unique<HeadlessStation>(deps);
    }
    ~Daemon()
    {
        station.reset();
        setDownloadLimits(savedLimits);
        QDir::setCurrent(previous);
    }
    // The first tick: the load.
    void load() { station->announcer().tick(); }
    QString statusField() const
    {
        return station->stationWeb().status().value(QStringLiteral("statusField")).toString();
    }

    QTemporaryDir folder, home;
    QString previous;
    DownloadLimits savedLimits;
    ManualClock clock;
    FakeWaveOutput wave;
    FakeSerialLines lines;
    FakeMonitorStation monitor;
    std::unique_ptr<HeadlessStation> station;
};

QByteArray header()
{
    return "[AURAVOX V" AURAVOX_VERSION "]\r\n";
}

} // namespace

TEST(HeadlessSources, EveryKeyOfEverySourceIsReadAndWrittenBackByteForByte)
{
    // The file the desktop program saves with every key set, sources included.
    const QByteArray every = fixture("every_key.ini");
    ASSERT_FALSE(every.isEmpty());
    Daemon d(every);
    d.lines.ports << QStringLiteral("COM2");
    d.station->serialPort().discoverPorts();
    d.wave.setVolume(1, Volume::forPosition(3, 20));
    d.load();
    EXPECT_EQ(d.station->monitor().port(), 3);
    EXPECT_TRUE(d.station->monitor().hourlyLog());
    EXPECT_EQ(d.station->aprs().rawWind(), AprsWindUnit::Kmh);
    EXPECT_EQ(d.station->aprs().loginId(), QStringLiteral("f4abc"));
    EXPECT_EQ(d.station->metar().pressureOffset(), -1);
    EXPECT_EQ(d.station->favourites(SourceKind::Metar).entry(3),
              QStringLiteral("http://www.ogimet.com/cgi-bin/getmetar?icao=LFPO //Orly"));
    ASSERT_TRUE(d.station->save());
    const QByteArray saved = readAll(ConfigFile::kFile);
    EXPECT_EQ(QString::fromLatin1(saved).toStdString(), QString::fromLatin1(every).toStdString());

    // And again from what it wrote: nothing moves.
    Daemon again(saved);
    again.lines.ports << QStringLiteral("COM2");
    again.station->serialPort().discoverPorts();
    again.wave.setVolume(1, Volume::forPosition(3, 20));
    again.load();
    ASSERT_TRUE(again.station->save());
    EXPECT_EQ(readAll(ConfigFile::kFile), saved);
}

TEST(HeadlessSources, TheChosenMetarSourceFetchesAfterTheLoadAndIsSpokenFrom)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.route(
        "/ogimet/getmetar",
        HttpResponse::text("<html><pre><b>LFPG 071030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG=</b></pre></html>", 200,
                           "text/html"));
    const QByteArray address = server.url(QStringLiteral("/ogimet/getmetar?icao=LFPG")).toUtf8() + " //Paris CDG";
    Daemon d(header() + "METEO=METAR\r\nMETAR_TEMPEXT=Y\r\nMETAR_DAT=" + address + "\r\n");
    QSignalSpy ended(&d.station->metar(), &MetarSource::fetchEnded);
    d.load();
    EXPECT_EQ(server.hits("/ogimet/getmetar"), 0) << "no download inside the load";
    EXPECT_EQ(d.station->sourceChoice().chosen(), SourceKind::Metar);
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(ended.first().at(0).toInt(), 0);
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::Metar);
    EXPECT_DOUBLE_EQ(d.station->metar().snapshot().outdoorTemp, 12);
    EXPECT_TRUE(d.station->metar().selection().has(WeatherItem::OutdoorTemp));
    EXPECT_EQ(readAll(QStringLiteral("metar_web.txt")),
              QByteArray("LFPG 071030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG=\r\n"));
    EXPECT_TRUE(d.station->metar().timer()->isActive());

    // A failed refresh leaves the weather out, without a window to say so.
    server.route("/ogimet/getmetar", HttpResponse::text("gone", 404));
    d.station->metar().refresh();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(d.station->metar().errorLine(), QStringLiteral("File error #1"));
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::None);
    ASSERT_TRUE(d.station->save());
    EXPECT_TRUE(readAll(ConfigFile::kFile).contains("METAR_DAT=" + address + "\r\nMETAR_LIST=" + address + "\r\n"))
        << "the entry and its history, in the desktop's order";
}

TEST(HeadlessSources, AnAprsPageThatNeedsTheLoginSaysItNeedsTheDesktopProgram)
{
    LogCapture log;
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    server.route("/info", HttpResponse::text("<html><p>please log in</p></html>", 200, "text/html"));
    const QByteArray address = server.url(QStringLiteral("/info?via=aprs.fi")).toUtf8();
    Daemon d(header() + "METEO=APRS\r\nAPRS_VITVENT=Y\r\nAPRS_DAT=" + address + "\r\n");
    QSignalSpy ended(&d.station->aprs(), &AprsSource::fetchEnded);
    d.load();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(d.station->aprs().errorLine(), QStringLiteral("File error #6"));
    EXPECT_EQ(d.station->statusText(), HeadlessStation::kLoginNeedsDesktop);
    EXPECT_EQ(d.statusField(), HeadlessStation::kLoginNeedsDesktop) << "the page shows it";
    EXPECT_EQ(log.matching({"needs the desktop program"}).size(), 1) << log.lines.join('\n').toStdString();

    // The page comes with its packet (logged in from the desktop): the source is back.
    server.route("/info", HttpResponse::text("<html>\n<span class='raw_line'>F4ABC-13&gt;APRS:@071030z4851.23N/"
                                             "00221.45E_240/012g020t054r000p010P000h77b10130</span>\n</html>\n",
                                             200, "text/html"));
    d.station->aprs().refresh();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_TRUE(d.station->aprs().errorLine().isEmpty());
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::Aprs);
    EXPECT_NEAR(d.station->aprs().snapshot().windSpeed, 12 * 1.609344, 1e-6);
    EXPECT_EQ(log.matching({"needs the desktop program"}).size(), 1) << "said once";
}

TEST(HeadlessSources, TheMonitorOnAPseudoTerminalIsReadAtTheLoadAndDeferredByAnAnnouncement)
{
    MonitorSimulator sim;
    ASSERT_TRUE(sim.isRunning());
    LoopPacket p = sim.packet();
    p.outsideTempTenthsF = 590; // 15 C
    sim.setPacket(p);
    const QString path = sim.slavePath();
    MonitorSerialDriver driver([path](int port) { return port == 1 ? path : QString(); });
    driver.setReplyTimeoutMs(200);
    Daemon d(header() + "METEO=MON\r\nTEMPEXT=Y\r\nMETPERI=2\r\nMETCOMM=1\r\n", &driver);
    d.load();
    MonitorSource &monitor = d.station->monitor();
    ASSERT_TRUE(monitor.isReady()) << monitor.statusLine().toStdString();
    EXPECT_EQ(d.station->sourceChoice().activeSource(), SourceKind::MonitorII);
    EXPECT_NEAR(monitor.snapshot().outdoorTemp, 15, 1e-9);
    EXPECT_EQ(monitor.timer()->interval(), 2 * 60000);

    // A reading that falls during an announcement waits for its end.
    d.wave.autoComplete = false;
    d.station->announcer().run();
    ASSERT_TRUE(d.station->announcer().busy());
    p.outsideTempTenthsF = 680; // 20 C
    sim.setPacket(p);
    monitor.timerTick();
    EXPECT_TRUE(monitor.deferred());
    EXPECT_NEAR(monitor.snapshot().outdoorTemp, 15, 1e-9);
    d.wave.autoComplete = true;
    for (int i = 0; i < 1000 && d.station->announcer().busy(); ++i) {
        d.wave.completeNext();
        QCoreApplication::processEvents();
        d.clock.advanceMs(100);
    }
    ASSERT_FALSE(d.station->announcer().busy());
    EXPECT_FALSE(monitor.deferred());
    EXPECT_NEAR(monitor.snapshot().outdoorTemp, 20, 1e-9) << "read right after the announcement";
}
