// The WS-23xx history file reader, on files the tests build and on a real one.

#include "common/DateTime.h"
#include "engine/WeatherPhrases.h"
#include "stations/Ws23History.h"
#include "support/HistoryFolder.h"
#include "support/QtPrinters.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace auravox;
using namespace auravox::test;

namespace {

using Rec = Ws23Row;

using History = HistoryFolder<Rec>;

// `n` records `minutes` apart, the last one made by `last`.
std::vector<Rec> series(int n, int minutes, const std::function<void(int, Rec &)> &each = {})
{
    std::vector<Rec> v;
    for (int i = 0; i < n; ++i) {
        Rec r;
        r.stamp = 3477367440u + static_cast<quint32>(i * minutes * 60);
        if (each)
            each(i, r);
        v.push_back(r);
    }
    return v;
}

struct Reading
{
    WeatherSnapshot s;
    Ws23Display d;
    bool ok = false;
};

Reading read(const QString &path, const Ws23Settings &settings = {})
{
    Reading r;
    r.ok = readWs23History(path, settings, r.s, r.d);
    return r;
}

} // namespace

TEST(Ws23History, OneOrTwoRecordsHaveNoIntervalTrendOrRain)
{
    History h;
    for (int n : {1, 2}) {
        const Reading r = read(h.write(series(n, 10)));
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.s.pressureTrend, 0);
        EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : steady"));
        EXPECT_EQ(r.s.rain24h, -1);
        EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = --"));
        EXPECT_DOUBLE_EQ(r.s.windGust, r.s.windSpeed);
    }
}

TEST(Ws23History, TimeStampsDirectionsAndAPartialRecord)
{
    History h;
    std::vector<Rec> v = series(1, 10);
    v[0].stamp = 0;
    v[0].direction = 37 | (7 << 8); // only the low 5 bits count: sector 5
    const Reading r = read(h.write(v, QByteArray(28, 'x'))); // the station is writing the next record
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(DateTimeUtil::fromDays(r.d.lastRecordTime), QDateTime(QDate(1900, 1, 1), QTime(1, 0)));
    EXPECT_EQ(r.s.windDirection, 112) << "112.5 rounds half to even";
    EXPECT_EQ(r.d.direction.text, QStringLiteral("Direction (\u00b0) = 112"));
    EXPECT_FALSE(read(h.write({}, QByteArray(35, 'x'))).ok) << "no whole record: a file error";
    EXPECT_FALSE(read(h.dir.filePath(QStringLiteral("missing.dat"))).ok);
}

TEST(Ws23History, TrendRainAndGustFromTheRightRecords)
{
    History h;
    // Ten-minute records over two days: pressure up 1 hPa in the last hour,
    // rain 3.5 mm in the last day, one gust of 8 m/s nine records back.
    const auto v = series(300, 10, [](int i, Rec &r) {
        r.pressure = i >= 294 ? 1011.0f : 1010.0f; // record 293 is the one an hour back
        r.rain = i >= 300 - 144 ? 13.5f : 10.0f;
        r.wind = i == 290 ? 8.0f : (i == 289 ? 20.0f : 2.0f);
    });
    Reading r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.pressureTrend, 1);
    EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : rising"));
    EXPECT_NEAR(r.s.rain24h, 3.5, 1e-6);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = 3.5"));
    EXPECT_NEAR(r.s.windGust, 8 * 3.6, 1e-4) << "the tenth record back (20 m/s) takes no part";
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = 29"));

    // A rain counter that went back (reset): not available.
    auto reset = v;
    reset.back().rain = 1;
    r = read(h.write(reset));
    EXPECT_EQ(r.s.rain24h, -1);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = --"));
}

TEST(Ws23History, WindChillAndDewPoint)
{
    History h;
    auto v = series(3, 10, [](int, Rec &r) {
        r.outdoor = 0;
        r.wind = 20 / 3.6f;
    });
    Reading r = read(h.write(v));
    EXPECT_NEAR(r.s.windChill, -5.24, 0.005);
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = -5.2"));

    v.back().wind = 1.2f; // 4.32 km/h, under 5
    r = read(h.write(v));
    EXPECT_EQ(r.s.windChill, -200);
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = --"));

    Ws23Settings imperial;
    imperial.units.setCelsius(false);
    imperial.units.setKmh(false);
    v.back().outdoor = 10; // 50 F
    v.back().wind = static_cast<float>(20 / imperial.units.windFactor / 3.6); // 20 mph
    r = read(h.write(v), imperial);
    EXPECT_NEAR(r.s.windChill, 43.6, 0.05);
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0F) = 43.6"));

    v.back().outdoor = 20;
    v.back().outHum = 50;
    r = read(h.write(v));
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = 9.2"));
    v.back().outHum = -5;
    r = read(h.write(v));
    ASSERT_TRUE(r.ok) << "a negative humidity is no file error";
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = --"));
    EXPECT_TRUE(r.d.humidity.red);
}

TEST(Ws23History, NoWindReadingIsNotAvailable)
{
    History h;
    auto v = series(12, 10, [](int i, Rec &r) { r.wind = i == 5 ? 3.0f : 51.0f; });
    Reading r = read(h.write(v));
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = --"));
    EXPECT_NEAR(r.s.windGust, 3 * 3.6, 1e-4) << "51.0 m/s takes no part in the gust";
    EXPECT_EQ(r.s.windChill, -200);
    WeatherContext c;
    c.kind = SourceKind::Ws23;
    c.snapshot = r.s;
    c.selection.set(WeatherItem::WindSpeed, true);
    EXPECT_TRUE(WeatherPhrases::item(5, c).isEmpty()) << "184 km/h is never announced";
}

TEST(Ws23History, RealFileAgainstItsOwnExport)
{
    const QString real = QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws2300-history.dat");
    QFile src(real);
    ASSERT_TRUE(src.open(QIODevice::ReadOnly)) << "fixture missing";
    const QByteArray all = src.readAll();
    const qint64 count = all.size() / 36;
    EXPECT_EQ(count, 3717);

    // The last record with an outdoor sensor.
    qint64 last = count - 1;
    while (last > 0 && Ws23Record::decode(all.mid(last * 36, 36)).outdoorTemp > 60)
        --last;
    ASSERT_GT(last, 3000);

    QFile exportFile(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws2300-history-export.txt"));
    ASSERT_TRUE(exportFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = exportFile.readAll().split('\n');
    // Two header lines, then one row per record.
    const QList<QByteArray> f = rows.at(static_cast<int>(last) + 2).trimmed().split('\t');
    auto num = [&](int column) { return QString::fromLatin1(f.at(column)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(); };

    History h;
    const QString path = h.dir.filePath(QStringLiteral("history.dat"));
    ASSERT_TRUE(writeFile(path, all.left((last + 1) * 36)));
    Ws23Settings settings;
    settings.pressureOffset = 10; // the export shows the relative pressure, 10 hPa over the stored one
    const Reading r = read(path, settings);
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.s.pressure, num(0), 0.051);
    EXPECT_NEAR(r.s.indoorTemp, num(1), 0.051);
    EXPECT_EQ(r.s.indoorHumidity, num(2));
    EXPECT_NEAR(r.s.outdoorTemp, num(3), 0.051);
    EXPECT_EQ(r.s.outdoorHumidity, num(4));
    EXPECT_NEAR(r.s.windSpeed, num(7), 0.1) << "the export cuts the km/h to one decimal";
    EXPECT_FALSE(r.d.outdoorTemp.red);

    // The whole file: its last record has no outdoor sensor.
    const Reading whole = read(real);
    ASSERT_TRUE(whole.ok) << "the 28-byte trailer is a partial record";
    EXPECT_TRUE(whole.d.outdoorTemp.red);
    EXPECT_TRUE(whole.d.humidity.red);
    WeatherContext c;
    c.kind = SourceKind::Ws23;
    c.snapshot = whole.s;
    c.selection.items.fill(true);
    EXPECT_TRUE(WeatherPhrases::item(2, c).isEmpty()) << "81.1 C is not spoken";
    EXPECT_TRUE(WeatherPhrases::item(11, c).isEmpty()) << "110 % is not spoken";
    EXPECT_EQ(DateTimeUtil::fromDays(whole.d.lastRecordTime).date(), QDate(2013, 4, 27));
}

TEST(Ws23History, BadBytesNeverReachTheSnapshot)
{
    // The real file's last 36 bytes: the end of a record and the 28-byte
    // trailer, read as one record. Its direction field holds sector 20.
    QFile src(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws2300-history.dat"));
    ASSERT_TRUE(src.open(QIODevice::ReadOnly)) << "fixture missing";
    History h;
    Reading r = read(h.write({}, src.readAll().right(36)));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.windDirection, -1);
    EXPECT_EQ(r.d.direction.text, QStringLiteral("Direction (\u00b0) = --"));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto v = series(200, 10, [&](int, Rec &rec) {
        rec.pressure = nan;
        rec.wind = inf;
        rec.indoor = -inf;
        rec.outdoor = nan;
        rec.direction = 16;
    });
    v.back().rain = inf;
    r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    for (double value : {r.s.indoorTemp, r.s.outdoorTemp, r.s.pressure, r.s.windSpeed, r.s.windGust, r.s.windChill,
                         r.s.dewPoint, r.s.rain24h})
        EXPECT_TRUE(std::isfinite(value));
    EXPECT_EQ(r.s.pressure, station::kNotAvailable);
    EXPECT_TRUE(r.d.pressure.red);
    EXPECT_EQ(r.d.pressure.text, QStringLiteral("Atm. P (mBar) = --"));
    EXPECT_EQ(r.s.outdoorTemp, station::kNotAvailable);
    EXPECT_TRUE(r.d.outdoorTemp.red);
    EXPECT_TRUE(r.d.indoorTemp.red);
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = --"));
    EXPECT_TRUE(r.d.wind.red);
    EXPECT_EQ(r.s.rain24h, -1) << "an infinite rain counter";
    EXPECT_EQ(r.s.windDirection, -1) << "sector 16 is no compass point";
}
