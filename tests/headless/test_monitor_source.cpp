// The Davis Weather Monitor II source without a window: the port choice, a
// reading value by value, the gust of the last ten plausible winds, the
// reading deferred by an announcement, the hourly log line, and the station
// on a pseudo-terminal through the real serial driver.

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "platform/linux/MonitorSerialDriver.h"
#include "platform/linux/MonitorSimulator.h"
#include "stations/MonitorSource.h"
#include "support/FakeMonitorStation.h"

#include <QFile>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr double kMph = 1.609344;

struct Rig
{
    explicit Rig(MonitorStation *st = nullptr) : clock(QDateTime(QDate(2026, 3, 1), QTime(13, 59, 58))), context(clock)
    {
        context.units = &units;
        context.limits = &limits;
        source = std::make_unique<MonitorSource>(st ? st : &station, context);
        MonitorHooks hooks;
        hooks.announcing = [this] { return announcing; };
        hooks.portList = [] {
            return QStringList{QStringLiteral("No COM"), QStringLiteral("COM1"), QStringLiteral("COM2")};
        };
        hooks.timeField = [] { return QStringLiteral(" 13:59:58"); };
        hooks.log = [this](const QString &line) { logged << line; };
        hooks.isChosenSource = [this] { return chosen; };
        source->setHooks(hooks);
    }

    ManualClock clock;
    UnitSettings units;
    PlausibilityLimits limits;
    SourceContext context;
    FakeMonitorStation station;
    std::unique_ptr<MonitorSource> source;
    bool announcing = false;
    bool chosen = true;
    QStringList logged;
};

} // namespace

TEST(MonitorSource, APortChoiceOpensTheStationAndReadsEveryValueAtOnce)
{
    Rig r;
    MonitorSource &s = *r.source;
    // Port 0: a tick does nothing and leaves the timer off.
    s.timerTick();
    EXPECT_TRUE(r.station.calls.isEmpty());
    EXPECT_FALSE(s.timer()->isActive());

    r.station.insideF = 50;
    r.station.outsideF = 23;
    r.station.barometerInHg = 29.92;
    r.station.trend = 2;
    r.station.windMph = 10;
    r.station.direction = 0x7123; // bits 12 to 14 are dropped
    QSignalSpy displayed(&s, &WeatherSource::displayed);
    QSignalSpy status(&s, &MonitorSource::statusLineShown);
    s.choosePortEntry(QStringLiteral("COM2"));
    EXPECT_EQ(r.station.calls.first(), QStringLiteral("CloseCommPort"));
    EXPECT_EQ(r.station.calls.at(1), QStringLiteral("OpenCommPort 2 2400"));
    EXPECT_TRUE(s.isReady());
    EXPECT_EQ(s.port(), 2);
    EXPECT_EQ(s.versionText(), QStringLiteral("Driver version: 2.500"));
    EXPECT_DOUBLE_EQ(s.snapshot().indoorTemp, 10);
    EXPECT_DOUBLE_EQ(s.snapshot().outdoorTemp, -5);
    EXPECT_NEAR(s.snapshot().pressure, 29.92 / 0.02953, 1e-9);
    EXPECT_EQ(s.snapshot().pressureTrend, 2);
    EXPECT_NEAR(s.snapshot().windSpeed, 10 * kMph, 1e-9);
    EXPECT_EQ(s.snapshot().windDirection, 0x123);
    // The captions come one by one, with the countdown between them.
    ASSERT_EQ(displayed.size(), 7);
    EXPECT_EQ(displayed.at(0).at(0).value<SourceDisplay>().indoorTemp.text, QStringLiteral("Indoor T (\u00b0C)= 10.0"));
    EXPECT_EQ(displayed.at(3).at(0).value<SourceDisplay>().trend.text, QStringLiteral("trend : falling"));
    EXPECT_EQ(displayed.at(6).at(0).value<SourceDisplay>().direction.text, QStringLiteral("Direction (\u00b0) = 291"));
    QStringList lines;
    for (const QList<QVariant> &args : status)
        lines << args.at(0).toString();
    EXPECT_EQ(
        lines,
        (QStringList{QStringLiteral("Reading Weather Monitor ... (6)"), QStringLiteral("Reading Weather Monitor (5)"),
                     QStringLiteral("Reading Weather Monitor (4)"), QStringLiteral("Reading Weather Monitor (3)"),
                     QStringLiteral("Reading Weather Monitor (2)"), QStringLiteral("Reading Weather Monitor (1)"),
                     QStringLiteral("Reading Weather Monitor completed ( 13:59:58 )")}));
    EXPECT_EQ(s.timer()->interval(), 60000);
    EXPECT_TRUE(s.timer()->isActive());

    // A port that will not open: no reading, no timer.
    r.station.openResult = 0;
    s.choosePortEntry(QStringLiteral("COM10"));
    EXPECT_FALSE(s.isReady());
    EXPECT_EQ(s.statusLine(), QStringLiteral("COM port error"));
    EXPECT_FALSE(s.timer()->isActive());

    // "No COM": not ready, port 0, and the window is told to hide.
    r.station.openResult = 1;
    QSignalSpy none(&s, &MonitorSource::noPortChosen);
    s.choosePortEntry(QStringLiteral("No COM"));
    EXPECT_EQ(none.size(), 1);
    EXPECT_EQ(s.port(), 0);
    EXPECT_FALSE(s.isReady());
}

TEST(MonitorSource, TheGustIsTheHighestOfTheLastTenPlausibleWindsAndAnAbsentStationIsLookedFor)
{
    Rig r;
    MonitorSource &s = *r.source;
    r.station.windSequence = {10 / kMph, 30 / kMph, 20 / kMph};
    s.choosePortEntry(QStringLiteral("COM1"));
    s.timerTick();
    s.timerTick();
    EXPECT_NEAR(s.snapshot().windGust, 30, 1e-9);

    QSignalSpy displayed(&s, &WeatherSource::displayed);
    r.station.windMph = 250 / kMph; // out of limits: red and kept out of the gust
    s.timerTick();
    bool windRed = false;
    for (const QList<QVariant> &args : displayed) {
        const SourceDisplay d = args.at(0).value<SourceDisplay>();
        if (!d.wind.text.isEmpty())
            windRed = d.wind.red;
    }
    EXPECT_TRUE(windRed);
    EXPECT_NEAR(s.snapshot().windGust, 30, 1e-9);

    r.station.windMph = 5 / kMph;
    for (int i = 0; i < 10; ++i)
        s.timerTick();
    EXPECT_NEAR(s.snapshot().windGust, 5, 1e-9) << "the 30 has left the ten";

    // The station stops answering: not ready, and looked for again each period.
    r.station.insideF = MonitorStation::kNoReading;
    r.station.calls.clear();
    s.timerTick();
    EXPECT_FALSE(s.isReady());
    EXPECT_EQ(s.statusLine(), QStringLiteral("Weather Monitor error"));
    EXPECT_TRUE(s.timer()->isActive());
    EXPECT_FALSE(r.station.calls.contains(QStringLiteral("GetOutsideTemp")));
    r.station.insideF = 68;
    s.timerTick();
    EXPECT_TRUE(s.isReady());
}

TEST(MonitorSource, AReadingDuringAnAnnouncementWaitsForItsEnd)
{
    Rig r;
    MonitorSource &s = *r.source;
    s.choosePortEntry(QStringLiteral("COM1"));
    const int before = r.station.readingCalls();
    r.announcing = true;
    s.timerTick();
    EXPECT_EQ(r.station.readingCalls(), before) << "no library call while the announcement plays";
    EXPECT_TRUE(s.deferred());
    EXPECT_FALSE(s.timer()->isActive()) << "idle until the deferred reading";
    r.announcing = false;
    s.takeDeferredReading();
    EXPECT_FALSE(s.deferred());
    EXPECT_GT(r.station.readingCalls(), before);
    EXPECT_TRUE(s.timer()->isActive());
    const int after = r.station.readingCalls();
    s.takeDeferredReading();
    EXPECT_EQ(r.station.readingCalls(), after) << "nothing was deferred";
}

TEST(MonitorSource, OneLogLineAnHourWhenChosenTickedAndReady)
{
    Rig r;
    MonitorSource &s = *r.source;
    r.station.insideF = 12.4 * 9 / 5 + 32;
    r.station.outsideF = 15.6 * 9 / 5 + 32;
    r.station.barometerInHg = 1013.2 * 0.02953;
    r.station.windSequence = {20.2 / kMph, 10.5 / kMph};
    r.station.direction = 225;
    s.choosePortEntry(QStringLiteral("COM1"));
    s.timerTick();
    ClockFields f;
    f.hour = 14;
    f.minute = 0;
    s.topOfHour(f);
    EXPECT_TRUE(r.logged.isEmpty()) << "LOG= is off";
    s.setHourlyLog(true);
    s.topOfHour(f);
    s.topOfHour(f);
    EXPECT_EQ(r.logged, QStringList{QStringLiteral("M\u00e9t\u00e9o MonII Tint=12 Text=16 Patm=1013 Vent=10 Rafale=20 "
                                                   "Direction=225")});
    f.minute = 1;
    s.topOfHour(f);
    f.hour = 15;
    f.minute = 0;
    r.chosen = false;
    s.topOfHour(f);
    EXPECT_EQ(r.logged.size(), 1) << "only at minute 0, only while chosen";
}

TEST(MonitorSource, KeysAndTheConfiguredPortAtStartUp)
{
    Rig r;
    MonitorSource &s = *r.source;
    ConfigRegistry registry;
    s.declareConfig(registry, ConfigSection::MonitorII);
    registry.apply({QStringLiteral("TEMPEXT=Y"), QStringLiteral("LOG=Y"), QStringLiteral("METPERI=5"),
                    QStringLiteral("METCOMM=2"), QStringLiteral("W23_TEMPEXT=Y")});
    EXPECT_TRUE(r.station.calls.isEmpty()) << "the load opens nothing";
    EXPECT_EQ(s.port(), 2);
    EXPECT_TRUE(s.hourlyLog());
    EXPECT_EQ(registry.lines(QStringLiteral("[h]")),
              (QStringList{QStringLiteral("[h]"), QStringLiteral("TEMPEXT=Y"), QStringLiteral("LOG=Y"),
                           QStringLiteral("METPERI=5"), QStringLiteral("METCOMM=2")}));

    r.chosen = false;
    s.startUp();
    EXPECT_TRUE(r.station.calls.isEmpty()) << "another source is chosen";
    r.chosen = true;
    s.startUp();
    EXPECT_TRUE(r.station.calls.contains(QStringLiteral("OpenCommPort 2 2400")));
    EXPECT_TRUE(s.isReady());
    EXPECT_EQ(s.timer()->interval(), 5 * 60000);

    // A saved port the machine no longer has ends as "No COM".
    s.setPort(7);
    EXPECT_EQ(s.chooseConfiguredPort(), QStringLiteral("No COM"));
    EXPECT_EQ(s.port(), 0);
    EXPECT_FALSE(s.isReady());
}

TEST(MonitorSource, TheStationOnAPseudoTerminalThroughTheSerialDriver)
{
    auto sim = std::make_unique<MonitorSimulator>();
    ASSERT_TRUE(sim->isRunning());
    LoopPacket p = sim->packet();
    p.outsideTempTenthsF = 590; // 15 C
    sim->setPacket(p);
    const QString path = sim->slavePath();
    MonitorSerialDriver driver([path](int port) { return port == 1 ? path : QString(); });
    driver.setReplyTimeoutMs(200);
    Rig r(&driver);
    MonitorSource &s = *r.source;
    s.choosePortEntry(QStringLiteral("COM1"));
    ASSERT_TRUE(s.isReady()) << s.statusLine().toStdString();
    EXPECT_NEAR(s.snapshot().outdoorTemp, 15, 1e-9);

    // Unplugged in the middle of a packet: the source drops out, the timer goes on.
    sim->hangUpInNextPacket(9);
    s.timerTick();
    EXPECT_EQ(s.statusLine(), QStringLiteral("Weather Monitor error"));
    EXPECT_FALSE(s.isReady());
    EXPECT_TRUE(s.timer()->isActive());
}
