// The Davis Weather Monitor II window on a scripted station library: the port
// choice, the readings in both unit systems, the gust of the last ten winds,
// the reading deferred by an announcement, the hourly log line and the start-up
// path of the configuration.

#include "platform/linux/MonitorSerialDriver.h"
#include "platform/linux/MonitorSimulator.h"
#include "support/Lists.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kStart(QDate(2026, 3, 1), QTime(13, 59, 58));

QString caption(TFormMeteo &w, WeatherItem item)
{
    return w.itemBox(item)->text();
}

bool red(QWidget *w)
{
    return w->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

// The user picks `entry` in the port list.
void pickPort(TFormMeteo &w, const char *entry)
{
    click(w.findChild<QPushButton *>(QStringLiteral("ButtonPort")));
    ASSERT_TRUE(w.portListBox()->isVisibleTo(&w));
    const auto found = w.portListBox()->findItems(QLatin1String(entry), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry;
    w.ListBoxPortClick(found.first()->text());
}

} // namespace

TEST(MonitorWindow, PortChoiceOpensTheStationAndReadsAtOnce)
{
    MainWindowHarness h(kStart);
    TFormMeteo &w = h.windows().formMeteo();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Davis Monitor II weather station"));
    EXPECT_FALSE(w.isReady());

    // Port 0: a timer event does nothing and leaves the timer off.
    w.TimerMeteoTimer();
    EXPECT_TRUE(h.station().calls.isEmpty());
    EXPECT_FALSE(w.timer()->isActive());

    h.station().insideF = 50;  // 10.0 C
    h.station().outsideF = 23; // -5.0 C
    h.station().barometerInHg = 29.92;
    h.station().trend = 2;
    h.station().windMph = 10;
    h.station().direction = 0x7123; // bits 12-14 are dropped
    pickPort(w, "COM2");
    EXPECT_EQ(h.station().calls.first(), QStringLiteral("CloseCommPort"));
    EXPECT_EQ(h.station().calls.at(1), QStringLiteral("OpenCommPort 2 2400"));
    EXPECT_TRUE(w.isReady());
    EXPECT_EQ(w.findChild<QPushButton *>(QStringLiteral("ButtonPort"))->text(), QStringLiteral("COM=2"));
    EXPECT_EQ(w.findChild<QLabel *>(QStringLiteral("LabelVersion"))->text(), QStringLiteral("Driver version: 2.500"));
    EXPECT_EQ(caption(w, WeatherItem::IndoorTemp), QStringLiteral("Indoor T (\u00b0C)= 10.0"));
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = -5.0"));
    EXPECT_EQ(caption(w, WeatherItem::Pressure), QStringLiteral("Atm. P (mBar) = 1013.2"));
    EXPECT_EQ(caption(w, WeatherItem::PressureTrend), QStringLiteral("trend : falling"));
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 16"));
    EXPECT_EQ(caption(w, WeatherItem::WindDirection), QStringLiteral("Direction (\u00b0) = 291"));
    EXPECT_EQ(w.snapshot().windDirection, 0x123);
    EXPECT_EQ(w.statusText(), QStringLiteral("Reading Weather Monitor completed ( 13:59:58 )"));
    EXPECT_EQ(w.timer()->interval(), 60000);
    EXPECT_TRUE(w.timer()->isActive());

    // A port that will not open.
    h.station().openResult = 0;
    pickPort(w, "COM10");
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(w.statusText(), QStringLiteral("COM port error"));
    EXPECT_FALSE(w.timer()->isActive());

    // "No COM" hides the window and leaves the source not ready.
    h.station().openResult = 1;
    pickPort(w, "COM1");
    w.show();
    pickPort(w, "No COM");
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(w.port(), 0);
}

TEST(MonitorWindow, FahrenheitAndInchesAreStoredAsTheStationGivesThem)
{
    MainWindowHarness h(kStart);
    for (const char *name : {"RadioButtonTf", "RadioButtonPi", "RadioButtonVm"})
        click(h.windows().formMyUnits().findChild<QRadioButton *>(QLatin1String(name)));
    TFormMeteo &w = h.windows().formMeteo();
    h.station().insideF = 71.5;
    h.station().barometerInHg = 30.12;
    h.station().windMph = 12;
    pickPort(w, "COM1");
    EXPECT_DOUBLE_EQ(w.snapshot().indoorTemp, 71.5);
    EXPECT_DOUBLE_EQ(w.snapshot().pressure, 30.12);
    EXPECT_DOUBLE_EQ(w.snapshot().windSpeed, 12);
    EXPECT_EQ(caption(w, WeatherItem::Pressure), QStringLiteral("Atm. P (inHg) = 30.12"));
    w.show();
    EXPECT_EQ(caption(w, WeatherItem::WindGust), QStringLiteral("Gust (mph) = 12"));
}

TEST(MonitorWindow, TheGustIsTheHighestOfTheLastTenPlausibleWinds)
{
    MainWindowHarness h(kStart);
    TFormMeteo &w = h.windows().formMeteo();
    // mph that make 10, 30 and 20 km/h.
    const double k = 1.609344;
    h.station().windSequence = {10 / k, 30 / k, 20 / k};
    pickPort(w, "COM1");
    w.TimerMeteoTimer();
    w.TimerMeteoTimer();
    EXPECT_NEAR(w.snapshot().windGust, 30, 1e-9);

    h.station().windMph = 250 / k; // out of limits: red, kept out of the gust
    w.TimerMeteoTimer();
    EXPECT_TRUE(red(w.itemBox(WeatherItem::WindSpeed)));
    EXPECT_NEAR(w.snapshot().windGust, 30, 1e-9);

    h.station().windMph = 5 / k;
    for (int i = 0; i < 10; ++i)
        w.TimerMeteoTimer();
    EXPECT_FALSE(red(w.itemBox(WeatherItem::WindSpeed)));
    EXPECT_NEAR(w.snapshot().windGust, 5, 1e-9);
    EXPECT_EQ(caption(w, WeatherItem::WindGust), QStringLiteral("Gust (km/h) = 5"));
}

TEST(MonitorWindow, AnAbsentStationIsLookedForEverySecondUntilItAnswers)
{
    MainWindowHarness h(kStart);
    TFormMeteo &w = h.windows().formMeteo();
    h.station().insideF = MonitorStation::kNoReading;
    pickPort(w, "COM1");
    EXPECT_FALSE(w.isReady());
    EXPECT_EQ(w.statusText(), QStringLiteral("Weather Monitor error"));
    EXPECT_TRUE(w.timer()->isActive()) << "the timer goes on";
    EXPECT_EQ(h.station().calls.filter(QStringLiteral("GetOutsideTemp")).size(), 0);

    h.station().insideF = 68;
    w.TimerMeteoTimer();
    EXPECT_TRUE(w.isReady());
}

TEST(MonitorWindow, AReadingDuringAnAnnouncementWaitsForItsEnd)
{
    MainWindowHarness h(kStart);
    TFormMeteo &w = h.windows().formMeteo();
    pickPort(w, "COM1");
    const int before = h.station().readingCalls();

    h.wave().autoComplete = false;
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    w.TimerMeteoTimer();
    EXPECT_EQ(h.station().readingCalls(), before) << "no library call while the announcement plays";
    EXPECT_TRUE(w.deferred());
    EXPECT_FALSE(w.timer()->isActive());

    h.wave().autoComplete = true;
    while (h.wave().completeNext())
        h.pump();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_FALSE(w.deferred());
    EXPECT_GT(h.station().readingCalls(), before) << "read right after the announcement";
    EXPECT_TRUE(w.timer()->isActive());
}

TEST(MonitorWindow, OneLogLineAnHourWithItsWindows1252Accent)
{
    MainWindowHarness h(kStart);
    TFormMeteo &w = h.windows().formMeteo();
    click(h.windows().formChoixMeteo().radioButton(SourceKind::MonitorII));
    click(w.findChild<QCheckBox *>(QStringLiteral("CheckBoxlog")));
    h.station().insideF = 12.4 * 9 / 5 + 32;
    h.station().outsideF = 15.6 * 9 / 5 + 32;
    h.station().barometerInHg = 1013.2 * 0.02953;
    h.station().windSequence = {20.2 / 1.609344, 10.5 / 1.609344};
    h.station().direction = 225;
    pickPort(w, "COM1");
    w.TimerMeteoTimer();

    for (int i = 0; i < 4; ++i) // 13:59:59 to 14:00:02
        h.tick();
    const QByteArray log = readFile(h.folder() + QStringLiteral("/auravox.log"));
    const QByteArray line = "M\xe9t\xe9o MonII Tint=12 Text=16 Patm=1013 Vent=10 Rafale=20 Direction=225";
    EXPECT_EQ(log.count(line), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(" 14:00:00 " + line) || log.contains(" 14:00 " + line)) << log.toStdString();

    // Off when the box is unticked, or when another source is chosen.
    click(w.findChild<QCheckBox *>(QStringLiteral("CheckBoxlog")));
    h.tickAt(QDateTime(kStart.date(), QTime(15, 0, 0)));
    EXPECT_EQ(readFile(h.folder() + QStringLiteral("/auravox.log")).count("MonII"), 1);
}

TEST(MonitorWindow, StartUpOpensTheSavedPortAndItsKeysSurvive)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")),
                          "[AURAVOX V2.2.3]\r\nMETEO=MON\r\nTEMPEXT=Y\r\nLOG=Y\r\nMETPERI=5\r\nMETCOMM=10\r\n"));
    {
        MainWindowHarness h(kStart, true, nullptr, dir.path());
        TFormMeteo &w = h.windows().formMeteo();
        EXPECT_TRUE(h.station().calls.contains(QStringLiteral("OpenCommPort 10 2400")));
        EXPECT_TRUE(w.isReady());
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(w.portListBox()->isVisibleTo(&w)) << "filled without popping up";
        EXPECT_EQ(w.timer()->interval(), 5 * 60000);
        EXPECT_EQ(h.windows().formChoixMeteo().activeSource(), SourceKind::MonitorII);
        ASSERT_TRUE(h.form().SaveConfiguration());
        EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("auravox.ini")))
                        .contains("METEO=MON\r\nTEMPEXT=Y\r\nLOG=Y\r\nMETPERI=5\r\nMETCOMM=10\r\n"));
    }
    // A saved port that is gone ends as "No COM", the window hidden.
    QFile::remove(dir.filePath(QStringLiteral("auravox.ini"))); // saved read-only
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")),
                          "[AURAVOX V2.2.3]\r\nMETEO=MON\r\nMETCOMM=7\r\n"));
    MainWindowHarness h(kStart, true, nullptr, dir.path());
    EXPECT_FALSE(h.station().calls.contains(QStringLiteral("OpenCommPort 7 2400")));
    EXPECT_EQ(h.windows().formMeteo().port(), 0);
    EXPECT_FALSE(h.windows().formMeteo().isVisible());
    EXPECT_EQ(h.windows().formChoixMeteo().activeSource(), SourceKind::None);
}

TEST(MonitorWindow, AStationWhoseLineHungUpIsSpokenAgainWhenItComesBack)
{
    // The station's adapter as udev names it: a link the test points at one
    // pseudo-terminal after another.
    QTemporaryDir dev;
    const QByteArray link = QFile::encodeName(dev.filePath(QStringLiteral("ttyUSB0")));
    auto pointAt = [&link](const QString &pty) {
        ::unlink(link.constData());
        return ::symlink(QFile::encodeName(pty).constData(), link.constData()) == 0;
    };
    auto sim = std::make_unique<MonitorSimulator>();
    ASSERT_TRUE(sim->isRunning());
    ASSERT_TRUE(pointAt(sim->slavePath()));
    MonitorSerialDriver driver([&link](int port) { return port == 1 ? QFile::decodeName(link) : QString(); });
    driver.setReplyTimeoutMs(200);

    MainWindowHarness h(kStart, true, nullptr, QString(), false,
                        [&driver](AppDeps &deps) { deps.monitorStation = &driver; });
    TFormMeteo &w = h.windows().formMeteo();
    click(h.find<QCheckBox>("CheckBoxDate"));
    click(h.find<QCheckBox>("CheckBoxHeure"));
    click(w.itemBox(WeatherItem::OutdoorTemp));
    pickPort(w, "COM1");
    click(h.windows().formChoixMeteo().radioButton(SourceKind::MonitorII));
    ASSERT_TRUE(w.isReady()) << w.statusText().toStdString();
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON10", "SON_DEGREES"})) << "50 F";

    // Unplugged in the middle of a packet: the weather drops out.
    sim->hangUpInNextPacket(9);
    w.TimerMeteoTimer();
    EXPECT_TRUE(sim->hungUp());
    EXPECT_EQ(w.statusText(), QStringLiteral("Weather Monitor error"));
    EXPECT_FALSE(w.isReady());
    EXPECT_TRUE(w.timer()->isActive()) << "the timer goes on looking for it";
    EXPECT_TRUE(h.announce().isEmpty());
    sim.reset();
    w.TimerMeteoTimer();
    EXPECT_FALSE(w.isReady()) << "nothing at the path yet";

    // Plugged in again: a new terminal at the same path, found by the next
    // reading without the user picking the port again.
    sim = std::make_unique<MonitorSimulator>();
    ASSERT_TRUE(sim->isRunning());
    LoopPacket p = sim->packet();
    p.outsideTempTenthsF = 590; // 15 C
    sim->setPacket(p);
    ASSERT_TRUE(pointAt(sim->slavePath()));
    ASSERT_TRUE(w.timer()->isActive());
    w.TimerMeteoTimer();
    EXPECT_TRUE(w.isReady()) << w.statusText().toStdString();
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON15", "SON_DEGREES"}));
}
