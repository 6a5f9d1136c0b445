// The spoken message, driven through the main window as a user drives it:
// the boxes, "Play the message ", the clock ticking.

#include "app/WorkingFolder.h"
#include "support/FakeTransmitterPort.h"
#include "support/MainWindowHarness.h"
#include "support/WavBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "support/Lists.h"

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kSundayMorning(QDate(2026, 3, 1), QTime(10, 5));


void setBox(MainWindowHarness &h, const char *name, bool on)
{
    auto *box = h.find<QCheckBox>(name);
    ASSERT_NE(box, nullptr) << name;
    if (box->isChecked() != on)
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    ASSERT_EQ(box->isChecked(), on) << name;
}

QString status(MainWindowHarness &h)
{
    return h.find<QLineEdit>("EditData")->text();
}

} // namespace

TEST(Announcement, DefaultBoxesSpeakDateAndTime)
{
    MainWindowHarness h(kSundayMorning);
    EXPECT_EQ(h.announce(),
              L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26", "SON_TIME_IS", "SON10", "SONO5", "SON_AM"}));
    EXPECT_EQ(status(h), QStringLiteral("AURAVOX DONE"));
    EXPECT_TRUE(h.find<QPushButton>("Button1")->isEnabled());
    EXPECT_FALSE(h.find<QTimer>("TimerSecurite")->isActive());
    EXPECT_EQ(h.wave().maxQueued(), 1) << "every clip fits one buffer";
}

TEST(Announcement, HelloFileComesFirstThenTheDate)
{
    MainWindowHarness h(kSundayMorning);
    ASSERT_TRUE(WorkingFolder::seedHelloFile(h.folder()));
    setBox(h, "CheckBoxZorbel", true);
    setBox(h, "CheckBoxDate", false);
    setBox(h, "CheckBoxIlEst", false);
    const QStringList clips = h.announce();
    ASSERT_EQ(clips.size(), 4);
    EXPECT_TRUE(clips[0].startsWith(QLatin1String("file:")) || clips[0] == QLatin1String("SON_KUCKOO")) << clips[0].toStdString();
    EXPECT_EQ(clips.mid(1), L({"SON10", "SONO5", "SON_AM"}));
}

TEST(Announcement, MonthFirstDateOrder)
{
    MainWindowHarness h(kSundayMorning);
    setBox(h, "CheckBoxDateUS", true);
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxDate")->isChecked()) << "one date order at a time";
    setBox(h, "CheckBoxHeure", false);
    EXPECT_EQ(h.announce(), L({"SON_SUN", "SON_MAR", "SON_FIRST", "SON2000", "SON26"}));
    setBox(h, "CheckBoxDate", true);
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxDateUS")->isChecked());
}

TEST(Announcement, TimeOnlyAroundMidnightAndNoon)
{
    MainWindowHarness h(kSundayMorning);
    setBox(h, "CheckBoxDate", false);
    setBox(h, "CheckBoxIlEst", false);
    const std::vector<std::pair<QTime, QStringList>> cases = {
        {QTime(0, 5), L({"SON12", "SONO5", "SON_AM"})},
        {QTime(12, 0), L({"SON12", "SON_PM"})},
        {QTime(23, 45), L({"SON11", "SON45", "SON_PM"})},
    };
    for (const auto &[time, clips] : cases) {
        h.tickAt(QDateTime(QDate(2026, 3, 2), time).addSecs(30)); // half a minute past: no scheduled start
        EXPECT_EQ(h.announce(), clips) << time.toString().toStdString();
    }
}

TEST(Announcement, TimeIsNeedsTheTime)
{
    MainWindowHarness h(kSundayMorning);
    setBox(h, "CheckBoxHeure", false);
    EXPECT_FALSE(h.find<QCheckBox>("CheckBoxIlEst")->isChecked());
    EXPECT_EQ(h.announce(), L({"SON_SUN", "SON_FIRST", "SON_MAR", "SON2000", "SON26"}));
    setBox(h, "CheckBoxIlEst", true);
    EXPECT_TRUE(h.find<QCheckBox>("CheckBoxHeure")->isChecked());
}

TEST(Announcement, YearsOutsideTheSpokenRangeAreLeftOut)
{
    MainWindowHarness h(QDateTime(QDate(2000, 12, 25), QTime(8, 30, 20)));
    setBox(h, "CheckBoxIlEst", false);
    setBox(h, "CheckBoxHeure", false);
    EXPECT_EQ(h.announce(), L({"SON_MON", "SON25", "SON_DEC"}));
    h.tickAt(QDateTime(QDate(2060, 7, 3), QTime(8, 30, 20)));
    EXPECT_EQ(h.announce(), L({"SON_SAT", "SON_THIRD", "SON_JUL"}));
}

TEST(Announcement, PauseWaitsEvenWithoutAHeaderFile)
{
    MainWindowHarness h(kSundayMorning);
    h.find<QSpinBox>("SpinEditPause")->setValue(15);
    setBox(h, "CheckBoxEntete", true); // checked, but no header file chosen
    const qint64 before = h.clock().waitedMs();
    const qsizetype sessions = h.wave().sessions().size();
    h.announce();
    // 15 s pause, each of the 9 clips for its length and 50 ms after it, 1 s
    // before renewing the sibling link.
    EXPECT_EQ(h.clock().waitedMs() - before, 15000 + h.clipLengthsMs(sessions) + 9 * 50 + 1000);
}

TEST(Announcement, HeaderAndGoodbyeFramesTheMessage)
{
    MainWindowHarness h(kSundayMorning);
    WavBuilder header;
    header.data = WavBuilder::samples(1234, 7);
    WavBuilder goodbye;
    goodbye.data = WavBuilder::samples(4321, 8);
    ASSERT_TRUE(writeFile(h.folder() + QStringLiteral("/head.wav"), header.build()));
    ASSERT_TRUE(writeFile(h.folder() + QStringLiteral("/bye.wav"), goodbye.build()));
    h.prompts().nextFileNames = {h.folder() + QStringLiteral("/head.wav"), h.folder() + QStringLiteral("/bye.wav")};
    QTest::mouseClick(h.find<QPushButton>("ButtonParcourirEnTete"), Qt::LeftButton);
    QTest::mouseClick(h.find<QPushButton>("ButtonParcourirFin"), Qt::LeftButton);
    EXPECT_EQ(h.prompts().lastFilter, QStringLiteral("Fichiers son *.wav|*.wav"));
    EXPECT_EQ(h.prompts().lastSuffix, QStringLiteral("wav"));
    EXPECT_EQ(h.find<QPushButton>("ButtonParcourirFin")->toolTip(), h.folder() + QStringLiteral("/bye.wav"));
    setBox(h, "CheckBoxEntete", true);
    setBox(h, "CheckBoxFin", true);
    setBox(h, "CheckBoxDate", false);
    const QStringList clips = h.announce();
    EXPECT_EQ(clips, L({"file:1234", "SON_TIME_IS", "SON10", "SONO5", "SON_AM", "file:4321"}));
}

TEST(Announcement, BrowseRefusesAFileThatCannotBeOpened)
{
    MainWindowHarness h(kSundayMorning);
    h.prompts().nextFileNames = {h.folder() + QStringLiteral("/gone.wav"), h.folder() + QStringLiteral("/gone.wav")};
    QTest::mouseClick(h.find<QPushButton>("ButtonParcourirZorbel"), Qt::LeftButton);
    EXPECT_EQ(h.prompts().messages, L({"Err: File name"}));
    EXPECT_TRUE(h.form().helloPath().isEmpty()) << "the path is cleared";
    QTest::mouseClick(h.find<QPushButton>("ButtonParcourirFin"), Qt::LeftButton);
    EXPECT_EQ(h.prompts().messages.last(), QStringLiteral("Err: Wave file name"));
    // Cancelling keeps what was there.
    h.form().setHeaderPath(QStringLiteral("keep.wav"));
    QTest::mouseClick(h.find<QPushButton>("ButtonParcourirEnTete"), Qt::LeftButton);
    EXPECT_EQ(h.form().headerPath(), QStringLiteral("keep.wav"));
}

TEST(Announcement, PlayerFailureEndsTheAnnouncementWithoutDone)
{
    MainWindowHarness h(kSundayMorning);
    h.form().setHelloPath(QString());
    setBox(h, "CheckBoxZorbel", true);
    setBox(h, "CheckBoxFin", true);
    h.form().setGoodbyePath(QStringLiteral("kuckoo.wav"));
    h.clickButton1();
    EXPECT_TRUE(h.runUntilIdle());
    EXPECT_EQ(status(h), QStringLiteral("Err: Wave file name"));
    EXPECT_TRUE(h.wave().sessions().isEmpty()) << "no clip and no goodbye file";
    EXPECT_EQ(h.form().announcer().step(), 0);
    EXPECT_TRUE(h.find<QPushButton>("Button1")->isEnabled());
    // The next announcement works.
    setBox(h, "CheckBoxZorbel", false);
    EXPECT_EQ(h.announce().size(), 9);
}

TEST(Announcement, NothingStartsBeforeTheConfigurationIsLoaded)
{
    MainWindowHarness h(kSundayMorning, false);
    EXPECT_TRUE(h.form().startupPending());
    h.form().Button1Click();
    EXPECT_FALSE(h.form().announcer().busy());
    h.tick(); // the first tick loads
    EXPECT_FALSE(h.form().startupPending());
    EXPECT_EQ(h.form().windowTitle(), QStringLiteral("AURAVOX V2.2.3"));
    EXPECT_EQ(h.find<QTimer>("TimerSeconde")->interval(), 1000 + TForm1::kTickLagMs)
        << "loaded on a whole second: the next tick just after the next one";
    h.find<QTimer>("TimerSeconde")->stop();
    h.form().Button1Click();
    EXPECT_TRUE(h.form().announcer().busy());
    EXPECT_TRUE(h.runUntilIdle());
}

TEST(Announcement, ErrorSimulationKeepsTheAnnouncementBusyUntilTheWatchdog)
{
    MainWindowHarness h(kSundayMorning);
    h.form().show();
    QApplication::setActiveWindow(&h.form());
    QTest::keyClick(&h.form(), Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(status(h), QStringLiteral("err simu"));
    FakeTransmitterPort port(h.clock());
    h.form().setTransmitter(&port);

    h.clickButton1();
    EXPECT_EQ(status(h), QStringLiteral("AURAVOX PLAYS"));
    EXPECT_TRUE(h.form().announcer().busy());
    EXPECT_FALSE(h.find<QPushButton>("Button1")->isEnabled());
    EXPECT_TRUE(port.events.isEmpty()) << "nothing is keyed";
    auto *watchdog = h.find<QTimer>("TimerSecurite");
    EXPECT_TRUE(watchdog->isActive());
    EXPECT_EQ(watchdog->interval(), 120000);
    h.form().Button1Click();
    EXPECT_TRUE(h.wave().sessions().isEmpty()) << "a second start is ignored while busy";

    h.form().TimerSecuriteTimer(); // the 120 s are up
    EXPECT_FALSE(h.form().announcer().busy());
    EXPECT_FALSE(watchdog->isActive());
    EXPECT_TRUE(h.find<QPushButton>("Button1")->isEnabled());
    EXPECT_EQ(status(h), QStringLiteral("AURAVOX PLAYS")) << "the watchdog writes nothing";

    QTest::keyClick(&h.form(), Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(status(h), QStringLiteral("simu err reset"));
    h.form().setTransmitter(nullptr);
    EXPECT_EQ(h.announce().size(), 9);
}

TEST(Announcement, DcdInhibitsEveryStartIncludingTheButton)
{
    MainWindowHarness h(kSundayMorning);
    FakeTransmitterPort port(h.clock());
    h.form().setTransmitter(&port);
    port.status.dcd = true;
    h.tick(); // the poll sees DCD
    EXPECT_TRUE(h.find<QLabel>("ImageZorbelOff")->isVisibleTo(&h.form()));
    EXPECT_FALSE(h.find<QLabel>("ImageZorbel")->isVisibleTo(&h.form()));
    EXPECT_EQ(h.find<QLabel>("LabelDCD")->text(), QStringLiteral("DCD=On"));
    h.clickButton1();
    EXPECT_FALSE(h.form().announcer().busy());
    EXPECT_TRUE(h.wave().sessions().isEmpty());
    port.dcdBox = false; // inhibit off: the same channel state no longer blocks
    h.clickButton1();
    EXPECT_TRUE(h.form().announcer().busy());
    EXPECT_TRUE(h.runUntilIdle());
}
