// The schedule, played over whole days on the manual clock through the main
// window's own controls: the period arrows and the hour range menus.

#include "support/MainWindowHarness.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kMidnight(QDate(2026, 6, 10), QTime(0, 0));

void chooseHour(MainWindowHarness &h, const char *item)
{
    auto *action = h.form().findChild<QAction *>(QLatin1String(item));
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

// Plays the day tick by tick; returns the times at which announcements started.
QList<QTime> playDay(MainWindowHarness &h)
{
    QList<QTime> starts;
    const QDateTime end = h.clock().now().addDays(1);
    while (h.clock().now() < end) {
        const bool wasBusy = h.form().announcer().busy();
        h.tick();
        if (!wasBusy && h.form().announcer().busy())
            starts << h.clock().now().time();
        EXPECT_TRUE(h.runUntilIdle());
    }
    return starts;
}

} // namespace

TEST(Schedule, PeriodArrowsShowThePeriod)
{
    MainWindowHarness h(kMidnight);
    auto *edit1 = h.find<QLineEdit>("Edit1");
    EXPECT_EQ(edit1->text(), QStringLiteral("0"));
    h.setPeriod(3);
    EXPECT_EQ(edit1->text(), QStringLiteral("15"));
    h.setPeriod(6);
    EXPECT_EQ(edit1->text(), QStringLiteral("60"));
    h.setPeriod(9);
    EXPECT_EQ(edit1->text(), QStringLiteral("60")) << "the arrows stop at the last period";
}

TEST(Schedule, HourMenusCheckOneItemAndNameTheHour)
{
    MainWindowHarness h(kMidnight);
    auto *startMenu = h.form().findChild<QMenu *>(QStringLiteral("MenuDebutPlageHoraire"));
    auto *endMenu = h.form().findChild<QMenu *>(QStringLiteral("MenuFinPlageHoraire"));
    EXPECT_EQ(startMenu->title(), QStringLiteral("Starting hour (00h)"));
    EXPECT_EQ(endMenu->title(), QStringLiteral("Ending hour (24h)"));
    EXPECT_TRUE(h.form().hourMenuItem(0)->isChecked());
    EXPECT_TRUE(h.form().hourMenuItem(49)->isChecked());
    EXPECT_EQ(h.form().hourMenuItem(25 + 6)->objectName(), QStringLiteral("F06"));
    EXPECT_EQ(h.form().hourMenuItem(25 + 6)->text(), QStringLiteral("06"));

    chooseHour(h, "D22");
    chooseHour(h, "F06");
    EXPECT_EQ(startMenu->title(), QStringLiteral("Starting hour (22h)"));
    EXPECT_EQ(endMenu->title(), QStringLiteral("Ending hour (06h)"));
    EXPECT_FALSE(h.form().hourMenuItem(0)->isChecked());
    EXPECT_TRUE(h.form().hourMenuItem(22)->isChecked());
    EXPECT_EQ(h.form().scheduler().startHour(), 22);
    EXPECT_EQ(h.form().scheduler().endHour(), 6);
}

TEST(Schedule, AQuarterHourDayHasOneAnnouncementAtEachQuarter)
{
    MainWindowHarness h(kMidnight.addSecs(-1));
    h.setPeriod(3);
    const QList<QTime> starts = playDay(h);
    ASSERT_EQ(starts.size(), 96);
    for (int i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i].hour() * 60 + starts[i].minute(), i * 15);
        EXPECT_EQ(starts[i].second(), 0) << "on the first tick of the minute";
    }
}

TEST(Schedule, RangeOverMidnightAndAnEmptyRange)
{
    MainWindowHarness h(kMidnight.addSecs(60));
    h.setPeriod(6);
    chooseHour(h, "D22");
    chooseHour(h, "F06");
    QList<int> hours;
    for (const QTime &t : playDay(h))
        hours << t.hour();
    EXPECT_EQ(hours, (QList<int>{1, 2, 3, 4, 5, 22, 23, 0})) << "from 22:00 to 05:59 only";

    chooseHour(h, "D06");
    EXPECT_TRUE(playDay(h).isEmpty()) << "06-06 gives none";
}
