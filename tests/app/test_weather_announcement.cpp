// The weather part of an announcement, the source choice and the units
// window, driven through the windows with a test source.

#include "common/DateTime.h"
#include "support/FakeSourceWindow.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/Lists.h"
#include "support/QtPrinters.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QRadioButton>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kNoon(QDate(2026, 3, 1), QTime(12, 0, 30));


// A WS-23xx test source with outdoor temperature, wind and direction ticked,
// chosen in the choice window; only the weather is spoken.
struct WeatherRig
{
    explicit WeatherRig(MainWindowHarness &harness)
        : h(harness), source(SourceKind::Ws23, harness.windows().sourceContext())
    {
        h.windows().addSourceWindow(&source, ConfigSection::Ws23);
        click(h.find<QCheckBox>("CheckBoxDate"));
        click(h.find<QCheckBox>("CheckBoxHeure"));
        for (WeatherItem i : {WeatherItem::OutdoorTemp, WeatherItem::WindSpeed, WeatherItem::WindDirection})
            click(source.itemBox(i));
        source.setDataPath(QStringLiteral("history.dat"));
        source.read = [this](WeatherSnapshot &s) {
            s.outdoorTemp = this->h.windows().units().temperature(celsius);
            s.windSpeed = 12;
            s.windDirection = 340;
            s.readingTime = DateTimeUtil::toDays(this->h.clock().now()) - ageDays;
        };
        click(h.windows().formChoixMeteo().radioButton(SourceKind::Ws23));
    }
    MainWindowHarness &h;
    FakeSourceWindow source;
    double celsius = -3.5;
    double ageDays = 0;
};

} // namespace

TEST(WeatherAnnouncement, ItemsAreSpokenAfterTheTimeInTheirOrder)
{
    MainWindowHarness h(kNoon);
    WeatherRig rig(h);
    EXPECT_EQ(rig.source.readings, 1) << "choosing the source reads it at once";
    EXPECT_TRUE(rig.source.isVisible());
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON_MINUS", "SON4", "SON_DEGREES", "SON_WIND", "SON12", "SON_KMH",
                              "SON_DIR", "SON_NORTH"}));
    h.find<QAction>("Menu16secteurs")->trigger();
    EXPECT_EQ(h.announce().last(), QStringLiteral("SON_NORTH_NORTH_WEST"));
}

TEST(WeatherAnnouncement, NoSourceNotReadyOrAnErrorLineLeaveTheWeatherOut)
{
    MainWindowHarness h(kNoon);
    WeatherRig rig(h);
    rig.source.setErrorLine(QStringLiteral("File error"));
    EXPECT_TRUE(h.announce().isEmpty());
    rig.source.setErrorLine(QString());
    rig.source.setDataPath(QString());
    EXPECT_TRUE(h.announce().isEmpty()) << "no history file set: not ready";
    rig.source.setDataPath(QStringLiteral("history.dat"));
    click(h.windows().formChoixMeteo().radioButton(SourceKind::None));
    EXPECT_TRUE(h.announce().isEmpty());
    EXPECT_FALSE(rig.source.timer()->isActive());
}

TEST(WeatherAnnouncement, AReadingOlderThanTheChosenLimitIsLeftOut)
{
    MainWindowHarness h(kNoon);
    WeatherRig rig(h);
    h.find<QAction>("MenuAnnonce1h")->trigger();
    rig.ageDays = 60.0 / 1440;
    rig.source.takeReading();
    EXPECT_EQ(h.announce().size(), 9) << "60 minutes old is still spoken";
    rig.ageDays = 61.0 / 1440;
    rig.source.takeReading();
    EXPECT_TRUE(h.announce().isEmpty()) << "61 minutes old is not";
}

TEST(WeatherAnnouncement, FahrenheitRefreshesTheActiveSourceAtOnce)
{
    MainWindowHarness h(kNoon);
    WeatherRig rig(h);
    h.find<QAction>("MenuUnits")->trigger();
    auto *units = &h.windows().formMyUnits();
    ASSERT_TRUE(units->isVisible());
    const int before = rig.source.readings;
    click(units->findChild<QRadioButton *>(QStringLiteral("RadioButtonTc")));
    EXPECT_EQ(rig.source.readings, before) << "the button already checked refreshes nothing";
    click(units->findChild<QRadioButton *>(QStringLiteral("RadioButtonTf")));
    EXPECT_EQ(rig.source.readings, before + 1) << "a change reads the active source again";
    EXPECT_EQ(rig.source.timer()->interval(), 60000);
    EXPECT_EQ(rig.source.unitCaption(WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0F) ="));
    EXPECT_EQ(rig.source.unitCaption(WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) ="));
    WeatherSourceWindow::markPlausible(rig.source.itemBox(WeatherItem::OutdoorTemp), false);
    EXPECT_EQ(rig.source.itemBox(WeatherItem::OutdoorTemp)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(h.announce().mid(0, 3), L({"SON_EXT_TEMP", "SON26", "SON_DEGREES"})) << "-3.5 C is 25.7 F";
    click(units->findChild<QRadioButton *>(QStringLiteral("RadioButtonVm")));
    EXPECT_TRUE(h.announce().contains(QStringLiteral("SON_MPH")));
}

TEST(WeatherAnnouncement, TheWeatherButtonHidesAndShowsTheSourceWindows)
{
    MainWindowHarness h(kNoon);
    WeatherRig rig(h);
    ASSERT_TRUE(rig.source.isVisible());
    auto *button = h.form().findChild<QToolButton *>(QStringLiteral("ButtonInitMeteo"));
    QTest::mouseClick(button, Qt::RightButton);
    EXPECT_FALSE(rig.source.isVisible());
    EXPECT_EQ(rig.source.fileCloses, 1);
    EXPECT_TRUE(h.windows().formChoixMeteo().isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(rig.source.isVisible());
    EXPECT_FALSE(h.windows().formChoixMeteo().isVisible()) << "a source window hides the choice";
    EXPECT_EQ(rig.source.savedGeometry(), h.form().sourceWindowRect()) << "at the shared geometry";
}

TEST(WeatherAnnouncement, MeteoKeyStartsTheSourceAfterTheWholeFile)
{
    QTemporaryDir dir;
    const QString dat = dir.filePath(QStringLiteral("history.dat"));
    ASSERT_TRUE(writeFile(dat, ws23Series(3)));
    {
        QFile f(dir.filePath(QStringLiteral("auravox.ini")));
        f.open(QIODevice::WriteOnly);
        f.write("[AURAVOX V2.2.3]\r\nMETEO=W23\r\nW23_TEMPEXT=Y\r\nW23_DAT=" + dat.toUtf8() + "\r\nUNITTC=N\r\n");
    }
    MainWindowHarness h(kNoon, true, nullptr, dir.path());
    TFormMeteoW23 &source = h.windows().formMeteoW23();
    // The reading ran with the file, the unit and the ticked item of lines that
    // come after METEO= in the file.
    EXPECT_EQ(source.itemBox(WeatherItem::OutdoorTemp)->text(), QStringLiteral("Outdoor T (\u00b0F) = 53.6"));
    EXPECT_TRUE(source.itemBox(WeatherItem::OutdoorTemp)->isChecked());
    EXPECT_TRUE(source.timer()->isActive());
    ASSERT_TRUE(h.form().SaveConfiguration());
    const QByteArray saved = readFile(dir.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(saved.contains("UNITRM=Y\r\nMETEO=W23\r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("W23_TEMPEXT=Y\r\nW23_METPERI=1\r\nW23_DAT=" + dat.toUtf8())) << saved.toStdString();
}

TEST(WeatherAnnouncement, EdgeCasesThroughTheCapturedAudio)
{
    struct Case
    {
        const char *what;
        std::function<void(WeatherSnapshot &)> set;
        std::initializer_list<WeatherItem> items;
        bool imperial;
        SourceKind kind;
        QStringList clips;
    };
    using W = WeatherItem;
    namespace P = Precipitation;
    const std::vector<Case> cases = {
        {"0.4 C", [](WeatherSnapshot &s) { s.outdoorTemp = 0.4; }, {W::OutdoorTemp}, false, SourceKind::Ws23,
         L({"SON_EXT_TEMP", "SON0", "SON_DEGREES"})},
        {"1013.4 hPa", [](WeatherSnapshot &s) { s.pressure = 1013.4; }, {W::Pressure}, false, SourceKind::Ws23,
         L({"SON_PRESSURE", "SON1000_AND", "SON13", "SON_MILLIBARS"})},
        {"998 hPa", [](WeatherSnapshot &s) { s.pressure = 998; }, {W::Pressure}, false, SourceKind::Ws23,
         L({"SON_PRESSURE", "SON900_AND", "SON98", "SON_MILLIBARS"})},
        {"1000 hPa", [](WeatherSnapshot &s) { s.pressure = 1000; }, {W::Pressure}, false, SourceKind::Ws23,
         L({"SON_PRESSURE", "SON1000", "SON_MILLIBARS"})},
        {"29.92 inHg", [](WeatherSnapshot &s) { s.pressure = 29.92; }, {W::Pressure}, true, SourceKind::Ws23,
         L({"SON_PRESSURE", "SON29", "SON_POINT", "SON9", "SON2", "SON_INHG"})},
        {"30.00 inHg", [](WeatherSnapshot &s) { s.pressure = 30.0; }, {W::Pressure}, true, SourceKind::Ws23,
         L({"SON_PRESSURE", "SON30", "SON_INHG"})},
        {"calm from 270",
         [](WeatherSnapshot &s) {
             s.windSpeed = 0;
             s.windDirection = 270;
         },
         {W::WindSpeed, W::WindDirection}, false, SourceKind::Ws23, L({"SON_WIND", "SON_NULL"})},
        {"gust 3 km/h", [](WeatherSnapshot &s) { s.windGust = 3; }, {W::WindGust}, false, SourceKind::Ws23, {}},
        {"rain 0 mm", [](WeatherSnapshot &s) { s.rain24h = 0; }, {W::Rain24h}, false, SourceKind::Ws23,
         L({"SON_RAIN24", "SON_NULL"})},
        {"rain 0.25 inch", [](WeatherSnapshot &s) { s.rain24h = 0.25; }, {W::Rain24h}, true, SourceKind::Ws23,
         L({"SON_RAIN24", "SON0", "SON_POINT", "SON2", "SON5", "SON_INCH"})},
        {"light rain", [](WeatherSnapshot &s) { s.precipitation = P::Light | P::Rain; }, {W::Rain24h}, false,
         SourceKind::Metar, L({"SON_RAINING", "SON_LIGHTLY"})},
        {"light snow with mist", [](WeatherSnapshot &s) { s.precipitation = P::Light | P::Snow | P::Mist; },
         {W::Rain24h}, false, SourceKind::Metar, L({"SON_SNOWING"})},
        {"fog", [](WeatherSnapshot &s) { s.precipitation = P::Fog; }, {W::Rain24h}, false, SourceKind::Metar,
         L({"SON_FOG"})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MainWindowHarness h(kNoon);
        FakeSourceWindow source(c.kind, h.windows().sourceContext());
        h.windows().addSourceWindow(&source, ConfigSection::Ws23);
        click(h.find<QCheckBox>("CheckBoxDate"));
        click(h.find<QCheckBox>("CheckBoxHeure"));
        for (WeatherItem i : c.items)
            click(source.itemBox(i));
        if (c.imperial) {
            auto &u = h.windows().formMyUnits();
            for (const char *b : {"RadioButtonTf", "RadioButtonPi", "RadioButtonVm", "RadioButtonRi"})
                click(u.findChild<QRadioButton *>(QLatin1String(b)));
        }
        source.setDataPath(QStringLiteral("report.txt"));
        source.read = [&](WeatherSnapshot &s) {
            c.set(s);
            s.readingTime = DateTimeUtil::toDays(h.clock().now());
        };
        click(h.windows().formChoixMeteo().radioButton(c.kind));
        EXPECT_EQ(h.announce(), c.clips);
    }
}
