// The transmitter port: the list, the COM window, keying around every
// announcement, the input lines, and the lines released whatever happens.

#include "support/MainWindowHarness.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(10, 5, 30));

void choosePort(MainWindowHarness &h, const QString &name)
{
    h.com().show();
    auto *list = h.find<QListWidget>("ListBoxCOM");
    const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << name.toStdString();
    const QRect r = list->visualItemRect(items.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

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
    choosePort(h, QStringLiteral("COM2"));
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
    choosePort(h, QStringLiteral("COM1"));
    uncheck(h, "CheckBoxDTR");
    uncheck(h, "CheckBoxRTS");
    h.serial().calls.clear();
    const qint64 before = h.clock().waitedMs();
    ASSERT_TRUE(announce(h));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-"}));
    EXPECT_EQ(h.clock().waitedMs() - before, 300 + 9 * 50 + 1000);
}

TEST(SerialPort, NoPortNoKeyingAndNoDelay)
{
    MainWindowHarness h(kMorning);
    const qint64 before = h.clock().waitedMs();
    ASSERT_TRUE(announce(h));
    EXPECT_TRUE(h.serial().calls.isEmpty());
    EXPECT_EQ(h.clock().waitedMs() - before, 9 * 50 + 1000);
}

TEST(SerialPort, APortInUseGivesComPortErrorAndNoPort)
{
    MainWindowHarness h(kMorning);
    h.serial().busy << QStringLiteral("COM10");
    choosePort(h, QStringLiteral("COM10"));
    EXPECT_EQ(h.prompts().messages, QStringList({"COM port error"}));
    EXPECT_EQ(h.com().portName(), QStringLiteral("No COM"));
    EXPECT_EQ(h.com().portText(), QStringLiteral("    "));
    EXPECT_EQ(h.find<QLabel>("LabelCOM")->text(), QStringLiteral("COM"));
}

TEST(SerialPort, ChoosingNoComLowersTheLinesBeforeClosing)
{
    MainWindowHarness h(kMorning);
    choosePort(h, QStringLiteral("COM2"));
    h.serial().calls.clear();
    choosePort(h, QStringLiteral("No COM"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-", "close"}));
    EXPECT_EQ(h.find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=Off"));
    EXPECT_TRUE(h.find<QLabel>("ImageZorbel")->isVisibleTo(&h.form()));
    // Another port: the old one is released and closed first.
    choosePort(h, QStringLiteral("COM1"));
    h.serial().calls.clear();
    choosePort(h, QStringLiteral("COM2"));
    EXPECT_EQ(h.serial().calls, QStringList({"DTR-", "RTS-", "close", "open COM2"}));
}

TEST(SerialPort, InputLinesStartOnePerEdgeAndDcdInhibits)
{
    MainWindowHarness h(kMorning);
    choosePort(h, QStringLiteral("COM1"));
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
    choosePort(h, QStringLiteral("COM1"));
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
    choosePort(h, QStringLiteral("COM2"));
    h.serial().calls.clear();
    h.form().close();
    EXPECT_EQ(h.serial().calls.last(), QStringLiteral("close"));
    const qsizetype closeAt = h.serial().calls.indexOf(QStringLiteral("close"));
    EXPECT_LT(h.serial().calls.indexOf(QStringLiteral("DTR-")), closeAt);
    EXPECT_LT(h.serial().calls.indexOf(QStringLiteral("RTS-")), closeAt);
}
