// The clock tick: armed for just after each whole second, running through the
// waits of an announcement and through the first download, across steps of
// the wall clock and a daylight-saving fall-back; and a stop that comes
// before the configuration has been loaded.

#include "internet/DownloadFile.h"
#include "internet/ui/TFormMeteoMETAR.h"
#include "support/LocalHttpServer.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QCheckBox>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDate kDay(2026, 3, 1); // a Sunday

QDateTime at(int h, int m, int s, int ms = 0)
{
    return QDateTime(kDay, QTime(h, m, s, ms));
}

QTimer *tickTimer(MainWindowHarness &h)
{
    return h.find<QTimer>("TimerSeconde");
}

// A folder whose "auravox.ini" holds `lines` (CR LF after each).
struct Folder
{
    explicit Folder(const QByteArray &lines)
    {
        QFile f(dir.filePath(QStringLiteral("auravox.ini")));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines);
    }
    QString path() const { return dir.path(); }
    QByteArray ini() const
    {
        QFile f(dir.filePath(QStringLiteral("auravox.ini")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

// Runs the event loop until `done` holds, at most `guardMs` (a hang guard).
bool runUntil(const std::function<bool()> &done, int guardMs = 20000)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(guardMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// Ticks once a second (the clock stepped to each time given) and returns the
// times at which the ticks started an announcement.
QList<QDateTime> tickThrough(MainWindowHarness &h, const QList<QDateTime> &times)
{
    QList<QDateTime> starts;
    for (const QDateTime &t : times) {
        const bool wasBusy = h.form().announcer().busy();
        h.tickAt(t);
        if (!wasBusy && h.form().announcer().busy())
            starts << t;
        EXPECT_TRUE(h.runUntilIdle());
    }
    return starts;
}

QList<QDateTime> everySecond(const QDateTime &from, const QDateTime &to)
{
    QList<QDateTime> list;
    for (QDateTime t = from; t <= to; t = t.addSecs(1))
        list << t;
    return list;
}

// The local time zone for the length of a test.
struct LocalZone
{
    explicit LocalZone(const char *tz) : saved(qgetenv("TZ")), had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", tz);
        ::tzset();
    }
    ~LocalZone()
    {
        if (had)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        ::tzset();
    }
    QByteArray saved;
    bool had;
};

} // namespace

TEST(ClockTick, IsArmedForJustAfterTheNextWholeSecondFromAnyPhase)
{
    MainWindowHarness h(at(10, 6, 0));
    QTimer *timer = tickTimer(h);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    // Any phase of the second, and a wall clock stepped back and forward by
    // minutes (NTP, or by hand): the next tick lands on the new second.
    const QList<QDateTime> times{at(10, 6, 7, 0),   at(10, 6, 7, 1),   at(10, 6, 7, 250), at(10, 6, 7, 994),
                                 at(10, 6, 7, 999), at(10, 3, 7, 505), at(10, 9, 40, 3), at(23, 59, 59, 700)};
    for (const QDateTime &t : times) {
        h.tickAt(t);
        const QDateTime due = t.addMSecs(timer->interval());
        EXPECT_EQ(due.time().msec(), TForm1::kTickLagMs) << t.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(due.addMSecs(-TForm1::kTickLagMs), t.addMSecs(-t.time().msec()).addSecs(1))
            << "the next whole second, not a later one";
        EXPECT_EQ(h.form().timeFieldText(), TForm1::timeText(t));
    }
}

TEST(ClockTick, AWallClockSteppedByMinutesNeitherDoublesNorSkipsAnAnnouncement)
{
    Folder folder("[AURAVOX V2.2.3]\r\nPERIOD=3\r\nDATE=N\r\n"); // every 15 minutes
    MainWindowHarness h(at(13, 29, 58), true, nullptr, folder.path());

    // Back 14.5 minutes just before 13:45: 13:30 is not said again, 13:45 is.
    QList<QDateTime> times = everySecond(at(13, 29, 59), at(13, 44, 40));
    times += everySecond(at(13, 30, 10), at(13, 45, 2));
    EXPECT_EQ(tickThrough(h, times), (QList<QDateTime>{at(13, 30, 0), at(13, 45, 0)}));

    // Back 25 minutes, over two boundaries that have fired: neither comes again.
    times = everySecond(at(13, 50, 0), at(13, 50, 5)) + everySecond(at(13, 25, 5), at(14, 0, 1));
    EXPECT_EQ(tickThrough(h, times), (QList<QDateTime>{at(14, 0, 0)}));

    // Forward by one hour right after 14:00 fired: 15:00 is its own minute.
    times = everySecond(at(14, 0, 2), at(14, 0, 4)) + everySecond(at(15, 0, 5), at(15, 0, 8));
    EXPECT_EQ(tickThrough(h, times), (QList<QDateTime>{at(15, 0, 5)}));

    // Forward by 3 minutes onto a boundary: it is announced on its new second.
    times = everySecond(at(15, 12, 58), at(15, 12, 59)) + everySecond(at(15, 15, 59), at(15, 16, 1));
    EXPECT_EQ(tickThrough(h, times), (QList<QDateTime>{at(15, 15, 59)}));
}

TEST(ClockTick, TheFallBackNightAnnouncesEachRealHalfHourWithItsLocalTime)
{
    LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 25 October 2026: at 01:00 UT the clocks go from 03:00 CEST back to 02:00 CET.
    const QDateTime from = QDateTime(QDate(2026, 10, 24), QTime(23, 50), Qt::UTC).toLocalTime();
    ASSERT_EQ(from.time(), QTime(1, 50)) << "the zone is in effect";
    Folder folder("[AURAVOX V2.2.3]\r\nPERIOD=5\r\nDATE=N\r\nILEST=N\r\n"); // every 30 minutes
    MainWindowHarness h(from, true, nullptr, folder.path());
    QList<QDateTime> times;
    for (int s = 1; s <= 2 * 3600; ++s)
        times << from.addSecs(s);
    QStringList spoken;
    for (const QDateTime &t : tickThrough(h, times))
        spoken << t.toUTC().toString(QStringLiteral("HH:mm")) + QStringLiteral(" UT ") + t.toString(QStringLiteral("HH:mm"));
    EXPECT_EQ(spoken, QStringList({"00:00 UT 02:00", "00:30 UT 02:30", "01:00 UT 02:00", "01:30 UT 02:30"}));
    // The time is spoken as the clock shows it: 02:00 and 02:30, twice each, then 03:00 would follow.
    EXPECT_EQ(h.playedClips().count(QStringLiteral("SON2")), 4) << h.playedClips().join(' ').toStdString();
    EXPECT_EQ(h.playedClips().count(QStringLiteral("SON30")), 2);
}

TEST(ClockTick, RunsThroughThePauseAndThePttLeadOfAnAnnouncementItStarted)
{
    // CTS rises at 10:05:50; the announcement keys the transmitter (300 ms),
    // waits 15 s and then says the time: 10:06, as the tick shows it by then.
    Folder folder("[AURAVOX V2.2.3]\r\nPAUSE=15\r\nDATE=N\r\nILEST=N\r\nCOM=1\r\n");
    MainWindowHarness h(at(10, 5, 49, 999), true, nullptr, folder.path());
    ASSERT_EQ(h.com().portName(), QStringLiteral("COM1"));
    QTimer *timer = tickTimer(h);
    int ticksInWaits = 0;
    QStringList shownInWaits;
    // Each wait of the announcement moves the manual clock; the real timer,
    // armed on that clock's second, must fire inside the wait.
    h.clock().setWaitHandler([&](int ms) {
        qint64 left = ms;
        while (left > 0) {
            const int toEdge = 999 - h.clock().now().time().msec();
            const qint64 step = std::min<qint64>(left, toEdge > 0 ? toEdge : 1000);
            h.clock().advanceMs(step);
            left -= step;
            if (h.clock().now().time().msec() != 999) {
                QCoreApplication::processEvents();
                continue;
            }
            QSignalSpy fired(timer, &QTimer::timeout);
            if (!fired.wait(3000))
                return; // the tick did not come: the field below stays behind
            ++ticksInWaits;
            shownInWaits << h.form().timeFieldText();
        }
    });
    h.serial().status.cts = true;
    h.clock().setNow(at(10, 5, 50, 999));
    h.form().TimerSecondeTimer(); // the tick sees the edge
    ASSERT_TRUE(runUntil([&] { return h.form().announcer().busy(); }));
    ASSERT_TRUE(runUntil([&] { return !h.form().announcer().busy() && !h.form().player().isPlaying(); }));
    h.clock().setWaitHandler({});
    timer->stop();

    EXPECT_GE(ticksInWaits, 15) << "a tick each second of the PTT lead and the pause";
    EXPECT_TRUE(shownInWaits.contains(TForm1::timeText(at(10, 6, 5, 999)))) << shownInWaits.join('|').toStdString();
    const QStringList clips = h.playedClips();
    ASSERT_GE(clips.size(), 3);
    EXPECT_EQ(clips.mid(clips.size() - 3), QStringList({"SON10", "SONO6", "SON_AM"}));
}

TEST(ClockTick, TheFirstDownloadRunsWithTheClockTickingAndAnAnnouncementPlaysOnTime)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.start());
    HttpResponse silent;
    silent.neverAnswer = true;
    server.route("/ogimet/getmetar", silent);
    const DownloadLimits saved = downloadLimits();
    DownloadLimits limits = saved;
    limits.totalTimeMs = 5000; // a hang guard for the test
    setDownloadLimits(limits);

    const QByteArray address = server.url(QStringLiteral("/ogimet/getmetar")).toUtf8() + "?icao=LFPG //Paris CDG";
    Folder folder("[AURAVOX V2.2.3]\r\nPERIOD=1\r\nDATE=N\r\nMETEO=METAR\r\nMETAR_TEMPEXT=Y\r\nMETAR_DAT=" + address +
                  "\r\n");
    MainWindowHarness h(at(10, 4, 59, 990), false, nullptr, folder.path());
    QTimer *timer = tickTimer(h);
    bool requested = false, tickingDuringDownload = false, answered = false;
    QDateTime firstAudio;
    QObject::connect(&server, &LocalHttpServer::requestReceived, &server, [&] {
        requested = true;
        tickingDuringDownload = timer->isActive();
        h.clock().setNow(at(10, 5, 0, 2)); // the boundary passes while the server keeps silent
    });
    h.wave().onWrite = [&](int) {
        if (!firstAudio.isValid() && requested && !answered)
            firstAudio = h.clock().now();
    };

    h.clock().setNow(at(10, 4, 59, 990));
    h.form().TimerSecondeTimer(); // the first tick: the load
    EXPECT_FALSE(h.form().startupPending());
    // The announcement ends inside the download; then the server answers.
    ASSERT_TRUE(runUntil([&] {
        if (requested && !answered && firstAudio.isValid() && !h.form().announcer().busy()) {
            answered = server.answerHeld("/ogimet/getmetar",
                                         HttpResponse::text("LFPG 010930Z 24010KT 9999 FEW020 12/08 Q1013 NOSIG="));
        }
        return answered && !h.windows().formMeteoMETAR().reportPath().isEmpty();
    })) << "requested " << requested << ", audio " << firstAudio.isValid();
    timer->stop();
    setDownloadLimits(saved);

    EXPECT_TRUE(tickingDuringDownload) << "the clock ticks while the source downloads";
    EXPECT_EQ(firstAudio.time().minute(), 5);
    EXPECT_EQ(firstAudio.time().second(), 0) << "on the scheduled second";
    EXPECT_EQ(h.windows().formMeteoMETAR().itemBox(WeatherItem::OutdoorTemp)->text(),
              QStringLiteral("Outdoor T (\u00b0C) = 12.0"));
}

TEST(ClockTick, NothingIsSavedBeforeTheConfigurationIsLoaded)
{
    const QByteArray ini = "[AURAVOX V2.0.1]\r\nPERIOD=2\r\nHELLO=Y\r\nDATE=n\r\nNOT_A_KEY=1\r\n";
    Folder folder(ini);
    MainWindowHarness h(at(10, 0, 0), false, nullptr, folder.path());
    // The tray's Restore shows the window early; its "-" and the menu's save do nothing yet.
    h.form().RestaurerItemClick();
    h.find<QPushButton>("Button2")->click();
    h.find<QAction>("menuSaveConfig")->trigger();
    EXPECT_EQ(folder.ini(), ini);
    // Quit from the menu: the window closes, the file stays byte for byte, and no load follows.
    h.find<QAction>("MenuQuitter")->trigger();
    EXPECT_FALSE(h.form().isVisible());
    EXPECT_FALSE(tickTimer(h)->isActive());
    EXPECT_TRUE(h.form().startupPending());
    EXPECT_EQ(folder.ini(), ini);
    EXPECT_FALSE(QFile::exists(folder.dir.filePath(QStringLiteral("auravox.~in"))));
}

TEST(ClockTick, AStopDuringTheLoadWaitsForItThenSaves)
{
    Folder folder("[AURAVOX V2.0.1]\r\nPERIOD=2\r\n");
    MainWindowHarness h(at(10, 0, 0), false, nullptr, folder.path());
    // The load lets events run: a stop that arrives then is kept until it has finished.
    QTimer::singleShot(0, &h.form(), [&] { h.form().close(); });
    h.load();
    ASSERT_FALSE(h.form().startupPending());
    EXPECT_TRUE(runUntil([&] { return !h.form().isVisible(); }));
    EXPECT_TRUE(folder.ini().startsWith("[AURAVOX V2.2.3]\r\n")) << "saved the usual way once loaded";
    EXPECT_TRUE(folder.ini().contains("PERIOD=2\r\n"));
}
