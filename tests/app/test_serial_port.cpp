// The transmitter port: the list, the COM window, keying around every
// announcement, the input lines, and the lines released whatever happens.

#include "support/LogCapture.h"
#include "support/MainWindowHarness.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(10, 5, 30));


void uncheck(MainWindowHarness &h, const char *name)
{
    auto *box = h.find<QCheckBox>(name);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    ASSERT_FALSE(box->isChecked());
}

// Lines calls and clips, with the time in ms since the timeline began.
struct Timeline
{
    explicit Timeline(MainWindowHarness &h) : m_h(h), m_start(h.clock().now())
    {
        h.wave().onWrite = [this](int) { mark(QStringLiteral("clip")); };
        h.serial().onCall = [this](const QString &call) { mark(call); };
    }
    void mark(const QString &what) { events << QStringLiteral("%1@%2").arg(what).arg(m_start.msecsTo(m_h.clock().now())); }
    QStringList events;

private:
    MainWindowHarness &m_h;
    QDateTime m_start;
};

bool announce(MainWindowHarness &h)
{
    h.clickButton1();
    return h.runUntilIdle();
}

// The announcement and PTT lines of the log (other parts log too).
QStringList announceAndPtt(const LogCapture &log)
{
    QStringList out;
    for (const QString &line : log.lines) {
        if (line.startsWith(QLatin1String("auravox.announce: ")) || line.startsWith(QLatin1String("auravox.ptt: ")))
            out << line;
    }
    return out;
}

bool ledOn(MainWindowHarness &h)
{
    return h.find<QLabel>("ImageLedON")->isVisibleTo(&h.form());
}

} // namespace

TEST(SerialPort, ListHoldsNoComThenPortsSortedAsText)
{
    MainWindowHarness h(kMorning, false);
    h.serial().ports = {QStringLiteral("COM2"), QStringLiteral("COM10"), QStringLiteral("COM0"),
                        QStringLiteral("COMX"), QStringLiteral("COM1")};
    EXPECT_EQ(h.windows().serialPort().discoverPorts(),
              QStringList({"No COM", "COM1", "COM10", "COM2"}));
    h.load();
    h.com().show();
    auto *list = h.find<QListWidget>("ListBoxCOM");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("No COM"));
    EXPECT_EQ(list->currentItem()->text(), QStringLiteral("No COM")) << "the current port is selected";
    EXPECT_EQ(h.com().windowTitle(), QStringLiteral("COM Port "));
}

TEST(SerialPort, KeyingWaitsForTheTransmitterAndBothLinesDropAtTheEnd)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM2"));
    EXPECT_EQ(h.find<QLabel>("LabelCOM")->text(), QStringLiteral("COM2"));
    EXPECT_EQ(h.com().portText(), QStringLiteral("\\\\.\\COM2"));
    Timeline t(h);
    ASSERT_TRUE(announce(h));
    ASSERT_GE(t.events.size(), 5);
    EXPECT_EQ(t.events.mid(0, 3), QStringList({"DTR+@0", "RTS+@0", "clip@300"}));
    EXPECT_TRUE(t.events.at(t.events.size() - 2).startsWith(QLatin1String("DTR-@")));
    EXPECT_TRUE(t.events.last().startsWith(QLatin1String("RTS-@")));
    EXPECT_EQ(t.events.filter(QStringLiteral("clip@")).size(), 9);
    EXPECT_FALSE(h.find<QLabel>("ImageLedON")->isVisibleTo(&h.form()));
    EXPECT_FALSE(h.serial().dtr || h.serial().rts);
}

TEST(SerialPort, BothBoxesOffKeepTheDelayAndStillClearBothLines)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM1"));
    uncheck(h, "CheckBoxDTR");
    uncheck(h, "CheckBoxRTS");
    h.serial().calls.clear();
    const qint64 before = h.clock().waitedMs();
    const qsizetype sessions = h.wave().sessions().size();
    ASSERT_TRUE(announce(h));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-"}));
    EXPECT_EQ(h.clock().waitedMs() - before, 300 + h.clipLengthsMs(sessions) + 9 * 50 + 1000);
}

TEST(SerialPort, NoPortNoKeyingAndNoDelay)
{
    MainWindowHarness h(kMorning);
    const qint64 before = h.clock().waitedMs();
    const qsizetype sessions = h.wave().sessions().size();
    ASSERT_TRUE(announce(h));
    EXPECT_TRUE(h.serial().calls.isEmpty());
    EXPECT_EQ(h.clock().waitedMs() - before, h.clipLengthsMs(sessions) + 9 * 50 + 1000);
}

TEST(SerialPort, APortInUseGivesComPortErrorAndNoPort)
{
    MainWindowHarness h(kMorning);
    h.serial().busy << QStringLiteral("COM10");
    h.choosePort(QStringLiteral("COM10"));
    EXPECT_EQ(h.prompts().messages, QStringList({"COM port error"}));
    EXPECT_EQ(h.com().portName(), QStringLiteral("No COM"));
    EXPECT_EQ(h.com().portText(), QStringLiteral("    "));
    EXPECT_EQ(h.find<QLabel>("LabelCOM")->text(), QStringLiteral("COM"));
}

TEST(SerialPort, ChoosingNoComLowersTheLinesBeforeClosing)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM2"));
    h.serial().calls.clear();
    h.choosePort(QStringLiteral("No COM"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-", "close"}));
    EXPECT_EQ(h.find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=Off"));
    EXPECT_TRUE(h.find<QLabel>("ImageZorbel")->isVisibleTo(&h.form()));
    // Another port: the old one is released and closed first.
    h.choosePort(QStringLiteral("COM1"));
    h.serial().calls.clear();
    h.choosePort(QStringLiteral("COM2"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-", "close", "open COM2"}));
}

TEST(SerialPort, InputLinesStartOnePerEdgeAndDcdInhibits)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM1"));
    auto starts = [&] { return h.playedClips().count(QStringLiteral("SON_AM")); };
    h.serial().status.cts = true;
    h.serial().status.dsr = true; // both rise in the same tick
    for (int i = 0; i < 4; ++i) {
        h.tick();
        ASSERT_TRUE(h.runUntilIdle());
    }
    EXPECT_EQ(starts(), 1) << "one start, by CTS; the start marks DSR as seen too";
    EXPECT_EQ(h.find<QLabel>("LabelCTS")->text(), QStringLiteral("CTS=On"));

    h.serial().status = {};
    h.tick();
    EXPECT_EQ(h.find<QLabel>("LabelCTS")->text(), QStringLiteral("CTS=Off"));
    h.serial().status.dcd = true;
    h.tick();
    EXPECT_TRUE(h.find<QLabel>("ImageZorbelOff")->isVisibleTo(&h.form()));
    h.serial().status.cts = true; // a rising edge while the channel is busy
    h.tick();
    EXPECT_FALSE(h.form().announcer().busy());
    h.clickButton1();
    EXPECT_FALSE(h.form().announcer().busy()) << "DCD refuses the button too";
    EXPECT_EQ(starts(), 1);
}

TEST(SerialPort, LinesAreReleasedAfterAPlayerFailureAndAfterTheWatchdog)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM1"));
    h.form().setHelloPath(QStringLiteral("missing.wav"));
    auto *hello = h.find<QCheckBox>("CheckBoxZorbel");
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    h.serial().calls.clear();
    ASSERT_TRUE(announce(h));
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("Err: Wave file name"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR+", "RTS+", "DTR-", "RTS-"}));
    EXPECT_FALSE(h.find<QLabel>("ImageLedON")->isVisibleTo(&h.form()));

    // A stall: the device lost the clip and the 120 s watchdog fires.
    QTest::mouseClick(hello, Qt::LeftButton, {}, QPoint(4, hello->height() / 2));
    h.wave().autoComplete = false;
    h.serial().calls.clear();
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    h.form().player().stopDevice();
    h.form().player().clearFlags();
    h.form().TimerSecuriteTimer();
    EXPECT_FALSE(h.form().announcer().busy());
    EXPECT_EQ(h.serial().calls, QStringList({"DTR+", "RTS+", "DTR-", "RTS-"}));
}

TEST(SerialPort, ClosingTheProgramReleasesTheLinesBeforeThePortCloses)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM2"));
    h.serial().calls.clear();
    h.form().close();
    EXPECT_EQ(h.serial().calls.last(), QStringLiteral("close"));
    const qsizetype closeAt = h.serial().calls.indexOf(QStringLiteral("close"));
    EXPECT_LT(h.serial().calls.indexOf(QStringLiteral("DTR-")), closeAt);
    EXPECT_LT(h.serial().calls.indexOf(QStringLiteral("RTS-")), closeAt);
}

// Linux raises DTR and RTS whenever another program opens the port; they must
// not stay up (keying the transmitter) until the next announcement ends.
TEST(SerialPort, LinesAnotherProgramRaisesGoDownAtTheNextTickWhateverTheSchedule)
{
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 9, 58)));
    h.choosePort(QStringLiteral("COM2"));
    LogCapture log;
    h.serial().dtr = h.serial().rts = true; // someone opened /dev/fake2
    h.serial().calls.clear();
    h.tick();
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-"}));
    EXPECT_FALSE(h.serial().dtr || h.serial().rts);
    EXPECT_FALSE(ledOn(h));
    EXPECT_EQ(log.matching({"auravox.port", "DTR+RTS found up on /dev/fake2 (COM2)", "dropped"}).size(), 1);
    h.tick();
    EXPECT_EQ(h.serial().calls.size(), 2) << "lines that are down are left alone";

    // A tick in a minute whose announcement has run (the schedule does nothing
    // more and polls no lines) still guards them.
    h.setPeriod(1);
    h.tickAt(QDateTime(QDate(2026, 3, 1), QTime(10, 10, 0)));
    ASSERT_TRUE(h.runUntilIdle());
    ASSERT_EQ(log.matching({"auravox.announce: announcement started by the schedule"}).size(), 1);
    h.serial().dtr = true;
    h.serial().calls.clear();
    h.tickAt(QDateTime(QDate(2026, 3, 1), QTime(10, 10, 2)));
    EXPECT_FALSE(h.serial().dtr);
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-"}));
}

TEST(SerialPort, TheGuardLeavesTheLinesOfARunningAnnouncementUp)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM1"));
    h.wave().autoComplete = false;
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    h.tick();
    h.tick();
    EXPECT_TRUE(h.serial().dtr && h.serial().rts);
    EXPECT_TRUE(ledOn(h));
    h.wave().autoComplete = true;
    h.wave().completeNext();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_FALSE(h.serial().dtr || h.serial().rts);
}

TEST(SerialPort, TheKernelConsoleIsNamedInTheComWindowAndTheLog)
{
    MainWindowHarness h(kMorning);
    h.serial().consoles << QStringLiteral("COM1");
    LogCapture log;
    h.choosePort(QStringLiteral("COM1"));
    auto *warning = h.find<QLabel>("LabelConsole");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->isVisibleTo(&h.com()));
    EXPECT_TRUE(warning->text().startsWith(QLatin1String("/dev/fake1 is the kernel console")));
    EXPECT_TRUE(warning->text().contains(QLatin1String("leaves the transmitter keyed")));
    EXPECT_EQ(log.matching({"auravox.port", "/dev/fake1 is the kernel console", "transmitter stays keyed"}).size(), 1);
    h.choosePort(QStringLiteral("COM2"));
    EXPECT_FALSE(warning->isVisibleTo(&h.com()));
    h.choosePort(QStringLiteral("COM1"));
    h.choosePort(QStringLiteral("No COM"));
    EXPECT_FALSE(warning->isVisibleTo(&h.com()));
}

TEST(SerialPort, APortThatCannotBeOpenedIsLoggedWithItsDeviceAndReason)
{
    MainWindowHarness h(kMorning);
    h.serial().busy << QStringLiteral("COM10");
    LogCapture log;
    h.choosePort(QStringLiteral("COM10"));
    EXPECT_EQ(h.prompts().messages, QStringList({"COM port error"})) << "the window's own text is unchanged";
    EXPECT_EQ(log.of("auravox.port"), QStringList({"COM10 can't be opened: /dev/fake10: Device or resource busy"}));
    EXPECT_EQ(h.windows().serialPort().transmitter().lastError(),
              QStringLiteral("/dev/fake10: Device or resource busy"));
}

// What a headless operator reads: each start with what asked for it, each
// key and release with its cause, each refusal with its reason.
TEST(SerialPort, TheLogTellsEveryStartKeyReleaseAndRefusal)
{
    MainWindowHarness h(kMorning);
    h.choosePort(QStringLiteral("COM2"));
    LogCapture log;
    ASSERT_TRUE(announce(h));
    const QStringList wanted{
        "auravox.announce: announcement started by the button",
        "auravox.ptt: PTT keyed (DTR+RTS) on /dev/fake2 (COM2): announcement started by the button",
        "auravox.ptt: PTT released on /dev/fake2 (COM2): end of the announcement",
        "auravox.announce: announcement ended",
    };
    EXPECT_EQ(announceAndPtt(log), wanted);

    h.tick(); // the lines seen low: the start marked them as seen
    h.serial().status.cts = true;
    h.tick();
    ASSERT_TRUE(h.runUntilIdle());
    h.serial().status = {};
    h.tick();
    h.serial().status.dsr = true;
    h.tick();
    ASSERT_TRUE(h.runUntilIdle());
    h.form().announcer().setSiblingRequest(true); // how the link asks
    h.form().Button1Click();
    ASSERT_TRUE(h.runUntilIdle());
    EXPECT_EQ(log.matching({"PTT keyed", "announcement started by CTS"}).size(), 1);
    EXPECT_EQ(log.matching({"PTT keyed", "announcement started by DSR"}).size(), 1);
    EXPECT_EQ(log.matching({"auravox.announce: announcement started by the sibling program"}).size(), 1);
    EXPECT_EQ(log.matching({"PTT released"}).size(), 4);

    // Refused: DCD on, then busy.
    log.lines.clear();
    h.serial().status = {};
    h.serial().status.dcd = true;
    h.tick();
    h.clickButton1();
    EXPECT_EQ(announceAndPtt(log), QStringList({"auravox.announce: announcement asked by the button refused: DCD is on "
                                      "(the channel is busy)"}));
    h.serial().status = {};
    h.tick();
    log.lines.clear();
    h.wave().autoComplete = false;
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    // The player fails mid-way: the watchdog reset ends it and releases PTT.
    h.form().player().stopDevice();
    h.form().player().clearFlags();
    h.form().TimerSecuriteTimer();
    EXPECT_EQ(log.matching({"auravox.announce: announcement ended by the watchdog reset"}).size(), 1);
    EXPECT_EQ(log.matching({"auravox.ptt: PTT released on /dev/fake2 (COM2): watchdog reset"}).size(), 1);
    EXPECT_FALSE(h.serial().dtr || h.serial().rts);
}

TEST(SerialPort, StartsAreRefusedWithAReasonBeforeTheLoadAndWhileBusy)
{
    MainWindowHarness h(kMorning, false);
    LogCapture log;
    h.form().Button1Click();
    EXPECT_EQ(announceAndPtt(log), QStringList({"auravox.announce: announcement asked by the button refused: the "
                                      "configuration is not loaded yet"}));
    h.load();
    h.form().MenuSimuErreurClick(); // stays busy after the start
    h.clickButton1();
    ASSERT_TRUE(h.form().announcer().busy());
    log.lines.clear();
    h.form().Button1Click();
    EXPECT_EQ(announceAndPtt(log),
              QStringList({"auravox.announce: announcement asked by the button refused: an announcement is running"}));
}

// The first tick after start that falls on the period loads the configuration,
// opens the port and starts the announcement at once: DCD must already be known.
TEST(SerialPort, DcdOnWhenThePortOpensRefusesTheFirstScheduledAnnouncement)
{
    QTemporaryDir dir;
    {
        QFile ini(dir.filePath(QStringLiteral("auravox.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[AURAVOX V2.2.3]\r\nPERIOD=1\r\nCOM=2\r\n");
    }
    MainWindowHarness h(QDateTime(QDate(2026, 3, 1), QTime(10, 10, 0)), false, nullptr, dir.path());
    h.serial().status.dcd = true; // the squelch is open
    LogCapture log;
    h.load();
    EXPECT_EQ(h.com().portName(), QStringLiteral("COM2"));
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), QStringLiteral("5"));
    EXPECT_FALSE(h.form().announcer().busy());
    EXPECT_TRUE(h.wave().sessions().isEmpty());
    EXPECT_FALSE(h.serial().dtr || h.serial().rts) << "nothing keyed over the channel";
    EXPECT_EQ(log.matching({"announcement asked by the schedule refused: DCD is on"}).size(), 1);
    EXPECT_TRUE(h.find<QLabel>("ImageZorbelOff")->isVisibleTo(&h.form()));
}

TEST(SerialPort, ChoosingAPortReadsDcdAtOnce)
{
    MainWindowHarness h(kMorning);
    h.serial().status.dcd = true;
    h.choosePort(QStringLiteral("COM1"));
    EXPECT_EQ(h.find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=On"));
    EXPECT_TRUE(h.find<QLabel>("ImageZorbelOff")->isVisibleTo(&h.form()));
    h.clickButton1(); // before any tick has polled
    EXPECT_FALSE(h.form().announcer().busy());
}
