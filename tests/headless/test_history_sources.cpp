// The history file sources and the source choice as a station without a
// screen runs them: a QCoreApplication, no window, the sources' own timers.

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "common/DateTime.h"
#include "stations/HistorySource.h"
#include "stations/Ws23History.h"
#include "support/HistoryFolder.h"
#include "support/StationFiles.h"
#include "weather/SourceChoice.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

// What the sources share, with a count of the error beeps.
struct Rig
{
    Rig() : clock(QDateTime(QDate(2026, 3, 1), QTime(10, 5))), context(clock)
    {
        context.units = &units;
        context.limits = &limits;
        context.beep = [this] { ++beeps; };
    }
    ManualClock clock;
    UnitSettings units;
    PlausibilityLimits limits;
    SourceContext context;
    int beeps = 0;
};

QString fixture(const char *name)
{
    return QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/") + QLatin1String(name);
}

std::vector<Ws23Row> rows(int n)
{
    std::vector<Ws23Row> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<size_t>(i)].stamp += static_cast<quint32>(i * 600);
    return v;
}

} // namespace

TEST(HistorySources, RunWithoutAnyWindow)
{
    ASSERT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
}

TEST(HistorySources, Ws23ReadsARealHistoryFileAndShowsWhatItRead)
{
    Rig rig;
    Ws23Source source(rig.context);
    QSignalSpy shown(&source, &WeatherSource::displayed);
    source.setDataPath(fixture("ws2300-history.dat"));
    source.setItemSelected(WeatherItem::OutdoorTemp, true);
    source.setItemSelected(WeatherItem::Pressure, true);
    EXPECT_TRUE(source.isReady());

    source.refresh();
    EXPECT_EQ(source.errorLine(), QString());
    EXPECT_EQ(DateTimeUtil::fromDays(source.snapshot().readingTime).date(), QDate(2013, 4, 27));
    EXPECT_TRUE(source.timer()->isActive()) << "the timer runs again after a reading";
    EXPECT_EQ(source.timer()->interval(), 60000);
    ASSERT_EQ(shown.size(), 2) << "the units' labels, then the reading";
    const auto units = shown.at(0).at(0).value<SourceDisplay>();
    EXPECT_EQ(units.pressureAdjustUnit, QStringLiteral("mBars"));
    EXPECT_EQ(units.trendUnit, QStringLiteral("0.1*mB/h"));
    const auto reading = shown.at(1).at(0).value<SourceDisplay>();
    ASSERT_TRUE(reading.dateTime.has_value());
    EXPECT_FALSE(reading.dateTime->isEmpty());
    // The last rows have no outdoor sensor (81.1 C): shown red.
    EXPECT_TRUE(reading.outdoorTemp.red);
    EXPECT_TRUE(source.selection().has(WeatherItem::OutdoorTemp));
    EXPECT_FALSE(source.selection().has(WeatherItem::WindSpeed));
    EXPECT_EQ(rig.beeps, 0);
}

TEST(HistorySources, TheRefreshTimerReadsTheFileAgainOnTheEventLoop)
{
    Rig rig;
    HistoryFolder<Ws23Row> folder;
    const QString path = folder.write(rows(3));
    Ws23Source source(rig.context);
    source.setDataPath(path);
    source.refresh();
    const double first = source.snapshot().readingTime;
    ASSERT_GT(first, 0);

    source.setRefreshMinutes(5);
    EXPECT_EQ(source.timer()->interval(), 5 * 60000) << "a new period applies at once";
    source.setRefreshMinutes(99);
    EXPECT_EQ(source.refreshMinutes(), 60) << "brought into 1..60";

    // The station writes a fourth record; the timer (made immediate here)
    // reads it from the event loop.
    folder.write(rows(4));
    source.timer()->setInterval(0);
    QSignalSpy shown(&source, &WeatherSource::displayed);
    while (source.snapshot().readingTime <= first)
        ASSERT_TRUE(shown.wait()) << "no reading from the timer";
    EXPECT_NEAR(source.snapshot().readingTime - first, 600.0 / 86400, 1e-6);
    EXPECT_TRUE(source.timer()->isActive());
}

TEST(HistorySources, FileErrorsAndAChosenFile)
{
    Rig rig;
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("history.dat"));
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a record");
    }
    Ws23Source source(rig.context);
    QSignalSpy errors(&source, &WeatherSource::errorLineShown);
    source.setDataPath(broken);
    source.refresh();
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error"));
    EXPECT_EQ(rig.beeps, 1);
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.last().at(0).toString(), QStringLiteral("File error"));

    // A La Crosse reader keeps its error until another file is chosen.
    HistoryFolder<Ws23Row> folder;
    const QString good = folder.write(rows(2));
    EXPECT_TRUE(source.chooseFile(good));
    EXPECT_EQ(source.errorLine(), QString());
    EXPECT_EQ(source.dataPath(), good);
    EXPECT_GT(source.snapshot().readingTime, 0) << "a reading at once";

    EXPECT_FALSE(source.chooseFile(dir.filePath(QStringLiteral("gone.dat"))));
    EXPECT_EQ(source.dataPath(), QString());
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error"));
    EXPECT_FALSE(source.isReady());
    EXPECT_EQ(rig.beeps, 2);
}

TEST(HistorySources, SettingsLoadAndSaveAsTheFileKeepsThem)
{
    Rig rig;
    HistoryFolder<Ws23Row> folder;
    const QString path = folder.write(rows(2));
    Ws23Source ws23(rig.context);
    Ws28Source ws28(rig.context);
    Pro2Source pro2(rig.context);
    ConfigRegistry registry;
    ws23.declareConfig(registry, ConfigSection::Ws23);
    ws28.declareConfig(registry, ConfigSection::Ws28);
    pro2.declareConfig(registry, ConfigSection::Pro2);
    QSignalSpy changed(&ws23, &WeatherSource::settingsChanged);

    registry.apply({QStringLiteral("PRO2_NEW=N"), QStringLiteral("W23_SEUILTEN=12"), QStringLiteral("W23_DAT=") + path,
                    QStringLiteral("W23_METPERI=x"), QStringLiteral("W23_METPERI=5"), QStringLiteral("W23_POFFSET=-3"),
                    QStringLiteral("W23_VITVENT=Y"), QStringLiteral("W23_TEMPEXT=N"), QStringLiteral("W28_PABS=N"),
                    QStringLiteral("W28_SEUILTEN=20"), QStringLiteral("PRO2_DAT=/nowhere/2016-04.wlk")});
    EXPECT_EQ(ws23.trendThreshold(), 9) << "brought into 1..9";
    EXPECT_DOUBLE_EQ(rig.limits.trendThreshold, 0.9) << "the one shared threshold";
    EXPECT_EQ(ws23.refreshMinutes(), 5);
    EXPECT_EQ(ws23.pressureOffset(), -3);
    EXPECT_EQ(ws23.dataPath(), path);
    EXPECT_EQ(changed.size(), 4);
    EXPECT_FALSE(ws28.absolutePressure());
    EXPECT_EQ(ws28.trendThreshold(), 4) << "the WS-28xx keeps no threshold";
    EXPECT_FALSE(pro2.searchCurrentMonth());
    EXPECT_EQ(pro2.dataPath(), QString()) << "a missing file is not kept";
    EXPECT_EQ(pro2.errorLine(), QStringLiteral("File error"));
    EXPECT_EQ(ws23.timer()->isActive(), false) << "loading reads nothing";

    const QStringList expected{
        QStringLiteral("[h]"),
        QStringLiteral("W23_VITVENT=Y"),
        QStringLiteral("W23_METPERI=5"),
        QStringLiteral("W23_DAT=") + path,
        QStringLiteral("W23_POFFSET=-3"),
        QStringLiteral("W23_SEUILTEN=9"),
        QStringLiteral("W28_METPERI=1"),
        QStringLiteral("W28_PABS=N"),
        QStringLiteral("W28_POFFSET=0"),
        QStringLiteral("PRO2_METPERI=1"),
        QStringLiteral("PRO2_POFFSET=0"),
        QStringLiteral("PRO2_SEUILTEN=4"),
        QStringLiteral("PRO2_NEW=N"),
    };
    EXPECT_EQ(registry.lines(QStringLiteral("[h]")), expected);
}

TEST(SourceChoice, TheLoadedSourceIsChosenAfterTheLoadAndOnlyItsTimerRuns)
{
    Rig rig;
    HistoryFolder<Ws23Row> folder;
    const QString path = folder.write(rows(2));
    Ws23Source ws23(rig.context);
    Pro2Source pro2(rig.context);
    SourceChoice choice;
    choice.setSource(SourceKind::Ws23, &ws23);
    choice.setSource(SourceKind::Pro2, &pro2);
    ConfigRegistry registry;
    choice.declareConfig(registry);
    ws23.declareConfig(registry, ConfigSection::Ws23);
    QSignalSpy chosen(&choice, &SourceChoice::chosenChanged);
    pro2.timer()->start();

    registry.apply({QStringLiteral("METEO=W23"), QStringLiteral("W23_DAT=") + path});
    EXPECT_EQ(choice.chosen(), SourceKind::None) << "the choice waits for the end of the load";
    EXPECT_EQ(ws23.snapshot().readingTime, 0);
    choice.applyPendingSource();
    EXPECT_EQ(choice.chosen(), SourceKind::Ws23);
    EXPECT_EQ(chosen.size(), 1);
    EXPECT_GT(ws23.snapshot().readingTime, 0) << "choosing takes a reading";
    EXPECT_TRUE(ws23.timer()->isActive());
    EXPECT_FALSE(pro2.timer()->isActive()) << "only the chosen source's timer runs";
    EXPECT_EQ(choice.activeSource(), SourceKind::Ws23);
    EXPECT_EQ(registry.lines(QString()).value(1), QStringLiteral("METEO=W23"));

    choice.setChosen(SourceKind::Ws23);
    EXPECT_EQ(chosen.size(), 1) << "choosing the chosen one does nothing";
    ws23.setDataPath(QString());
    EXPECT_EQ(choice.activeSource(), SourceKind::None) << "chosen but not ready";

    choice.setChosen(SourceKind::None);
    EXPECT_FALSE(ws23.timer()->isActive());
    EXPECT_FALSE(registry.lines(QString()).join(QLatin1Char('\n')).contains(QLatin1String("METEO=")))
        << "no METEO= line for no source";

    // "MON" applies at once, even with no Monitor II source built.
    registry.apply({QStringLiteral("METEO=MON")});
    EXPECT_EQ(choice.chosen(), SourceKind::MonitorII);
    EXPECT_EQ(choice.activeSource(), SourceKind::None);
}
