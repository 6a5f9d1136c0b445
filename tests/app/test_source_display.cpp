// One function shows every source's reading: what a reading leaves empty keeps
// its text and colour, and a window shows only the labels it has.

#include "common/Clock.h"
#include "internet/MetarDecoder.h"
#include "support/FakeSourceWindow.h"

#include <QCheckBox>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

bool red(QWidget *w)
{
    return w->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

} // namespace

TEST(SourceDisplay, TheBaseWindowShowsWhatTheReadingFilledAndKeepsTheRest)
{
    UnitSettings units;
    PlausibilityLimits limits;
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(10, 5)));
    SourceWindowContext context(clock);
    context.units = &units;
    context.limits = &limits;
    FakeSourceWindow w(SourceKind::Ws23, context);
    QCheckBox *outdoor = w.itemBox(WeatherItem::OutdoorTemp);
    QCheckBox *wind = w.itemBox(WeatherItem::WindSpeed);
    QCheckBox *gust = w.itemBox(WeatherItem::WindGust);
    auto *date = w.findChild<QLineEdit *>(QStringLiteral("Editdatemeteo"));
    ASSERT_NE(date, nullptr);
    const QString gustBefore = gust->text();

    SourceDisplay d;
    d.outdoorTemp = {QStringLiteral("Outdoor T (\u00b0C) = 70.0"), true};
    d.wind = {QStringLiteral("Wind (km/h) = 12"), false};
    d.dewPoint = QStringLiteral("Dew point (\u00b0C) = 3.0"); // no such label in this window
    d.dateTime = QStringLiteral("1 Mar 2026 10:05");
    w.showDisplay(d);
    EXPECT_EQ(outdoor->text(), QStringLiteral("Outdoor T (\u00b0C) = 70.0"));
    EXPECT_TRUE(red(outdoor));
    EXPECT_EQ(wind->text(), QStringLiteral("Wind (km/h) = 12"));
    EXPECT_FALSE(red(wind));
    EXPECT_EQ(gust->text(), gustBefore) << "left empty: unchanged";
    EXPECT_EQ(date->text(), QStringLiteral("1 Mar 2026 10:05"));

    // The next reading: "--" without colour keeps the red, an empty date field
    // stays as it is, and an empty caption keeps its text.
    SourceDisplay next;
    next.outdoorTemp = {QStringLiteral("Outdoor T (\u00b0C) = --"), false, false};
    next.wind = {QStringLiteral("Wind (km/h) = 250"), true};
    w.showDisplay(next);
    EXPECT_EQ(outdoor->text(), QStringLiteral("Outdoor T (\u00b0C) = --"));
    EXPECT_TRUE(red(outdoor)) << "its colour kept";
    EXPECT_TRUE(red(wind));
    EXPECT_EQ(date->text(), QStringLiteral("1 Mar 2026 10:05"));
    next.dateTime = QString();
    w.showDisplay(next);
    EXPECT_TRUE(date->text().isEmpty()) << "an empty date is written";
}

TEST(SourceDisplay, MetarCaptionsShowingNoValueKeepTheirColourAndTheDateIsAlwaysWritten)
{
    SourceDisplay d;
    d.outdoorTemp = {QStringLiteral("Outdoor T (\u00b0C) = --"), false};
    d.pressure = {QStringLiteral("Atm. P (mBar) = 1060.0"), true};
    d.direction = {QStringLiteral("Direction (\u00b0) = --"), false};
    d.rain = {QStringLiteral("Raining lightly"), false};
    const SourceDisplay shown = metarDisplayShown(d);
    EXPECT_FALSE(shown.outdoorTemp.coloured);
    EXPECT_FALSE(shown.direction.coloured);
    EXPECT_TRUE(shown.pressure.coloured);
    EXPECT_TRUE(shown.pressure.red);
    EXPECT_TRUE(shown.rain.coloured);
    EXPECT_EQ(shown.dateTime, QString()) << "no report time: the field is cleared";
    d.dateTime = QStringLiteral("7 Dec 2026  10:45:00");
    EXPECT_EQ(metarDisplayShown(d).dateTime, QStringLiteral("7 Dec 2026  10:45:00"));
}
