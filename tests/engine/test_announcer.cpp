// The announcement engine on its own, without a window: a host of plain
// values, a manual clock, a recording sound output, and the real transmitter
// on pretend serial lines.

#include "engine/Announcer.h"
#include "transmitter/Transmitter.h"
#include "support/FakeAnnounceHost.h"
#include "support/FakeSerialLines.h"
#include "support/FakeWaveOutput.h"
#include "support/Lists.h"
#include "support/MainWindowHarness.h"
#include "support/ScriptedPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kSundayMorning(QDate(2026, 3, 1), QTime(10, 5));

// What the engine tells its observers, one line each.
struct Journal final : AnnounceObserver
{
    void announcementStarted(AnnounceOrigin origin) override { events << "start " + announceOriginText(origin); }
    void announcementRefused(AnnounceOrigin origin, AnnounceRefusal refusal) override
    {
        events << "refused " + announceOriginText(origin) + ": " + announceRefusalText(refusal);
    }
    void announcementEnded(bool completed, const QString &status) override
    {
        events << (completed ? QStringLiteral("end") : "reset " + status);
    }
    QStringList events;
};

// The engine with its parts, the transmitter on COM1 keying both lines.
struct Rig
{
    explicit Rig(const QDateTime &start = kSundayMorning)
        : clock(start), transmitter(serial),
          engine(AnnouncerDeps{&clock, &wave, &prompts, QString()}, host)
    {
        QDir::setCurrent(dir.path()); // the log file goes there
        EXPECT_TRUE(transmitter.open(QStringLiteral("COM1")));
        engine.setTransmitter(&transmitter);
        engine.addObserver(&journal);
        EXPECT_TRUE(engine.player().allocMem());
        tickAt(start); // the clock fields of the start
        serial.calls.clear();
        host.lineStates.clear();
        host.ticks = 0;
    }
    ~Rig()
    {
        engine.removeObserver(&journal);
        QDir::setCurrent(previousDir);
    }

    // One tick at `t`, and the start it posted, as the event loop runs it.
    void tickAt(const QDateTime &t)
    {
        clock.setNow(t);
        engine.tick();
        engine.stopTicking(); // only the test ticks
        QCoreApplication::sendPostedEvents(&engine, QEvent::MetaCall);
    }
    // Lets the clips play out; false if the announcement never ended (a hang guard).
    bool runUntilIdle()
    {
        for (int i = 0; i < 100000; ++i) {
            if (!engine.busy() && !engine.player().isPlaying())
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return false;
    }
    QStringList clipsPlayed() const { return MainWindowHarness::identify(wave.sessions(), engine.catalogue()); }
    QTimer *timer(const char *name) { return engine.findChild<QTimer *>(QLatin1String(name)); }

    QTemporaryDir dir;
    QString previousDir = QDir::currentPath();
    ManualClock clock;
    FakeWaveOutput wave;
    ScriptedPrompts prompts;
    FakeSerialLines serial;
    Transmitter transmitter;
    FakeHost host;
    Journal journal;
    Announcer engine;
};

const QStringList kTenFifteen =
    L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS", "SON10", "SON15", "SON_AM"});

} // namespace

TEST(Announcer, AScheduledMinuteFiresExactlyOneAnnouncementWithItsClipsInOrder)
{
    Rig r(QDateTime(QDate(2026, 3, 1), QTime(10, 14, 57)));
    r.engine.scheduler().setPeriodPosition(3); // every 15 minutes
    for (int s = 58; s <= 63; ++s) {
        const QDateTime t = QDateTime(QDate(2026, 3, 1), QTime(10, 14)).addSecs(s);
        r.tickAt(t);
        EXPECT_EQ(r.host.clockShown, t);
        EXPECT_EQ(r.engine.clockFields().minute, t.time().minute());
        ASSERT_TRUE(r.runUntilIdle());
    }
    EXPECT_EQ(r.host.ticks, 6) << "the host's part runs on every tick";
    EXPECT_EQ(r.journal.events, L({"start the schedule", "end"}));
    EXPECT_EQ(r.clipsPlayed(), kTenFifteen);
    EXPECT_EQ(r.host.status, QStringLiteral("AURAVOX DONE"));
    EXPECT_TRUE(r.host.playEnabled);
    EXPECT_TRUE(r.host.soundCardOkEnabled);
    EXPECT_FALSE(r.timer("TimerSecurite")->isActive());
}

TEST(Announcer, TheTickIsArmedForJustAfterTheNextWholeSecond)
{
    Rig r;
    QTimer *tick = r.timer("TimerSeconde");
    ASSERT_NE(tick, nullptr);
    r.clock.setNow(kSundayMorning.addMSecs(250));
    r.engine.tick();
    EXPECT_TRUE(tick->isActive());
    EXPECT_EQ(tick->interval(), 750 + Announcer::kTickLagMs);
    r.engine.stop();
    EXPECT_FALSE(tick->isActive());
    // A start posted before the stop is dropped.
    r.engine.postAnnouncement(AnnounceOrigin::Cts);
    QCoreApplication::sendPostedEvents(&r.engine, QEvent::MetaCall);
    EXPECT_TRUE(r.journal.events.isEmpty());
    EXPECT_TRUE(r.wave.sessions().isEmpty());
}

TEST(Announcer, PttIsKeyedBeforeTheFirstClipAndReleasedAfterTheLast)
{
    Rig r;
    QStringList sequence; // the serial calls and the clips' first writes, with the time
    QDateTime start = r.clock.now();
    r.serial.onCall = [&](const QString &call) { sequence << QStringLiteral("%1@%2").arg(call).arg(start.msecsTo(r.clock.now())); };
    qsizetype sessionsSeen = 0;
    r.wave.onWrite = [&](int) {
        if (r.wave.sessions().size() != sessionsSeen) {
            sessionsSeen = r.wave.sessions().size();
            sequence << QStringLiteral("clip@%1").arg(start.msecsTo(r.clock.now()));
        }
    };
    r.engine.run();
    ASSERT_TRUE(r.runUntilIdle());
    ASSERT_EQ(r.clipsPlayed().size(), 9);
    ASSERT_EQ(sequence.size(), 2 + 9 + 2) << sequence.join(' ').toStdString();
    EXPECT_EQ(sequence.mid(0, 3), L({"DTR+@0", "RTS+@0", "clip@300"})) << "300 ms for the transmitter to come up";
    EXPECT_EQ(sequence.filter(QStringLiteral("clip@")).size(), 9);
    EXPECT_TRUE(sequence[sequence.size() - 2].startsWith(QLatin1String("DTR-@")));
    EXPECT_TRUE(sequence.last().startsWith(QLatin1String("RTS-@")));
    EXPECT_FALSE(r.serial.dtr || r.serial.rts);
    EXPECT_FALSE(r.transmitter.isKeyed());

    // With both PTT boxes off the delay stays and both lines are still cleared.
    sequence.clear();
    sessionsSeen = 0;
    r.wave.onWrite = [&](int) {
        if (sequence.filter(QStringLiteral("clip@")).isEmpty())
            sequence << QStringLiteral("clip@%1").arg(start.msecsTo(r.clock.now()));
    };
    start = r.clock.now();
    r.transmitter.setLines({false, false, true, true, true});
    r.engine.run();
    ASSERT_TRUE(r.runUntilIdle());
    ASSERT_FALSE(sequence.isEmpty());
    EXPECT_EQ(sequence.first(), QStringLiteral("clip@300")) << sequence.join(' ').toStdString();
    EXPECT_TRUE(sequence.filter(QStringLiteral("+@")).isEmpty());
    EXPECT_EQ(sequence.filter(QStringLiteral("-@")).size(), 2);
}

TEST(Announcer, DcdOnTheLineRefusesEveryStartUntilItsBoxIsOff)
{
    Rig r;
    r.serial.status.dcd = true;
    r.tickAt(kSundayMorning.addSecs(1)); // no schedule: the tick polls the lines
    EXPECT_EQ(r.host.lineStates, L({"DCD=On CTS=Off DSR=Off"}));
    r.engine.run();
    r.engine.postAnnouncement(AnnounceOrigin::Web);
    QCoreApplication::sendPostedEvents(&r.engine, QEvent::MetaCall);
    EXPECT_EQ(r.journal.events, L({"refused the button: DCD is on (the channel is busy)",
                                   "refused the station page: DCD is on (the channel is busy)"}));
    EXPECT_FALSE(r.engine.busy());
    EXPECT_TRUE(r.wave.sessions().isEmpty());
    EXPECT_TRUE(r.serial.calls.filter(QStringLiteral("+")).isEmpty()) << "nothing keyed";

    r.transmitter.setLines({true, true, true, true, false}); // "inhibit on DCD" off
    r.engine.run();
    EXPECT_TRUE(r.engine.busy());
    ASSERT_TRUE(r.runUntilIdle());
    EXPECT_EQ(r.clipsPlayed().size(), 9);
}

TEST(Announcer, ASecondStartWhileOneRunsIsRefusedAndTheClipGoesOn)
{
    Rig r;
    r.wave.autoComplete = false;
    r.engine.run();
    ASSERT_TRUE(r.engine.busy());
    ASSERT_EQ(r.wave.sessions().size(), 1);
    const int step = r.engine.step();
    r.engine.run();
    r.serial.status.cts = true; // a rising CTS while busy: the tick neither polls nor starts
    r.tickAt(kSundayMorning.addSecs(1));
    r.engine.postAnnouncement(AnnounceOrigin::Sibling);
    QCoreApplication::sendPostedEvents(&r.engine, QEvent::MetaCall);
    EXPECT_EQ(r.journal.events, L({"start the button", "refused the button: an announcement is running",
                                   "refused the sibling program: an announcement is running"}));
    EXPECT_EQ(r.engine.step(), step) << "the running step is not entered again";
    EXPECT_EQ(r.wave.sessions().size(), 1);
    EXPECT_TRUE(r.host.lineStates.isEmpty());

    r.wave.autoComplete = true;
    r.wave.completeNext();
    ASSERT_TRUE(r.runUntilIdle());
    EXPECT_EQ(r.clipsPlayed(), L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS", "SON10",
                                  "SONO5", "SON_AM"}));
    EXPECT_EQ(r.journal.events.last(), QStringLiteral("end"));
}

TEST(Announcer, TheWatchdogLeavesAPlayingClipAloneAndReleasesPttOnAStalledOne)
{
    Rig r;
    r.wave.autoComplete = false;
    r.engine.run();
    ASSERT_TRUE(r.engine.player().isPlaying());
    ASSERT_TRUE(r.transmitter.isKeyed());
    QTimer *watchdog = r.timer("TimerSecurite");
    ASSERT_TRUE(watchdog->isActive());
    EXPECT_EQ(watchdog->interval(), AnnounceMachine::kWatchdogMs);

    // The 120 s are up while the clip still plays: its own end carries on.
    r.engine.watchdogTimeout();
    EXPECT_TRUE(r.engine.busy());
    EXPECT_TRUE(r.transmitter.isKeyed());
    EXPECT_TRUE(watchdog->isActive()) << "still guarded";

    // The device stops taking audio: the clip fails, the reset ends the
    // announcement and the transmitter is let go.
    r.serial.calls.clear();
    r.wave.failCurrent(WaveOutput::Fault::Play);
    ASSERT_TRUE(r.runUntilIdle());
    EXPECT_FALSE(r.engine.busy());
    EXPECT_FALSE(r.transmitter.isKeyed());
    EXPECT_EQ(r.serial.calls, L({"DTR-", "RTS-"}));
    EXPECT_TRUE(r.host.status.startsWith(QLatin1String("Err"))) << r.host.status.toStdString();
    EXPECT_EQ(r.journal.events, L({"start the button"}) << "reset " + r.host.status);
    EXPECT_TRUE(r.host.playEnabled);
    EXPECT_EQ(r.wave.sessions().size(), 1) << "no clip after the failure";

    // The next announcement plays through.
    r.wave.autoComplete = true;
    r.engine.run();
    ASSERT_TRUE(r.runUntilIdle());
    EXPECT_EQ(r.wave.sessions().size(), 10);
    EXPECT_EQ(r.host.status, QStringLiteral("AURAVOX DONE"));
}

TEST(Announcer, AnAnnouncementThatNeverPlaysIsEndedByTheWatchdogAlone)
{
    Rig r;
    r.engine.machine().setErrorSimulation(true); // busy, keyed by nobody, no clip
    r.engine.run();
    ASSERT_TRUE(r.engine.busy());
    EXPECT_FALSE(r.host.playEnabled);
    r.engine.watchdogTimeout();
    EXPECT_FALSE(r.engine.busy());
    EXPECT_TRUE(r.host.playEnabled);
    EXPECT_EQ(r.serial.calls, L({"DTR-", "RTS-"})) << "released whatever the state of the lines";
    EXPECT_FALSE(r.timer("TimerSecurite")->isActive());
}

TEST(Announcer, ACtsLineHeldHighStartsOneAnnouncementPerRisingEdge)
{
    Rig r;
    r.serial.status.cts = true;
    for (int s = 1; s <= 5; ++s) {
        r.tickAt(kSundayMorning.addSecs(s));
        ASSERT_TRUE(r.runUntilIdle());
    }
    EXPECT_EQ(r.journal.events, L({"start CTS", "end"}));
    EXPECT_EQ(r.host.lineStates.first(), QStringLiteral("DCD=Off CTS=On DSR=Off"));
    r.serial.status.cts = false;
    r.tickAt(kSundayMorning.addSecs(6));
    EXPECT_EQ(r.host.lineStates.last(), QStringLiteral("DCD=Off CTS=Off DSR=Off"));
    r.serial.status.cts = true;
    r.tickAt(kSundayMorning.addSecs(7));
    ASSERT_TRUE(r.runUntilIdle());
    EXPECT_EQ(r.journal.events, L({"start CTS", "end", "start CTS", "end"})) << "a new rising edge";
    EXPECT_EQ(r.wave.sessions().size(), 18);
}

TEST(Announcer, NothingStartsBeforeTheHostHasLoadedItsSettings)
{
    Rig r;
    r.host.pending = true;
    r.engine.run();
    EXPECT_FALSE(r.engine.busy());
    EXPECT_EQ(r.journal.events, L({"refused the button: the configuration is not loaded yet"}));
    r.host.pending = false;
    r.engine.run();
    EXPECT_TRUE(r.engine.busy());
    ASSERT_TRUE(r.runUntilIdle());
}

TEST(Announcer, LogEntriesGoToTheFileAndToTheHost)
{
    Rig r;
    r.engine.addLogEntry(QStringLiteral("first"));
    r.clock.advanceSeconds(61);
    r.engine.addLogEntry(QStringLiteral("second"));
    ASSERT_EQ(r.host.logShown.size(), 4);
    EXPECT_EQ(r.host.logShown.first(), QStringLiteral("Log ZORBEL"));
    EXPECT_TRUE(r.host.logShown[2].endsWith(QLatin1String("first")));
    EXPECT_TRUE(r.host.logShown[3].endsWith(QLatin1String("second")));
    EXPECT_EQ(r.host.logShown[3], LogBook::entryLine(r.clock.now(), QStringLiteral("second")));

    // Another engine in the same folder reads the file back.
    FakeHost otherHost;
    Announcer other(AnnouncerDeps{&r.clock, &r.wave, &r.prompts, QString()}, otherHost);
    ASSERT_TRUE(other.loadLog());
    EXPECT_EQ(other.log().lines(), r.engine.log().lines());
}
