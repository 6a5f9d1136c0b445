// The METAR source as a station without a screen runs it: a QCoreApplication,
// a real HTTP server on 127.0.0.1, and the event loop running on during the
// download.

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "internet/DownloadFile.h"
#include "internet/MetarSource.h"
#include "support/LocalHttpServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr auto kReport = "LFPG 071030Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG\r\n";

// A working folder of its own (the source writes its cache and summary files
// there), the server, and what the source needs.
class MetarSourceTest : public ::testing::Test
{
protected:
    MetarSourceTest() : clock(QDateTime(QDate(2026, 3, 7), QTime(10, 40))), context(clock)
    {
        context.units = &units;
        context.limits = &limits;
    }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(publicDir.isValid());
        ASSERT_TRUE(server.start());
        savedFolder = QDir::currentPath();
        QDir::setCurrent(dir.path());
        savedLimits = downloadLimits();
        setDownloadLimits({10'000, 4 * 1024 * 1024, 10});
    }
    void TearDown() override
    {
        setDownloadLimits(savedLimits);
        QDir::setCurrent(savedFolder);
    }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    static HttpResponse held()
    {
        HttpResponse r;
        r.neverAnswer = true;
        return r;
    }
    QString address() const { return server.url(QStringLiteral("/metar?icao=LFPG&ogimet=1")); }

    ManualClock clock;
    UnitSettings units;
    PlausibilityLimits limits;
    SourceContext context;
    QTemporaryDir dir, publicDir;
    LocalHttpServer server;
    QString savedFolder;
    DownloadLimits savedLimits;
};

} // namespace

TEST_F(MetarSourceTest, FetchesOnTheEventLoopThenDecodesAndWritesTheSummaries)
{
    context.publicFolder = publicDir.path();
    MetarSource source(context);
    source.setEntry(address());
    server.route("/metar", held());
    QSignalSpy ended(&source, &MetarSource::fetchEnded);
    QSignalSpy shown(&source, &WeatherSource::errorLineShown);

    source.select();
    ASSERT_TRUE(source.fetching()) << "select() returns while the page is on its way";
    EXPECT_EQ(source.shownErrorLine(), QStringLiteral("Downloading ..."));
    EXPECT_TRUE(source.errorLine().isEmpty()) << "progress is no error";
    EXPECT_FALSE(source.isReady()) << "no report yet";

    // Another timer fires while the server holds the page.
    int ticks = 0;
    bool answered = false;
    QTimer other;
    other.setInterval(5);
    QObject::connect(&other, &QTimer::timeout, [&] {
        // From the third tick on, once the request has come.
        if (++ticks >= 3 && !answered)
            answered = server.answerHeld("/metar", HttpResponse::text(kReport));
    });
    other.start();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(ended.at(0).at(0).toInt(), MetarError::None);
    EXPECT_FALSE(source.fetching());

    EXPECT_TRUE(source.isReady());
    EXPECT_EQ(source.dataPath(), MetarSource::kCacheFile);
    EXPECT_EQ(source.errorLine(), QString());
    EXPECT_EQ(source.shownErrorLine(), QString());
    EXPECT_DOUBLE_EQ(source.snapshot().outdoorTemp, 12);
    EXPECT_DOUBLE_EQ(source.snapshot().pressure, 1013);
    EXPECT_EQ(source.snapshot().windDirection, 240);
    EXPECT_EQ(source.history(), QStringList{address()});
    EXPECT_EQ(contents(MetarSource::kCacheFile), QByteArray(kReport));
    const QByteArray cw = contents(QStringLiteral("metar_cw.txt"));
    EXPECT_EQ(cw, QByteArray(" TEMP 12C = QNH 1013mBar = WS 19km/h = WCT 10C = HUM 77 \r\n"));
    EXPECT_TRUE(contents(QStringLiteral("metar_uiview.txt")).contains("\r\n240/012g...t054r000p...P...h77b10130\r\n"));
    EXPECT_EQ(contents(publicDir.filePath(QStringLiteral("metar_cw.txt"))), cw);
    EXPECT_EQ(contents(publicDir.filePath(QStringLiteral("metar_uiview.txt"))),
              contents(QStringLiteral("metar_uiview.txt")));
    EXPECT_TRUE(source.timer()->isActive()) << "the next cycle is due";
    EXPECT_EQ(server.hits("/metar"), 1);
}

TEST_F(MetarSourceTest, AFailedFetchShowsItsNumberAndKeepsTheSourceOutUntilOneSucceeds)
{
    MetarSource source(context);
    source.setEntry(address());
    server.route("/metar", HttpResponse::text("gone", 404));
    QSignalSpy ended(&source, &MetarSource::fetchEnded);

    source.takeReading();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorNumber(), MetarError::Download);
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #1"));
    EXPECT_FALSE(source.isReady());
    EXPECT_FALSE(QFile::exists(MetarSource::kCacheFile)) << "a failed download leaves no cache";
    EXPECT_TRUE(source.timer()->isActive()) << "it tries again next period";

    // A page that names no report for the airport.
    server.route("/metar", HttpResponse::text("<html><body>EGLL 071020Z 18005KT</body></html>", 200, "text/html"));
    source.timerTick();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #6"));

    // The page with the report: cut out of it, decoded, and the source is back.
    server.route("/metar",
                 HttpResponse::text("<html><pre>LFPG 071030Z 24010KT 12/08 Q1013</pre></html>", 200, "text/html"));
    source.timerTick();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorLine(), QString());
    EXPECT_TRUE(source.isReady());
    EXPECT_TRUE(contents(MetarSource::kCacheFile).startsWith("LFPG 071030Z 24010KT 12/08 Q1013"));
    EXPECT_DOUBLE_EQ(source.snapshot().outdoorTemp, 12);
}

TEST_F(MetarSourceTest, EnterFetchesAndTheCycleFollowsWithItsOwnDownload)
{
    MetarSource source(context);
    server.route("/metar", HttpResponse::text(kReport));
    QSignalSpy ended(&source, &MetarSource::fetchEnded);
    QSignalSpy displayed(&source, &WeatherSource::displayed);

    source.setEntry(QStringLiteral("/nowhere/report.txt"));
    source.enterAction();
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #0")) << "a file can only come from the configuration";
    EXPECT_EQ(server.hits("/metar"), 0);

    source.setEntry(address());
    source.enterAction();
    ASSERT_TRUE(ended.wait(5000));
    ASSERT_TRUE(ended.size() >= 2 || ended.wait(5000)) << "the refresh after Enter downloads again";
    EXPECT_EQ(server.hits("/metar"), 2);
    EXPECT_DOUBLE_EQ(source.snapshot().outdoorTemp, 12);
    ASSERT_FALSE(displayed.isEmpty());
    const auto last = displayed.last().at(0).value<SourceDisplay>();
    EXPECT_EQ(last.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = 12.0"));
    EXPECT_EQ(last.airportCode, QStringLiteral("Airport code = LFPG"));
}

TEST_F(MetarSourceTest, SettingsLoadAndSaveUnderTheWindowsKeys)
{
    MetarSource source(context);
    ConfigRegistry registry;
    source.declareConfig(registry, ConfigSection::Metar);
    QFile report(dir.filePath(QStringLiteral("report.txt")));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write(kReport);
    report.close();

    registry.apply({QStringLiteral("METAR_TU=1"), QStringLiteral("METAR_POFFSET=-2"),
                    QStringLiteral("METAR_METPERI=90"), QStringLiteral("METAR_LIST=http://a/1"),
                    QStringLiteral("METAR_LIST=http://b/2"), QStringLiteral("METAR_DAT=") + report.fileName(),
                    QStringLiteral("METAR_TEMPEXT=Y")});
    EXPECT_EQ(source.timeBase(), 1);
    EXPECT_EQ(source.pressureOffset(), -2);
    EXPECT_EQ(source.refreshMinutes(), 60) << "brought into 1..60";
    EXPECT_EQ(source.entry(), report.fileName());
    EXPECT_EQ(source.dataPath(), report.fileName()) << "an existing report file is read as it is";
    EXPECT_TRUE(source.isReady());
    EXPECT_FALSE(source.timer()->isActive()) << "loading reads nothing";

    const QStringList expected{
        QStringLiteral("[h]"),
        QStringLiteral("METAR_TEMPEXT=Y"),
        QStringLiteral("METAR_METPERI=60"),
        QStringLiteral("METAR_DAT=") + report.fileName(),
        QStringLiteral("METAR_LIST=http://a/1"),
        QStringLiteral("METAR_LIST=http://b/2"),
        QStringLiteral("METAR_POFFSET=-2"),
        QStringLiteral("METAR_TU=1"),
    };
    EXPECT_EQ(registry.lines(QStringLiteral("[h]")), expected);

    // A local report is decoded at once, without any download.
    source.select();
    EXPECT_DOUBLE_EQ(source.snapshot().outdoorTemp, 12);
    EXPECT_EQ(source.snapshot().pressureOffset, -2);

    MetarSource other(context);
    ConfigRegistry second;
    other.declareConfig(second, ConfigSection::Metar);
    second.apply({QStringLiteral("METAR_DAT=/nowhere/report.txt")});
    EXPECT_EQ(other.errorLine(), QStringLiteral("File error #6"));
    EXPECT_FALSE(other.isReady());
}

TEST(MetarSourceHistory, KeepsTenAndTheNewestTakesTheFirstRowWhenFull)
{
    ManualClock clock(QDateTime(QDate(2026, 3, 7), QTime(10, 40)));
    SourceContext context(clock);
    MetarSource source(context);
    for (int i = 1; i <= MetarSource::kHistorySize; ++i)
        source.addToHistory(QStringLiteral("http://x/%1").arg(i));
    source.addToHistory(QStringLiteral("http://x/3"));
    EXPECT_EQ(source.history().size(), MetarSource::kHistorySize) << "no duplicate";
    source.addToHistory(QStringLiteral("http://x/11"));
    EXPECT_EQ(source.history().first(), QStringLiteral("http://x/11"));
    EXPECT_EQ(source.history().last(), QStringLiteral("http://x/9"));
    EXPECT_EQ(source.history().size(), MetarSource::kHistorySize);
}
