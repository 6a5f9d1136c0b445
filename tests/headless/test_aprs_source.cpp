// The APRS source as a station without a screen runs it: a QCoreApplication,
// a real HTTP server on 127.0.0.1 and the event loop running on during the
// download; local weather files, the raw units and the keys.

#include "common/Clock.h"
#include "common/ConfigRegistry.h"
#include "internet/AprsSource.h"
#include "internet/DownloadFile.h"
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

const QByteArray kPacket =
    "F4ABC-13&gt;APRS,TCPIP*,qAC:@071030z4851.23N/00221.45E_240/012g020t054r000p010P000h77b10130";

QByteArray page(const QByteArray &rawLines)
{
    return "<html>\n<span class='raw_line'>F4ABC-13&gt;APRS:&gt;old status</span>\n" + rawLines + "</html>\n";
}

class AprsSourceTest : public ::testing::Test
{
protected:
    AprsSourceTest() : clock(QDateTime(QDate(2026, 12, 7), QTime(11, 0, 30))), context(clock)
    {
        context.units = &units;
        context.limits = &limits;
        context.beep = [this] { ++beeps; };
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
    static bool write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    ManualClock clock;
    UnitSettings units;
    PlausibilityLimits limits;
    SourceContext context;
    int beeps = 0;
    QTemporaryDir dir, publicDir;
    LocalHttpServer server;
    QString savedFolder;
    DownloadLimits savedLimits;
};

} // namespace

TEST_F(AprsSourceTest, ThePageIsFetchedOnTheEventLoopAndItsLastRawLineDecoded)
{
    context.publicFolder = publicDir.path();
    AprsSource source(context);
    HttpResponse held;
    held.neverAnswer = true;
    server.route("/info", held);
    source.setEntry(server.url(QStringLiteral("/info")) + QStringLiteral(" //club"));
    QSignalSpy ended(&source, &AprsSource::fetchEnded);

    source.select();
    ASSERT_TRUE(source.fetching()) << "select() returns while the page is on its way";
    EXPECT_EQ(source.shownErrorLine(), QStringLiteral("Downloading"));
    EXPECT_FALSE(source.isReady());
    // Another timer runs while the server holds the page.
    int ticks = 0;
    bool answered = false;
    QTimer other;
    other.setInterval(5);
    QObject::connect(&other, &QTimer::timeout, [&] {
        // From the third tick on, once the request has come.
        if (++ticks >= 3 && !answered)
            answered = server.answerHeld(
                "/info", HttpResponse::text(page("<span class='raw_line'>" + kPacket + "</span>\n"), 200, "text/html"));
    });
    other.start();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(server.requests().first().target, QByteArray("/info")) << "the label is not sent";

    EXPECT_EQ(ended.at(0).at(0).toInt(), AprsError::None);
    EXPECT_TRUE(source.isReady());
    EXPECT_EQ(source.dataPath(), AprsSource::kCacheFile);
    EXPECT_TRUE(contents(AprsSource::kCacheFile).contains("_240/012g020t054")) << "the last raw line alone";
    EXPECT_FALSE(contents(AprsSource::kCacheFile).contains("<"));
    EXPECT_NEAR(source.snapshot().windSpeed, 12 * 1.609344, 1e-6);
    EXPECT_EQ(source.snapshot().windDirection, 240);
    EXPECT_NEAR(source.snapshot().outdoorTemp, (54 - 32) * 5.0 / 9, 1e-6);
    EXPECT_EQ(source.history().size(), 1);
    const QByteArray cw = contents(QStringLiteral("aprs_cw.txt"));
    EXPECT_TRUE(cw.endsWith("\r\n")) << cw.toStdString();
    EXPECT_EQ(contents(publicDir.filePath(QStringLiteral("aprs_cw.txt"))), cw);
    EXPECT_TRUE(source.timer()->isActive());
}

TEST_F(AprsSourceTest, APacketWithoutWeatherOrAPageWithoutPacketKeepsTheValuesAndAsksForTheLogin)
{
    AprsSource source(context);
    server.route("/info",
                 HttpResponse::text(page("<span class='raw_line'>" + kPacket + "</span>\n"), 200, "text/html"));
    server.route("/status", HttpResponse::text(page(""), 200, "text/html"));
    server.route("/nothing", HttpResponse::text("<html><p>please log in</p></html>", 200, "text/html"));
    QSignalSpy ended(&source, &AprsSource::fetchEnded);
    QSignalSpy login(&source, &AprsSource::loginBrowserNeeded);
    source.setEntry(server.url(QStringLiteral("/info")));
    source.takeReading();
    ASSERT_TRUE(ended.wait(5000));
    const double wind = source.snapshot().windSpeed;
    ASSERT_GT(wind, 0);

    source.setEntry(server.url(QStringLiteral("/status")));
    source.takeReading();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #7")) << "a status packet, no weather";
    EXPECT_DOUBLE_EQ(source.snapshot().windSpeed, wind) << "the values stay";
    EXPECT_FALSE(source.isReady());
    EXPECT_TRUE(login.isEmpty());

    // No raw line at all, on another site: only the number.
    source.setEntry(server.url(QStringLiteral("/nothing")));
    source.takeReading();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #6"));
    EXPECT_TRUE(login.isEmpty());
    EXPECT_TRUE(source.status().isEmpty());

    // The same on the map service: the user must log in first.
    source.setEntry(server.url(QStringLiteral("/nothing")) + QStringLiteral("?via=") + AprsSource::kServiceHost);
    source.enterAction();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(source.errorLine(), QStringLiteral("File error #6"));
    EXPECT_EQ(login.size(), 1);
    EXPECT_TRUE(source.status().contains(QStringLiteral("login"))) << source.status().toStdString();
    EXPECT_TRUE(source.timer()->isActive()) << "tried again a period later";

    // Once logged in, the page has its packet: the request and the note go.
    source.setEntry(server.url(QStringLiteral("/info")) + QStringLiteral("?via=") + AprsSource::kServiceHost);
    source.takeReading();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_TRUE(source.errorLine().isEmpty());
    EXPECT_TRUE(source.status().isEmpty());
    EXPECT_TRUE(source.isReady());
}

TEST_F(AprsSourceTest, WhileTheLoginPageIsShownAnAddressIsNeitherFetchedNorDecoded)
{
    AprsSource source(context);
    server.route("/info",
                 HttpResponse::text(page("<span class='raw_line'>" + kPacket + "</span>\n"), 200, "text/html"));
    source.setEntry(server.url(QStringLiteral("/info")));
    QSignalSpy displayed(&source, &WeatherSource::displayed);
    source.setLoginShown(true);
    source.takeReading();
    EXPECT_FALSE(source.fetching());
    EXPECT_TRUE(displayed.isEmpty());
    EXPECT_TRUE(source.timer()->isActive()) << "only the timer is armed again";
    source.setLoginShown(false);
    QSignalSpy ended(&source, &AprsSource::fetchEnded);
    source.timerTick();
    ASSERT_TRUE(ended.wait(5000));
    EXPECT_EQ(server.hits("/info"), 1);
}

TEST_F(AprsSourceTest, ALocalWeatherFileIsReadInItsRawUnitsAndAMissingOneBeeps)
{
    AprsSource source(context);
    const QString wxnow = dir.filePath(QStringLiteral("WXNOW.TXT"));
    ASSERT_TRUE(write(wxnow, "Dec 07 2026 10:30\r\n090/010g015t020r000p000P000h50b10000\r\n"));
    ASSERT_TRUE(source.chooseFile(wxnow));
    EXPECT_EQ(source.entry(), wxnow);
    EXPECT_EQ(source.dataPath(), wxnow);
    EXPECT_EQ(source.history(), QStringList{wxnow});
    EXPECT_NEAR(source.snapshot().windSpeed, 10 * 1.609344, 1e-6) << "mph by default";
    EXPECT_NEAR(source.snapshot().outdoorTemp, (20 - 32) * 5.0 / 9, 1e-6) << "F by default";
    EXPECT_TRUE(source.isReady());
    EXPECT_FALSE(source.fetching()) << "a file needs no download";

    source.setRawWind(AprsWindUnit::Kmh);
    source.setRawTemperature(AprsTemperatureUnit::Celsius);
    source.refresh();
    EXPECT_DOUBLE_EQ(source.snapshot().windSpeed, 10);
    EXPECT_DOUBLE_EQ(source.snapshot().outdoorTemp, 20);

    // Typed in the entry and Enter: the same.
    source.setEntry(QString());
    source.setEntry(wxnow);
    source.enterAction();
    EXPECT_DOUBLE_EQ(source.snapshot().windSpeed, 10);

    // Neither a file nor an address: the last number stays, nothing is read.
    source.setEntry(QStringLiteral("F4ABC"));
    source.enterAction();
    EXPECT_TRUE(source.errorLine().isEmpty());

    QFile::remove(wxnow);
    EXPECT_FALSE(source.chooseFile(wxnow));
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(source.entry().isEmpty());
    EXPECT_TRUE(source.dataPath().isEmpty());
    EXPECT_FALSE(source.isReady());
}

TEST_F(AprsSourceTest, SettingsLoadAndSaveUnderTheWindowsKeysInTheirOrder)
{
    AprsSource source(context);
    ConfigRegistry registry;
    source.declareConfig(registry, ConfigSection::Aprs);
    const QStringList lines = {
        QStringLiteral("APRS_TEMPEXT=Y"),
        QStringLiteral("APRS_VITVENT=Y"),
        QStringLiteral("APRS_KNOT=Y"),
        QStringLiteral("APRS_DGF=N"),
        QStringLiteral("APRS_INC=N"),
        QStringLiteral("APRS_METPERI=7"),
        QStringLiteral("APRS_DAT=https://aprs.fi/?c=raw&call=F4ABC-13 //club"),
        QStringLiteral("APRS_LIST=https://aprs.fi/?c=raw&call=F4ABC-13 //club"),
        QStringLiteral("APRS_LIST=/home/f4abc/wxnow.txt"),
        QStringLiteral("APRS_POFFSET=-3"),
        QStringLiteral("APRS_TU=1"),
        QStringLiteral("APRS_ID=f4abc"),
        QStringLiteral("APRS_PW=secret"),
    };
    registry.apply(lines);
    EXPECT_EQ(source.rawWind(), AprsWindUnit::Knot);
    EXPECT_EQ(source.rawTemperature(), AprsTemperatureUnit::Celsius);
    EXPECT_EQ(source.rawRain(), AprsRainUnit::Millimetre);
    EXPECT_EQ(source.refreshMinutes(), 7);
    EXPECT_EQ(source.entry(), QStringLiteral("https://aprs.fi/?c=raw&call=F4ABC-13 //club"));
    EXPECT_TRUE(source.dataPath().isEmpty()) << "an address becomes a path at its first fetch";
    EXPECT_EQ(source.history().size(), 2);
    EXPECT_EQ(source.pressureOffset(), -3);
    EXPECT_EQ(source.loginId(), QStringLiteral("f4abc"));
    EXPECT_EQ(registry.lines(QStringLiteral("[h]")), QStringList{QStringLiteral("[h]")} + lines);

    // The defaults: mph, F and inch; the two unit flags that are always written.
    AprsSource fresh(context);
    ConfigRegistry other;
    fresh.declareConfig(other, ConfigSection::Aprs);
    EXPECT_EQ(
        other.lines(QStringLiteral("[h]")),
        (QStringList{QStringLiteral("[h]"), QStringLiteral("APRS_DGF=Y"), QStringLiteral("APRS_INC=Y"),
                     QStringLiteral("APRS_METPERI=1"), QStringLiteral("APRS_POFFSET=0"), QStringLiteral("APRS_TU=0")}));
    // A file that is not there and is no address: nothing taken, error 6.
    other.apply({QStringLiteral("APRS_DAT=nowhere")});
    EXPECT_TRUE(fresh.entry().isEmpty());
    EXPECT_EQ(fresh.errorLine(), QStringLiteral("File error #6"));
}
