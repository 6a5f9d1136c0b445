// The WS-23xx, WS-28xx and Vantage Pro2 windows, driven as a user does:
// Browse, Refresh, the timer, the pressure controls, the keys of the
// configuration file, and what the announcement then says.

#include "common/DateTime.h"
#include "support/Lists.h"
#include "support/Clicks.h"
#include "support/MainWindowHarness.h"
#include "support/QtPrinters.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace auravox;
using namespace auravox::test;

namespace {

const QDateTime kStart(QDate(2026, 3, 1), QTime(10, 5, 30));

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

bool red(QWidget *w)
{
    return w->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

QString caption(WeatherSourceWindow &w, WeatherItem item)
{
    return w.itemBox(item)->text();
}

QByteArray ws23File(int count, const std::function<void(int, Ws23Row &)> &each = {})
{
    QByteArray all;
    for (int i = 0; i < count; ++i) {
        Ws23Row r;
        r.stamp += static_cast<quint32>(i * 600);
        if (each)
            each(i, r);
        all += r.bytes();
    }
    return all;
}

} // namespace

TEST(StationWindows, BrowseReadsTheFileShowsItAndTheAnnouncementSpeaksIt)
{
    MainWindowHarness h(kStart);
    TFormMeteoW23 &w = h.windows().formMeteoW23();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Lacrosse WS-2310 / 2315 / 2355+"));
    EXPECT_EQ(caption(w, WeatherItem::Pressure), QStringLiteral("atm. P (mBar) ="));
    const QString path = h.folder() + QStringLiteral("/history.dat");
    ASSERT_TRUE(writeFile(path, ws23File(3, [](int, Ws23Row &r) {
                              r.outdoor = -3.4f;
                              r.wind = 5; // 18 km/h
                              r.direction = 8;
                          })));

    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_EQ(h.prompts().lastFilter, QStringLiteral("Fichiers history.dat|*.dat"));
    EXPECT_EQ(h.prompts().lastSuffix, QStringLiteral("dat"));
    EXPECT_EQ(w.dataPath(), path);
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = -3.4"));
    EXPECT_EQ(caption(w, WeatherItem::WindSpeed), QStringLiteral("Wind (km/h) = 18"));
    EXPECT_EQ(child<QLabel>(w, "Label6")->text(), QStringLiteral("mBars"));
    EXPECT_FALSE(child<QLineEdit>(w, "Editdatemeteo")->text().isEmpty());
    EXPECT_TRUE(w.errorLine().isEmpty());
    EXPECT_TRUE(w.timer()->isActive()) << "Refresh sets the period and starts the timer";
    EXPECT_EQ(w.timer()->interval(), 60000);

    click(child<QCheckBox>(h.form(), "CheckBoxDate"));
    click(child<QCheckBox>(h.form(), "CheckBoxHeure"));
    click(w.itemBox(WeatherItem::OutdoorTemp));
    click(w.itemBox(WeatherItem::WindSpeed));
    click(h.windows().formChoixMeteo().radioButton(SourceKind::Ws23));
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON_MINUS", "SON3", "SON_DEGREES", "SON_WIND", "SON18", "SON_KMH"}));

    // Cancelling changes nothing; a file that is not there is refused.
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_EQ(w.dataPath(), path);
    h.prompts().nextFileNames << h.folder() + QStringLiteral("/nowhere.dat");
    const int beeps = h.prompts().beeps;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_EQ(h.prompts().beeps, beeps + 1);
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error"));
    EXPECT_TRUE(w.dataPath().isEmpty());
    EXPECT_EQ(caption(w, WeatherItem::IndoorTemp), QStringLiteral("Indoor T(\u00b0C) = "));
    EXPECT_TRUE(h.announce().isEmpty()) << "no file, no weather";
}

TEST(StationWindows, AFileErrorStaysUntilTheNextBrowseAndTheTimerRunsOn)
{
    MainWindowHarness h(kStart);
    TFormMeteoW23 &w = h.windows().formMeteoW23();
    const QString path = h.folder() + QStringLiteral("/history.dat");
    ASSERT_TRUE(writeFile(path, ws23File(4)));
    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    ASSERT_TRUE(w.errorLine().isEmpty());
    const QString before = caption(w, WeatherItem::OutdoorTemp);

    ASSERT_TRUE(writeFile(path, QByteArray(20, 'x'))); // shorter than one record
    const int beeps = h.prompts().beeps;
    w.TimerMeteoTimer();
    EXPECT_EQ(h.prompts().beeps, beeps + 1);
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error"));
    EXPECT_TRUE(w.timer()->isActive());
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), before) << "earlier values stay";

    ASSERT_TRUE(writeFile(path, ws23File(5, [](int, Ws23Row &r) { r.outdoor = 7; })));
    w.TimerMeteoTimer();
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 7.0"));
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error")) << "only Browse clears it";

    // A file that went away: nothing is read or reported.
    QFile::remove(path);
    w.TimerMeteoTimer();
    EXPECT_EQ(h.prompts().beeps, beeps + 1);
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdoor T (\u00b0C) = 7.0"));
    EXPECT_TRUE(w.timer()->isActive());

    ASSERT_TRUE(writeFile(path, ws23File(5)));
    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_TRUE(w.errorLine().isEmpty());
}

TEST(StationWindows, TheTrendThresholdIsSharedAndInchesRelabelThePressureControls)
{
    MainWindowHarness h(kStart);
    TFormMeteoW23 &w23 = h.windows().formMeteoW23();
    w23.trendThresholdEdit()->setValue(7);
    EXPECT_DOUBLE_EQ(h.windows().weatherContext().limits.trendThreshold, 0.7);

    // Pro2: a rise of 0.6 hPa in an hour is steady with 0.7, rising with 0.5.
    TFormMeteoPro2 &pro2 = h.windows().formMeteoPro2();
    pro2.currentMonthBox()->setChecked(false);
    const QString path = h.folder() + QStringLiteral("/2026-03.wlk");
    ASSERT_TRUE(writeFile(path, wlkFile({20}, [](int, int i) {
                              WlkRow r;
                              r.minute = static_cast<quint16>(600 + 5 * i);
                              r.barometer = static_cast<quint16>(i >= 8 ? 29939 : 29921); // +0.61 hPa
                              return r;
                          })));
    pro2.setDataPath(path);
    pro2.ButtonRafraichirClick();
    EXPECT_EQ(caption(pro2, WeatherItem::PressureTrend), QStringLiteral("Trend : steady"));
    pro2.trendThresholdEdit()->setValue(5);
    pro2.ButtonRafraichirClick();
    EXPECT_EQ(caption(pro2, WeatherItem::PressureTrend), QStringLiteral("Trend : rising"));

    click(child<QRadioButton>(h.windows().formMyUnits(), "RadioButtonPi"));
    pro2.ButtonRafraichirClick();
    EXPECT_EQ(child<QLabel>(pro2, "Label6")->text(), QStringLiteral("0.01*inHg"));
    EXPECT_EQ(child<QLabel>(pro2, "Label9")->text(), QStringLiteral("0.01*inHg"));
    EXPECT_TRUE(caption(pro2, WeatherItem::Pressure).startsWith(QStringLiteral("Atm. P (inHg) = 29.9")))
        << caption(pro2, WeatherItem::Pressure).toStdString();
}

TEST(StationWindows, Ws28PressureChoiceAndGustMarking)
{
    MainWindowHarness h(kStart);
    TFormMeteoW28 &w = h.windows().formMeteoW28();
    EXPECT_EQ(caption(w, WeatherItem::OutdoorTemp), QStringLiteral("Outdor T (\u00b0C) ="));
    const QString path = h.folder() + QStringLiteral("/history.dat");
    QByteArray file;
    for (int i = 0; i < 3; ++i) {
        Ws28Row r;
        r.time += i / 144.0;
        r.gust = 50; // 180 km/h, a plausible wind beside it
        file += r.bytes();
    }
    ASSERT_TRUE(writeFile(path, file));
    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_EQ(caption(w, WeatherItem::Pressure), QStringLiteral("Atm. P (mBar) = 990.0"));
    EXPECT_EQ(caption(w, WeatherItem::WindGust), QStringLiteral("Gust (km/h) = 180"));
    EXPECT_FALSE(red(w.itemBox(WeatherItem::WindGust)));

    click(w.relativeButton());
    EXPECT_EQ(caption(w, WeatherItem::Pressure), QStringLiteral("Atm. P (mBar) = 1014.0")) << "a click reads at once";
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_TRUE(readFile(h.folder() + QStringLiteral("/auravox.ini")).contains("W28_PABS=N\r\nW28_POFFSET=0\r\n"));

    // A wind out of limits marks the gust too.
    file.chop(56);
    Ws28Row storm;
    storm.time += 2 / 144.0;
    storm.wind = 60; // 216 km/h
    file += storm.bytes();
    ASSERT_TRUE(writeFile(path, file));
    click(child<QPushButton>(w, "ButtonRafraichir"));
    EXPECT_TRUE(red(w.itemBox(WeatherItem::WindSpeed)));
    EXPECT_TRUE(red(w.itemBox(WeatherItem::WindGust)));
}

TEST(StationWindows, Pro2FollowsTheMonthAndASuccessClearsTheError)
{
    QTemporaryDir data;
    MainWindowHarness h(QDateTime(QDate(2009, 4, 1), QTime(0, 10, 30)));
    TFormMeteoPro2 &w = h.windows().formMeteoPro2();
    EXPECT_TRUE(w.currentMonthBox()->isChecked());
    auto month = [](quint16 lastMinute) {
        return wlkFile({1}, [lastMinute](int, int) {
            WlkRow r;
            r.minute = lastMinute;
            return r;
        });
    };
    const QString march = data.filePath(QStringLiteral("2009-03.wlk"));
    ASSERT_TRUE(writeFile(march, month(1440)));
    h.prompts().nextFileNames << march;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_EQ(h.prompts().lastFilter, QStringLiteral("Fichier weatherlink wlk|*.wlk"));
    EXPECT_EQ(w.dataPath(), march) << "April's file is not there yet";
    EXPECT_TRUE(child<QLineEdit>(w, "Editdatemeteo")->text().endsWith(QStringLiteral(" 00:00")))
        << child<QLineEdit>(w, "Editdatemeteo")->text().toStdString();

    const QString april = data.filePath(QStringLiteral("2009-04.wlk"));
    ASSERT_TRUE(writeFile(april, month(5)));
    w.TimerMeteoTimer();
    EXPECT_EQ(w.dataPath(), april);
    ASSERT_TRUE(h.form().SaveConfiguration());
    EXPECT_TRUE(readFile(h.folder() + QStringLiteral("/auravox.ini")).contains(("PRO2_DAT=" + april).toUtf8()));

    // A damaged file, then a good one again: the error goes by itself.
    ASSERT_TRUE(writeFile(april, QByteArray(100, '\0')));
    w.TimerMeteoTimer();
    EXPECT_EQ(w.errorLine(), QStringLiteral("File error"));
    ASSERT_TRUE(writeFile(april, month(5)));
    w.TimerMeteoTimer();
    EXPECT_TRUE(w.errorLine().isEmpty());
}

TEST(StationWindows, Pro2MonthWithADayMissingIsDatedFromItsLastDayAndSpoken)
{
    // The station was off on the 3rd: the readings of the 4th are today's, so
    // "Ignore if more than one hour timestamped" still lets them be spoken.
    QTemporaryDir data;
    MainWindowHarness h(QDateTime(QDate(2016, 4, 4), QTime(10, 20, 30)));
    h.find<QAction>("MenuAnnonce1h")->trigger();
    click(h.find<QCheckBox>("CheckBoxDate"));
    click(h.find<QCheckBox>("CheckBoxHeure"));
    TFormMeteoPro2 &w = h.windows().formMeteoPro2();
    w.currentMonthBox()->setChecked(false);
    click(w.itemBox(WeatherItem::OutdoorTemp));
    const QString path = data.filePath(QStringLiteral("2016-04.wlk"));
    ASSERT_TRUE(writeFile(path, wlkFile({2, 2, 0, 2}, [](int, int i) {
                              WlkRow r;
                              r.minute = static_cast<quint16>(600 + 5 * i);
                              r.outdoor = 680; // 20 C
                              return r;
                          })));
    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    click(h.windows().formChoixMeteo().radioButton(SourceKind::Pro2));
    ASSERT_TRUE(w.errorLine().isEmpty());
    EXPECT_EQ(DateTimeUtil::fromDays(w.snapshot().readingTime), QDateTime(QDate(2016, 4, 4), QTime(10, 5)));
    EXPECT_EQ(h.announce(), L({"SON_EXT_TEMP", "SON20", "SON_DEGREES"}));
}

TEST(StationWindows, TheirKeysLoadAndSave)
{
    QTemporaryDir dir;
    const QString dat = dir.filePath(QStringLiteral("history.dat"));
    ASSERT_TRUE(writeFile(dat, ws23File(2)));
    const QByteArray ini = "[AURAVOX V2.2.3]\r\nW23_TEMPEXT=Y\r\nW23_METPERI=5\r\nW23_DAT=" + dat.toUtf8() +
                           "\r\nW23_POFFSET=-12\r\nW23_SEUILTEN=30\r\nW28_DAT=/nowhere/history.dat\r\nW28_PABS=x\r\n"
                           "PRO2_SEUILTEN=2\r\nPRO2_NEW=N\r\n";
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("auravox.ini")), ini));
    MainWindowHarness h(kStart, true, nullptr, dir.path());
    TFormMeteoW23 &w23 = h.windows().formMeteoW23();
    EXPECT_TRUE(w23.itemBox(WeatherItem::OutdoorTemp)->isChecked());
    EXPECT_EQ(w23.dataPath(), dat);
    EXPECT_EQ(w23.pressureOffsetEdit()->value(), -12);
    EXPECT_EQ(w23.trendThresholdEdit()->value(), 9) << "brought into 1..9";
    EXPECT_EQ(w23.timer()->interval(), 5 * 60000);
    EXPECT_EQ(h.windows().formMeteoW28().errorLine(), QStringLiteral("File error"));
    EXPECT_TRUE(h.windows().formMeteoW28().relativeButton()->isChecked());
    EXPECT_FALSE(h.windows().formMeteoPro2().currentMonthBox()->isChecked());

    ASSERT_TRUE(h.form().SaveConfiguration());
    const QByteArray saved = readFile(dir.filePath(QStringLiteral("auravox.ini")));
    EXPECT_TRUE(saved.contains("W23_TEMPEXT=Y\r\nW23_METPERI=5\r\nW23_DAT=" + dat.toUtf8() +
                               "\r\nW23_POFFSET=-12\r\nW23_SEUILTEN=9\r\nW28_METPERI=1\r\nW28_PABS=N\r\n"
                               "W28_POFFSET=0\r\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.contains("PRO2_METPERI=1\r\nPRO2_POFFSET=0\r\nPRO2_SEUILTEN=2\r\nPRO2_NEW=N\r\n"))
        << saved.toStdString();
}

TEST(StationWindows, TheRealWs23FileMarksItsLastRecordAndSpeaksNoneOfIt)
{
    MainWindowHarness h(kStart);
    TFormMeteoW23 &w = h.windows().formMeteoW23();
    const QString path = h.folder() + QStringLiteral("/history.dat");
    ASSERT_TRUE(QFile::copy(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws2300-history.dat"), path));
    h.prompts().nextFileNames << path;
    click(child<QPushButton>(w, "ButtonParcourir"));
    EXPECT_TRUE(red(w.itemBox(WeatherItem::OutdoorTemp)));
    EXPECT_TRUE(red(w.itemBox(WeatherItem::OutdoorHumidity)));
    EXPECT_EQ(caption(w, WeatherItem::WindChill), QStringLiteral("Wind chill (\u00b0C) = --"));
    EXPECT_EQ(child<QLabel>(w, "LabelTros")->text(), QStringLiteral("Dew point (\u00b0C) = --"));

    click(child<QCheckBox>(h.form(), "CheckBoxDate"));
    click(child<QCheckBox>(h.form(), "CheckBoxHeure"));
    click(w.itemBox(WeatherItem::OutdoorTemp));
    click(w.itemBox(WeatherItem::OutdoorHumidity));
    click(h.windows().formChoixMeteo().radioButton(SourceKind::Ws23));
    EXPECT_TRUE(h.announce().isEmpty()) << "81.1 C and 110 % are not spoken";
}
