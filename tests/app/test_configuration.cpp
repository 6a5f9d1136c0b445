// "auravox.ini": loaded on the first tick by driving the controls, saved in
// its exact format and order, and never lost.

#include "app/Autostart.h"
#include "common/TextFile.h"
#include "engine/VolumeControl.h"
#include "support/LogCapture.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

QByteArray fixture(const char *name)
{
    return readFile(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/config/") + QLatin1String(name));
}

// A folder holding `ini` as "auravox.ini" before the program starts.
struct Station
{
    explicit Station(const QByteArray &ini)
    {
        if (!ini.isNull()) {
            QFile f(dir.filePath(QStringLiteral("auravox.ini")));
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
    }
    QString ini() const { return dir.filePath(QStringLiteral("auravox.ini")); }
    QTemporaryDir dir;
};

QByteArray lines(std::initializer_list<const char *> l)
{
    QByteArray out;
    for (const char *s : l)
        out += QByteArray(s) + "\r\n";
    return out;
}

bool checked(MainWindowHarness &h, const char *name)
{
    return h.find<QCheckBox>(name)->isChecked();
}

} // namespace

TEST(Configuration, HeaderOnlyFileLoadsInitialStatesAndSavesTheExpectedLines)
{
    Station s(fixture("header_only.ini"));
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    EXPECT_TRUE(checked(h, "CheckBoxDate"));
    EXPECT_FALSE(checked(h, "CheckBoxZorbel"));
    EXPECT_EQ(h.form().helloPath(), QStringLiteral("kuckoo.wav"));
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_EQ(QString::fromLatin1(readFile(s.ini())), QString::fromLatin1(fixture("header_only.saved.ini")));
}

TEST(Configuration, EveryKeySurvivesLoadAndSave)
{
    Station s(fixture("every_key.ini"));
    MainWindowHarness h(kStart, false, nullptr, s.dir.path());
    h.serial().ports << QStringLiteral("COM2");
    h.windows().serialPort().discoverPorts();
    // The device's volume is what the file says: the load reads it back.
    h.wave().setVolume(1, Volume::forPosition(3, 20));
    h.load();
    // A few of the states the file drove, as the user sees them.
    EXPECT_TRUE(h.find<QAction>("Menu16secteurs")->isChecked());
    EXPECT_TRUE(h.find<QAction>("MenuAnnonce2h")->isChecked());
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), QStringLiteral("15"));
    EXPECT_EQ(h.find<QMenu>("MenuDebutPlageHoraire")->title(), QStringLiteral("Starting hour (22h)"));
    EXPECT_EQ(h.form().helloPath(), QStringLiteral("/home/f4abc/h\u00e9llo \u20ac.wav"));
    EXPECT_FALSE(checked(h, "CheckBoxDTR"));
    EXPECT_EQ(h.com().portName(), QStringLiteral("COM2"));
    EXPECT_TRUE(QFileInfo::exists(Autostart::entryPath()));
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_EQ(readFile(s.ini()), fixture("every_key.ini"));
}

TEST(Configuration, ValuesAreReadByTheirExactRules)
{
    Station s(lines({"[AURAVOX V1.0.0]", "DATE=n", "HELLO=y", "FINAL=Y", "FINAL=N", "START_RANGE=25",
                     "END_RANGE=x", "PERIOD=9", "PAUSE=3", "PAUSE=5", "PAUSE=1.5", "=abc", "no equals sign",
                     "W23_TEMPEXT=Y", "date=N", "FICHIER_FIN=http://x/?a=b=c"}));
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    EXPECT_TRUE(checked(h, "CheckBoxDate")) << "only N unchecks";
    EXPECT_FALSE(checked(h, "CheckBoxZorbel")) << "only Y checks";
    EXPECT_FALSE(checked(h, "CheckBoxFin")) << "the last of a repeated key wins";
    EXPECT_EQ(h.form().scheduler().startHour(), 0);
    EXPECT_EQ(h.form().scheduler().endHour(), 24);
    EXPECT_EQ(h.find<QLineEdit>("Edit1")->text(), QStringLiteral("60")) << "9 is brought to the last position";
    EXPECT_EQ(h.find<QSpinBox>("SpinEditPause")->value(), 5) << "1.5 is not a whole number";
    EXPECT_EQ(h.form().goodbyePath(), QStringLiteral("http://x/?a=b=c")) << "the value runs to the end of the line";
}

TEST(Configuration, BareLineEndsAreAcceptedOnReading)
{
    Station s(QByteArray("[AURAVOX V2.2.3]\nDATE=N\rTIME=N\r\nPAUSE=7"));
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    EXPECT_FALSE(checked(h, "CheckBoxDate"));
    EXPECT_FALSE(checked(h, "CheckBoxHeure"));
    EXPECT_EQ(h.find<QSpinBox>("SpinEditPause")->value(), 7);
}

TEST(Configuration, NoFileThenTwoSavesEachLeaveAReadOnlyFile)
{
    Station s{QByteArray()};
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    EXPECT_FALSE(h.form().iniExistedAtStart());
    EXPECT_FALSE(QFileInfo::exists(s.ini()));
    QTest::mouseClick(h.find<QCheckBox>("CheckBoxFin"), Qt::LeftButton, {}, QPoint(4, 5));
    h.find<QAction>("menuSaveConfig")->trigger();
    EXPECT_TRUE(readFile(s.ini()).contains("FINAL=Y\r\n"));
    EXPECT_EQ(QFileInfo(s.ini()).permissions() & (QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions()) << "read-only, for its owner only";
    QTest::mouseClick(h.find<QCheckBox>("CheckBoxFin"), Qt::LeftButton, {}, QPoint(4, 5));
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_FALSE(readFile(s.ini()).contains("FINAL=Y"));
    EXPECT_FALSE(QFileInfo::exists(s.dir.filePath(QStringLiteral("auravox.~in"))));
}

TEST(Configuration, AFailedSaveBeepsAndKeepsTheOldFile)
{
    Station s(lines({"[AURAVOX V2.2.3]", "PAUSE=4"}));
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    const QByteArray before = readFile(s.ini());
    // The temporary file's name is taken by a folder: the write can't happen.
    ASSERT_TRUE(QDir(s.dir.path()).mkdir(QStringLiteral("auravox.~in")));
    LogCapture log;
    EXPECT_FALSE(h.form().SaveConfiguration());
    EXPECT_EQ(h.prompts().beeps, 1);
    EXPECT_EQ(h.find<QLineEdit>("EditData")->text(), QStringLiteral("Err: auravox.ini"));
    EXPECT_EQ(readFile(s.ini()), before);
    EXPECT_EQ(log.matching({"Err: auravox.ini (can't create auravox.~in: File exists)"}).size(), 1)
        << log.lines.join('\n').toStdString();
    EXPECT_TRUE(QFileInfo(s.dir.filePath(QStringLiteral("auravox.~in"))).isDir()) << "what holds the name is left";
}

TEST(Configuration, ReduceAtStartDoesNotSaveButTheMinimizeButtonDoes)
{
    const QByteArray ini = lines({"[AURAVOX V2.2.3]", "REDUCE=Y", "PAUSE=2"});
    Station s(ini);
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    EXPECT_TRUE(checked(h, "CheckBoxReduire"));
    EXPECT_TRUE(h.form().isMinimized());
    EXPECT_EQ(readFile(s.ini()), ini) << "the load's own minimize saves nothing";
    QTest::mouseClick(h.find<QPushButton>("Button2"), Qt::LeftButton);
    EXPECT_TRUE(readFile(s.ini()).contains("REDUCE=Y\r\nBALANCE=0\r\nVOLUME=5\r\nMAXVOLUME=70\r\nUNITTC=Y")) << "'-' saves";
    // Unchecking restores and saves nothing.
    const QByteArray saved = readFile(s.ini());
    QTest::mouseClick(h.find<QCheckBox>("CheckBoxReduire"), Qt::LeftButton, {}, QPoint(4, 5));
    EXPECT_EQ(readFile(s.ini()), saved);
}

// Where the main window is first shown, and whether it moved once shown: a
// window moved after mapping jumps by its title bar under a window manager
// that has framed it (or, framed late, stays there).
struct FirstPlace : QObject
{
    explicit FirstPlace(QWidget *w) : window(w) { window->installEventFilter(this); }
    ~FirstPlace() override { window->removeEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show && !shown) {
            shown = true;
            at = window->pos();
        } else if (event->type() == QEvent::Move && shown) {
            ++movesAfterShow;
        }
        return false;
    }
    QWidget *window;
    bool shown = false;
    QPoint at;
    int movesAfterShow = 0;
};

TEST(Configuration, TheMainWindowIsFirstShownWhereTheFilePlacesItAndStaysThere)
{
    for (const char *reduce : {"REDUCE=N", "REDUCE=Y"}) {
        SCOPED_TRACE(reduce);
        Station s(lines({"[AURAVOX V2.2.3]", "TOP=260", "LEFT=420", reduce}));
        MainWindowHarness h(kStart, false, nullptr, s.dir.path());
        FirstPlace place(&h.form());
        h.load();
        ASSERT_TRUE(place.shown);
        EXPECT_EQ(place.at, QPoint(420, 260));
        EXPECT_EQ(place.movesAfterShow, 0);
        EXPECT_EQ(h.form().isMinimized(), reduce[7] == 'Y');
    }
}

TEST(Configuration, QuittingFromTheMenuSaves)
{
    Station s{QByteArray()};
    MainWindowHarness h(kStart, true, nullptr, s.dir.path());
    h.find<QAction>("MenuQuitter")->trigger();
    EXPECT_TRUE(readFile(s.ini()).startsWith("[AURAVOX V2.2.3]\r\n"));
}

TEST(Configuration, StartAtLoginEntry)
{
    MainWindowHarness h(kStart);
    auto *box = h.find<QCheckBox>("CheckBoxDemarrage");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, 5));
    const QByteArray entry = readFile(Autostart::entryPath());
    EXPECT_TRUE(entry.contains("Exec=/opt/auravox/auravox\n"));
    EXPECT_TRUE(Autostart::entryPath().endsWith(QLatin1String("/autostart/zorbel.desktop")));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, 5));
    EXPECT_FALSE(QFileInfo::exists(Autostart::entryPath()));
}

TEST(Configuration, ASaveKilledAtAnyMomentLeavesOneWholeFile)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("auravox.ini"));
    // The child saves two large contents in turn, forever, and says "." after each.
    QStringList a, b;
    for (int i = 0; i < 3000; ++i) {
        a << QStringLiteral("KEY%1=first value of the line %1").arg(i);
        b << QStringLiteral("KEY%1=second").arg(i);
    }
    ASSERT_TRUE(TextFile::writeLinesAtomically(ini, dir.filePath(QStringLiteral("auravox.~in")), a, 0400));
    const QByteArray bytesA = TextFile::joinLines(a);
    const QByteArray bytesB = TextFile::joinLines(b);
    QRandomGenerator random(20261208);
    int killedMidSave = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess child;
        child.start(QStringLiteral(AURAVOX_SAVE_LOOP), {dir.path()});
        ASSERT_TRUE(child.waitForStarted());
        // Let it finish a random number of saves, then kill it wherever it is.
        const int saves = static_cast<int>(random.bounded(3));
        while (child.bytesAvailable() < saves && child.waitForReadyRead(10000)) {
        }
        child.kill();
        child.waitForFinished();
        const QByteArray now = readFile(ini);
        ASSERT_TRUE(now == bytesA || now == bytesB) << "round " << round << ": " << now.size() << " bytes";
        if (child.readAllStandardOutput().size() >= saves)
            ++killedMidSave;
    }
    EXPECT_EQ(killedMidSave, 200);
}
