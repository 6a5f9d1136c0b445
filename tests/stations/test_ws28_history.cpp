// The WS-28xx history file reader, on files the tests build and on a real one.

#include "common/DateTime.h"
#include "engine/WeatherPhrases.h"
#include "stations/Ws28History.h"
#include "support/HistoryFolder.h"
#include "support/QtPrinters.h"
#include "support/StationFiles.h"
#include "support/WavBuilder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr double kStart = 38459.854166666664; // 2005-04-17 20:30, as the station stores it
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

using Rec = Ws28Row;

using History = HistoryFolder<Rec>;

// `n` records `minutes` apart, with the times the station software computes
// (not always exact in binary).
std::vector<Rec> series(int n, int minutes, const std::function<void(int, Rec &)> &each = {})
{
    std::vector<Rec> v;
    for (int i = 0; i < n; ++i) {
        Rec r;
        r.time = kStart + i * minutes / 1440.0;
        if (each)
            each(i, r);
        v.push_back(r);
    }
    return v;
}

// Records at the given day offsets, each with `rain` mm.
std::vector<Rec> atDays(std::initializer_list<double> days, float rain)
{
    std::vector<Rec> v;
    for (double day : days) {
        Rec r;
        r.time = kStart + day;
        r.rain = rain;
        v.push_back(r);
    }
    return v;
}

struct Reading
{
    WeatherSnapshot s;
    SourceDisplay d;
    bool ok = false;
};

Reading read(const QString &path, const Ws28Settings &settings = {})
{
    Reading r;
    r.ok = readWs28History(path, settings, r.s, r.d);
    return r;
}

Ws28Settings relative()
{
    Ws28Settings s;
    s.absolutePressure = false;
    return s;
}

} // namespace

TEST(Ws28History, OneOrTwoRecordsHaveNoIntervalTrendOrEarlierRain)
{
    History h;
    for (int n : {1, 2}) {
        auto v = series(n, 10, [](int i, Rec &r) {
            r.absolute = 990.0f + 5 * i; // would be "rising" with an interval
            r.rain = i == 0 ? 7.0f : 0.5f;
        });
        if (n == 1)
            v[0].rain = 0.5f;
        const Reading r = read(h.write(v));
        ASSERT_TRUE(r.ok) << n;
        EXPECT_EQ(r.s.pressureTrend, 0) << n;
        EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : steady"));
        EXPECT_NEAR(r.s.rain24h, 0.5, 1e-6) << n << ": record 0 takes no part";
        EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = 0.5"));
    }
}

TEST(Ws28History, PressureChoiceSetsValueAndTrendReference)
{
    History h;
    // One-minute records: the hour-back record is b - 60. The absolute field
    // rose 1 hPa since then, the relative one fell 1 hPa; b - 61 and b - 59
    // hold values that would give the other trends.
    const int n = 100, b = n - 1;
    const auto v = series(n, 1, [&](int i, Rec &r) {
        r.absolute = i > b - 60 ? 991.0f : (i == b - 61 ? 992.0f : 990.0f);
        r.relative = i > b - 60 ? 1013.0f : (i == b - 61 ? 1012.0f : 1014.0f);
    });
    const QString path = h.write(v);

    Reading r = read(path);
    ASSERT_TRUE(r.ok);
    EXPECT_DOUBLE_EQ(r.s.pressure, 991);
    EXPECT_EQ(r.d.pressure.text, QStringLiteral("Atm. P (mBar) = 991.0"));
    EXPECT_EQ(r.s.pressureTrend, 1);
    EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : rising"));

    r = read(path, relative());
    EXPECT_DOUBLE_EQ(r.s.pressure, 1013);
    EXPECT_EQ(r.s.pressureTrend, 2);
    EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : falling"));

    Ws28Settings adjusted = relative();
    adjusted.pressureOffset = -2;
    r = read(path, adjusted);
    EXPECT_DOUBLE_EQ(r.s.pressure, 1011);
    EXPECT_EQ(r.s.pressureTrend, 2) << "the offset applies to both ends of the change";
}

TEST(Ws28History, RainSumsTheRecordsOfTheLastDay)
{
    History h;
    // Ten-minute records over a day and a half: 0.1 mm each, 100 mm in the
    // record exactly one day before the last, which is not part of the day.
    const int n = 220, b = n - 1;
    auto v = series(n, 10, [&](int i, Rec &r) { r.rain = i == b - 144 ? 100.0f : 0.1f; });
    Reading r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.s.rain24h, 14.4, 1e-4);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = 14.4"));

    Ws28Settings inches;
    inches.units.setMillimetres(false);
    r = read(h.write(v), inches);
    EXPECT_NEAR(r.s.rain24h, 14.4 * inches.units.rainFactor, 1e-5);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (%1) = %2").arg(inches.units.rainLabel).arg(r.s.rain24h, 0, 'f', 2));

    // The last record is the only one under a day old, whatever the spacing.
    r = read(h.write(atDays({0, 1, 1.2, 2.25}, 3)));
    EXPECT_NEAR(r.s.rain24h, 3, 1e-6);
    r = read(h.write(atDays({0, 2, 4, 6}, 1.5f)));
    EXPECT_NEAR(r.s.rain24h, 1.5, 1e-6) << "records more than a day apart";
    r = read(h.write(atDays({0, 0.1, 0.2, 0.3}, 2)));
    EXPECT_NEAR(r.s.rain24h, 6, 1e-6) << "all but record 0";
    // A last time a hair under the whole second is still a day after record 1.
    r = read(h.write(atDays({0, 0.2, 0.7, 1.2 - 1e-9}, 2)));
    EXPECT_NEAR(r.s.rain24h, 4, 1e-6);

    v.back().rain = -20; // the sum goes negative
    r = read(h.write(v));
    EXPECT_EQ(r.s.rain24h, -1);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = --"));
}

TEST(Ws28History, GustComesFromTheFileAndIsMarkedWithTheWind)
{
    History h;
    auto v = series(3, 10);
    v.back().wind = 3;
    v.back().gust = 50;
    Reading r = read(h.write(v));
    EXPECT_NEAR(r.s.windGust, 180, 1e-4);
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = 180"));
    EXPECT_FALSE(r.d.gust.red);
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = 11"));

    v.back().gust = 70; // 252 km/h: out of the wind limits, but the wind is not
    r = read(h.write(v));
    EXPECT_FALSE(r.d.gust.red);
    EXPECT_FALSE(r.d.wind.red);

    for (float wind : {60.0f, -1.0f}) {
        v.back().wind = wind;
        v.back().gust = 8;
        r = read(h.write(v));
        EXPECT_TRUE(r.d.wind.red) << wind;
        EXPECT_TRUE(r.d.gust.red) << wind;
        EXPECT_EQ(r.s.windChill, -200) << wind;
        EXPECT_NEAR(r.s.windGust, 28.8, 1e-4) << "the gust keeps its own value";
    }
}

TEST(Ws28History, NoWindAndNoGustReadingsAreNotAvailable)
{
    History h;
    auto v = series(3, 10, [](int, Rec &r) {
        r.wind = 51;
        r.gust = 51;
        r.outdoor = -5;
    });
    Reading r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.windSpeed, -1);
    EXPECT_EQ(r.s.windGust, -1);
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = --"));
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = --"));
    EXPECT_FALSE(r.d.wind.red);
    EXPECT_FALSE(r.d.gust.red);
    EXPECT_EQ(r.s.windChill, -200);
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = --"));
    WeatherContext c;
    c.kind = SourceKind::Ws28;
    c.snapshot = r.s;
    c.selection.items.fill(true);
    EXPECT_TRUE(WeatherPhrases::item(5, c).isEmpty()) << "184 km/h is never announced";
    EXPECT_TRUE(WeatherPhrases::item(6, c).isEmpty());

    // A real wind with no gust, and the other way round.
    v.back().wind = 20 / 3.6f;
    r = read(h.write(v));
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = 20"));
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = --"));
    EXPECT_NE(r.s.windChill, -200);
    v.back().wind = 51;
    v.back().gust = 10;
    r = read(h.write(v));
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = 36"));
}

TEST(Ws28History, HumiditiesAndDewPoint)
{
    History h;
    auto v = series(3, 10, [](int, Rec &r) {
        r.outdoor = 20;
        r.outHum = 50;
        r.inHum = 44.6f;
    });
    Reading r = read(h.write(v));
    EXPECT_EQ(r.d.indoorHumidity.text, QStringLiteral("Indoor humidity (%) = 45"));
    EXPECT_EQ(r.d.humidity.text, QStringLiteral("Humidity (%) = 50"));
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = 9.2"));
    EXPECT_FALSE(r.d.humidity.red);

    v.back().outHum = -5;
    r = read(h.write(v));
    ASSERT_TRUE(r.ok) << "a negative humidity is no file error";
    EXPECT_TRUE(r.d.humidity.red);
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = --"));

    v.back().outHum = kNaN;
    v.back().inHum = 101;
    r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.d.humidity.red);
    EXPECT_TRUE(r.d.indoorHumidity.red);
    EXPECT_EQ(r.s.outdoorHumidity, -1);
    EXPECT_EQ(r.d.humidity.text, QStringLiteral("Humidity (%) = --"));
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = --"));
}

TEST(Ws28History, NonNumbersNeverReachTheSnapshot)
{
    History h;
    const float inf = std::numeric_limits<float>::infinity();
    auto v = series(3, 10, [&](int, Rec &r) {
        r.absolute = kNaN;
        r.wind = kNaN;
        r.gust = inf;
        r.rain = kNaN;
        r.indoor = -inf;
        r.outdoor = kNaN;
        r.inHum = inf;
    });
    for (const Ws28Settings &settings : {Ws28Settings{}, relative()}) {
        if (!settings.absolutePressure)
            v.back().relative = inf;
        const Reading r = read(h.write(v), settings);
        ASSERT_TRUE(r.ok);
        for (double value : {r.s.indoorTemp, r.s.outdoorTemp, r.s.pressure, r.s.windSpeed, r.s.windGust, r.s.windChill,
                             r.s.dewPoint, r.s.rain24h, r.s.indoorHumidity, r.s.outdoorHumidity})
            EXPECT_TRUE(std::isfinite(value));
        EXPECT_EQ(r.s.pressure, station::kNotAvailable);
        EXPECT_TRUE(r.d.pressure.red);
        EXPECT_EQ(r.d.pressure.text, QStringLiteral("Atm. P (mBar) = --"));
        EXPECT_EQ(r.s.outdoorTemp, station::kNotAvailable);
        EXPECT_TRUE(r.d.outdoorTemp.red);
        EXPECT_TRUE(r.d.indoorTemp.red);
        EXPECT_EQ(r.d.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = --"));
        EXPECT_TRUE(r.d.wind.red);
        EXPECT_TRUE(r.d.gust.red);
        EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = --"));
        EXPECT_EQ(r.s.rain24h, -1);
        EXPECT_TRUE(r.d.indoorHumidity.red);
    }
}

TEST(Ws28History, RecordTimesDirectionsAndFileErrors)
{
    History h;
    auto v = series(2, 10);
    v[1].direction = 37 | (7 << 8); // only the low 5 bits count: sector 5
    // The station is writing the next record.
    Reading r = read(h.write(v, QByteArray(30, 'x')));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.windDirection, 112) << "112.5 rounds half to even";
    EXPECT_EQ(r.d.direction.text, QStringLiteral("Direction (\u00b0) = 112"));
    EXPECT_EQ(DateTimeUtil::fromDays(r.d.lastRecordTime), QDateTime(QDate(2005, 4, 17), QTime(20, 40)));
    const double newest = r.s.readingTime;

    v[1].direction = 20; // no compass point
    v[1].time = kStart - 1; // older than what was read before
    ASSERT_TRUE(readWs28History(h.write(v), {}, r.s, r.d));
    EXPECT_EQ(r.s.windDirection, -1);
    EXPECT_EQ(r.d.direction.text, QStringLiteral("Direction (\u00b0) = --"));
    EXPECT_EQ(r.s.readingTime, newest) << "the reading time only moves forwards";

    EXPECT_FALSE(read(h.write({}, QByteArray(55, 'x'))).ok) << "no whole record: a file error";
    EXPECT_FALSE(read(h.dir.filePath(QStringLiteral("missing.dat"))).ok);

    // A time that is no date: no reading time, and no last day for the rain.
    v[1].time = std::numeric_limits<double>::infinity();
    r = read(h.write(v));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.s.readingTime, 0);
    EXPECT_EQ(r.s.rain24h, -1);
}

TEST(Ws28History, RealFileDecodedFromItsOwnBytes)
{
    const QString real = QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/ws3600-history.dat");
    QFile src(real);
    ASSERT_TRUE(src.open(QIODevice::ReadOnly)) << "fixture missing";
    const QByteArray all = src.readAll();
    const qint64 count = all.size() / 56;
    ASSERT_EQ(count, 20881);

    // The last record, taken apart here without the reader's decoder.
    const char *last = all.constData() + (count - 1) * 56;
    auto f32 = [&](int offset) {
        quint32 bits = 0;
        for (int i = 3; i >= 0; --i)
            bits = (bits << 8) | static_cast<quint8>(last[offset + i]);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return static_cast<double>(value);
    };
    ASSERT_EQ(static_cast<quint8>(last[20]) & 31, 14);

    const Reading a = read(real);
    const Reading r = read(real, relative());
    ASSERT_TRUE(a.ok);
    ASSERT_TRUE(r.ok);
    EXPECT_DOUBLE_EQ(a.s.pressure, f32(8));
    EXPECT_DOUBLE_EQ(r.s.pressure, f32(12));
    EXPECT_NEAR(r.s.pressure - a.s.pressure, 24.0, 1e-3);
    EXPECT_EQ(a.s.pressureTrend, r.s.pressureTrend) << "the same 24 hPa apart an hour back";
    EXPECT_DOUBLE_EQ(a.s.windSpeed, f32(16) * 3.6);
    EXPECT_DOUBLE_EQ(a.s.windGust, f32(24) * 3.6);
    EXPECT_EQ(a.s.windDirection, 315);
    EXPECT_DOUBLE_EQ(a.s.indoorTemp, f32(36));
    EXPECT_DOUBLE_EQ(a.s.outdoorTemp, f32(40));
    EXPECT_DOUBLE_EQ(a.s.indoorHumidity, f32(44));
    EXPECT_DOUBLE_EQ(a.s.outdoorHumidity, f32(48));
    EXPECT_EQ(a.s.rain24h, 0) << "no rain in the file's last day";
    EXPECT_EQ(DateTimeUtil::fromDays(a.d.lastRecordTime), QDateTime(QDate(2005, 5, 2), QTime(8, 30)));

    // The station writes one record a minute. Cutting the days value to whole
    // seconds lands a second early on some rows; rounding gives the minute on
    // every row.
    int early = 0;
    for (qint64 i = 0; i < count; ++i) {
        const Ws28Record rec = Ws28Record::decode(all.mid(i * 56, 56));
        const QTime t = Ws28Record::toDateTime(rec.time).time();
        ASSERT_EQ(t.second(), 0) << "row " << i;
        ASSERT_EQ(t.msec(), 0) << "row " << i;
        const double seconds = rec.time * 86400;
        if (static_cast<qint64>(std::floor(seconds)) % 60 == 59)
            ++early;
    }
    EXPECT_GT(early, count / 20);
}
