// The weather part of an announcement and the units window, through the
// main window.

#include "support/MainWindowHarness.h"
#include "common/DateTime.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kNoon(QDate(2026, 3, 1), QTime(12, 0, 30));

QStringList L(std::initializer_list<const char *> names)
{
    QStringList l;
    for (const char *n : names)
        l << QLatin1String(n);
    return l;
}

// Only the weather: the date and time boxes off.
void weatherOnly(MainWindowHarness &h)
{
    for (const char *name : {"CheckBoxDate", "CheckBoxHeure"}) {
        auto *box = h.find<QCheckBox>(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
    }
}

QStringList announce(MainWindowHarness &h)
{
    const qsizetype before = h.wave().sessions().size();
    h.clickButton1();
    EXPECT_TRUE(h.runUntilIdle());
    return h.playedClips().mid(before);
}

WeatherContext station(double readingTime)
{
    WeatherContext c;
    c.kind = SourceKind::Ws23;
    c.selection.set(WeatherItem::OutdoorTemp, true);
    c.selection.set(WeatherItem::WindSpeed, true);
    c.selection.set(WeatherItem::WindDirection, true);
    c.snapshot.outdoorTemp = -3.5;
    c.snapshot.windSpeed = 12;
    c.snapshot.windDirection = 340;
    c.snapshot.readingTime = readingTime;
    return c;
}

} // namespace

TEST(WeatherAnnouncement, ItemsAreSpokenAfterTheTimeInTheirOrder)
{
    MainWindowHarness h(kNoon);
    weatherOnly(h);
    h.windows().setWeatherSource([&] { return station(DateTimeUtil::toDays(h.clock().now())); });
    EXPECT_EQ(announce(h), L({"SON_EXT_TEMP", "SON_MINUS", "SON4", "SON_DEGREES", "SON_WIND", "SON12", "SON_KMH",
                              "SON_DIR", "SON_NORTH"}));
    h.find<QAction>("Menu16secteurs")->trigger();
    EXPECT_EQ(announce(h).last(), QStringLiteral("SON_NORTH_NORTH_WEST"));
}

TEST(WeatherAnnouncement, AReadingOlderThanTheChosenLimitIsLeftOut)
{
    MainWindowHarness h(kNoon);
    weatherOnly(h);
    double age = 60.0 / 1440;
    h.windows().setWeatherSource([&] { return station(DateTimeUtil::toDays(h.clock().now()) - age); });
    h.find<QAction>("MenuAnnonce1h")->trigger();
    EXPECT_EQ(announce(h).size(), 9) << "60 minutes old is still spoken";
    age = 61.0 / 1440;
    EXPECT_TRUE(announce(h).isEmpty()) << "61 minutes old is not";
    h.find<QAction>("MenuAnnonceToujours")->trigger();
    EXPECT_EQ(announce(h).size(), 9);
}

TEST(WeatherAnnouncement, UnitsWindowChangesWhatIsSpokenAndRefreshesOnlyOnAChange)
{
    MainWindowHarness h(kNoon);
    weatherOnly(h);
    int refreshes = 0;
    h.windows().formMyUnits().setRefreshActiveSource([&] { ++refreshes; });
    h.windows().setWeatherSource([&] {
        WeatherContext c = station(DateTimeUtil::toDays(h.clock().now()));
        c.snapshot.outdoorTemp = h.windows().units().temperature(-3.5); // the source converts as it reads
        return c;
    });
    h.find<QAction>("MenuUnits")->trigger();
    ASSERT_TRUE(h.windows().formMyUnits().isVisible());
    auto *celsius = h.windows().formMyUnits().findChild<QRadioButton *>(QStringLiteral("RadioButtonTc"));
    auto *fahrenheit = h.windows().formMyUnits().findChild<QRadioButton *>(QStringLiteral("RadioButtonTf"));
    QTest::mouseClick(celsius, Qt::LeftButton, {}, QPoint(4, celsius->height() / 2));
    EXPECT_EQ(refreshes, 0) << "the button already checked refreshes nothing";
    QTest::mouseClick(fahrenheit, Qt::LeftButton, {}, QPoint(4, fahrenheit->height() / 2));
    EXPECT_EQ(refreshes, 1) << "a change refreshes the active source at once";
    EXPECT_EQ(h.windows().units().temperatureLabel, QStringLiteral("F"));
    const QStringList clips = announce(h);
    EXPECT_EQ(clips.mid(0, 3), L({"SON_EXT_TEMP", "SON26", "SON_DEGREES"})) << "-3.5 C is 25.7 F";
    auto *mph = h.windows().formMyUnits().findChild<QRadioButton *>(QStringLiteral("RadioButtonVm"));
    QTest::mouseClick(mph, Qt::LeftButton, {}, QPoint(4, mph->height() / 2));
    EXPECT_EQ(h.windows().units().windFactor, 0.6213712);
    EXPECT_TRUE(announce(h).contains(QStringLiteral("SON_MPH")));
}
