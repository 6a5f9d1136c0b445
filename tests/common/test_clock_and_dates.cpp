// The message-pumping wait, the clock fields and the day-count dates.

#include "app/WorkingFolder.h"
#include "common/Clock.h"
#include "common/DateTime.h"
#include "engine/ClipCatalogue.h"
#include "support/QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace auravox;

TEST(WaitPumping, OtherHandlersRunDuringTheWaitAndWaitsNest)
{
    SystemClock clock;
    QStringList order;
    QTimer::singleShot(0, [&] {
        order << QStringLiteral("timer");
        clock.waitPumping(5); // a nested wait inside a handler
        order << QStringLiteral("nested done");
    });
    clock.waitPumping(20);
    order << QStringLiteral("outer done");
    EXPECT_EQ(order, QStringList({"timer", "nested done", "outer done"}));
}

TEST(WaitPumping, ManualClockAdvancesByTheWaitAndRunsPostedEvents)
{
    ManualClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 500)));
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    clock.waitPumping(1000);
    EXPECT_TRUE(ran);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 500))) << "across midnight and the year";
    EXPECT_EQ(clock.waitedMs(), 1000);
}

TEST(SystemClock, TheLocalTimeFollowsAChangeOfTheTimeZone)
{
    const QByteArray saved = qgetenv("TZ");
    const bool had = qEnvironmentVariableIsSet("TZ");
    SystemClock clock;
    qputenv("TZ", "UTC0");
    const QDateTime utc = clock.now();
    EXPECT_EQ(utc.offsetFromUtc(), 0);
    qputenv("TZ", "EST5");
    const QDateTime est = clock.now();
    EXPECT_EQ(est.offsetFromUtc(), -5 * 3600) << "the zone is read again when TZ changes";
    EXPECT_LE(std::abs(utc.secsTo(est)), 60) << "the same instant, told in another zone";
    EXPECT_EQ(est.time().hour(), est.toUTC().addSecs(-5 * 3600).time().hour());
    if (had)
        qputenv("TZ", saved);
    else
        qunsetenv("TZ");
}

TEST(ClockFields, WeekdayCountsFromSunday)
{
    EXPECT_EQ(ClockFields::from(QDateTime(QDate(2026, 3, 1), QTime(10, 5))).weekday, 1); // a Sunday
    EXPECT_EQ(ClockFields::from(QDateTime(QDate(2026, 3, 7), QTime(0, 0))).weekday, 7); // a Saturday
    const ClockFields f = ClockFields::from(QDateTime(QDate(2026, 3, 2), QTime(23, 45, 59)));
    EXPECT_EQ(f.weekday, 2);
    EXPECT_EQ(f.hour, 23);
    EXPECT_EQ(f.minute, 45);
    EXPECT_EQ(f.day, 2);
    EXPECT_EQ(f.month, 3);
    EXPECT_EQ(f.year, 2026);
}

TEST(DayCount, CountsDaysFrom30December1899)
{
    EXPECT_DOUBLE_EQ(DateTimeUtil::toDays(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeUtil::toDays(QDateTime(QDate(1900, 1, 1), QTime(18, 0))), 2.75);
    const QDateTime t(QDate(2026, 3, 1), QTime(10, 5, 30));
    EXPECT_EQ(DateTimeUtil::fromDays(DateTimeUtil::toDays(t)), t);
    // One hour is 0.041666 days: the staleness limits compare in days.
    EXPECT_NEAR(DateTimeUtil::toDays(t.addSecs(3600)) - DateTimeUtil::toDays(t), 1.0 / 24, 1e-9);
}

TEST(WorkingFolder, HomeVariableWinsAndTheHelloFileIsSeededOnce)
{
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("station/auravox"));
    qputenv("AURAVOX_HOME", home.toLocal8Bit());
    EXPECT_EQ(WorkingFolder::choose(QStringLiteral("/usr/bin")), home);
    qunsetenv("AURAVOX_HOME");
    EXPECT_TRUE(QDir(home).exists()) << "created when missing";

    ASSERT_TRUE(WorkingFolder::seedHelloFile(home));
    QFile hello(home + QStringLiteral("/kuckoo.wav"));
    ASSERT_TRUE(hello.open(QIODevice::ReadOnly));
    EXPECT_EQ(hello.readAll(), ClipCatalogue::defaultHelloFile());
    hello.close();
    // A user's own kuckoo.wav is never replaced.
    ASSERT_TRUE(hello.open(QIODevice::WriteOnly | QIODevice::Truncate));
    hello.write("mine");
    hello.close();
    ASSERT_TRUE(WorkingFolder::seedHelloFile(home));
    ASSERT_TRUE(hello.open(QIODevice::ReadOnly));
    EXPECT_EQ(hello.readAll(), QByteArray("mine"));
}

TEST(WorkingFolder, WritableProgramFolderIsAPortableInstall)
{
    QTemporaryDir dir;
    qunsetenv("AURAVOX_HOME");
    EXPECT_EQ(WorkingFolder::choose(dir.path()), QDir(dir.path()).absolutePath());
}

TEST(WorkingFolder, AFolderOfCommandsIsNeverTheWorkingFolder)
{
    // Root can write to /usr/bin, and a user to ~/.local/bin: neither may fill
    // with auravox.ini, logs and weather files.
    QTemporaryDir data, commands;
    const QByteArray path = qgetenv("PATH");
    qunsetenv("AURAVOX_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    qputenv("PATH", "/usr/bin:" + commands.path().toLocal8Bit());
    const QString expected = QDir(data.filePath(QStringLiteral("auravox"))).absolutePath();
    EXPECT_EQ(WorkingFolder::choose(QStringLiteral("/usr/bin")), expected);
    EXPECT_EQ(WorkingFolder::choose(QStringLiteral("/usr/local/bin/")), expected);
    EXPECT_EQ(WorkingFolder::choose(commands.path()), expected);
    qputenv("PATH", path);
    qunsetenv("XDG_DATA_HOME");
    EXPECT_TRUE(QFileInfo(expected).isDir());
}

TEST(ClipCatalogue, EveryClipIsThereAndFitsOneBuffer)
{
    const ClipCatalogue catalogue;
    EXPECT_EQ(catalogue.size(), 192);
    QStringList expected;
    for (int n = 0; n <= 100; ++n)
        expected << QStringLiteral("SON%1").arg(n);
    for (int n = 1; n <= 9; ++n)
        expected << QStringLiteral("SONO%1").arg(n);
    expected << QStringLiteral("SON1000") << QStringLiteral("SON2000") << QStringLiteral("SON900")
             << QStringLiteral("SON100_AND") << QStringLiteral("SON900_AND") << QStringLiteral("SON1000_AND")
             << QStringLiteral("SON_MODERATLY") << QStringLiteral("SON_TENTH_INCH") << QStringLiteral("SON_KUCKOO")
             << QStringLiteral("SON_NORTH_NORTH_WEST") << QStringLiteral("SON_RAIN24");
    for (const QString &name : expected)
        EXPECT_TRUE(catalogue.contains(name.toLower())) << name.toStdString();
    for (const QString &name : catalogue.names()) {
        const QByteArray wav = catalogue.wavData(name);
        ASSERT_GE(wav.size(), 44) << name.toStdString();
        EXPECT_LE(wav.size() - 44, 88200) << name.toStdString();
        EXPECT_EQ(wav.mid(20, 16), QByteArray::fromHex("01000100803e0000007d000002001000")) << name.toStdString();
    }
}
