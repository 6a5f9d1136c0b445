// The WeatherLink monthly archive reader, on archives the tests build and on a
// real one.

#include "common/DateTime.h"
#include "engine/WeatherPhrases.h"
#include "stations/Pro2Archive.h"
#include "support/QtPrinters.h"
#include "support/WavBuilder.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>

using namespace auravox;
using namespace auravox::test;

namespace {

struct Rec
{
    quint8 type = 1;
    quint8 interval = 5;
    quint16 minutes = 600;
    qint16 outdoor = 700;
    qint16 indoor = 700;
    quint16 barometer = 29921;
    quint16 outHum = 500;
    quint16 inHum = 400;
    quint8 clicks = 0;
    quint8 collector = 16;
    quint16 wind = 50; // 8.05 km/h
    quint16 high = 80; // 12.9 km/h
    quint8 direction = 4;
};

QByteArray encode(const Rec &r)
{
    QByteArray b(88, '\0');
    char *p = b.data();
    p[0] = static_cast<char>(r.type);
    p[1] = static_cast<char>(r.interval);
    qToLittleEndian<quint16>(r.minutes, p + 4);
    qToLittleEndian<qint16>(r.outdoor, p + 6);
    qToLittleEndian<qint16>(r.indoor, p + 12);
    qToLittleEndian<quint16>(r.barometer, p + 14);
    qToLittleEndian<quint16>(r.outHum, p + 16);
    qToLittleEndian<quint16>(r.inHum, p + 18);
    p[20] = static_cast<char>(r.clicks);
    p[21] = static_cast<char>(r.collector);
    qToLittleEndian<quint16>(r.wind, p + 24);
    qToLittleEndian<quint16>(r.high, p + 26);
    p[28] = static_cast<char>(r.direction);
    return b;
}

// A header whose day index has records on days 1..`lastDay`.
QByteArray header(qint32 count, int lastDay)
{
    QByteArray h(212, '\0');
    memcpy(h.data(), "WDAT5.3", 7);
    qToLittleEndian<qint32>(count, h.data() + 16);
    for (int day = 1; day <= lastDay; ++day)
        qToLittleEndian<quint16>(288, h.data() + 20 + 6 * day);
    return h;
}

QByteArray archive(const std::vector<Rec> &records, int lastDay = 10, qint64 declared = -1)
{
    QByteArray all = header(static_cast<qint32>(declared < 0 ? qint64(records.size()) : declared), lastDay);
    for (const Rec &r : records)
        all += encode(r);
    return all;
}

// `n` weather records `interval` minutes apart, changed by `each`.
std::vector<Rec> series(int n, int interval = 5, const std::function<void(int, Rec &)> &each = {})
{
    std::vector<Rec> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        v[size_t(i)].interval = static_cast<quint8>(interval);
        v[size_t(i)].minutes = static_cast<quint16>((i + 1) * interval % 1440);
        if (each)
            each(i, v[size_t(i)]);
    }
    return v;
}

struct Reading
{
    WeatherSnapshot s;
    SourceDisplay d;
    Pro2Outcome outcome = Pro2Outcome::Missing;
    QString path;
};

struct Folder
{
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("2016-04.wlk"))
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    Reading read(const QByteArray &bytes, const Pro2Settings &settings = noSearch())
    {
        return readAt(write(bytes), settings);
    }
    static Reading readAt(const QString &path, const Pro2Settings &settings = noSearch(), Reading r = {})
    {
        r.path = path;
        r.outcome = readPro2Archive(r.path, settings, r.s, r.d);
        return r;
    }
    static Pro2Settings noSearch()
    {
        Pro2Settings s;
        s.searchCurrentMonth = false;
        return s;
    }
    QTemporaryDir dir;
};

QDateTime timeOf(const Reading &r)
{
    return DateTimeUtil::fromDays(r.s.readingTime);
}

} // namespace

TEST(Pro2Archive, RecordTimeAndTheDayOfTheData)
{
    Folder f;
    Reading earlier;
    earlier.s.readingTime = 50000; // a later reading before: the time still goes back
    auto v = series(3);
    v.back().minutes = 1440;
    Reading r = Folder::readAt(f.write(archive(v, 14)), Folder::noSearch(), earlier);
    ASSERT_EQ(r.outcome, Pro2Outcome::Read);
    EXPECT_EQ(timeOf(r), QDateTime(QDate(2016, 4, 15), QTime(0, 0)));
    EXPECT_EQ(r.d.lastRecordTime, r.s.readingTime);
    EXPECT_EQ(pro2DateText(r.s.readingTime),
              QLocale::system().toString(QDate(2016, 4, 15), QLocale::ShortFormat) + QStringLiteral(" 00:00"));

    v.back().minutes = 605;
    EXPECT_EQ(timeOf(f.read(archive(v, 9))), QDateTime(QDate(2016, 4, 9), QTime(10, 5)));
    const QString march = f.write(archive(v, 31), QStringLiteral("2016-03.wlk"));
    EXPECT_EQ(timeOf(Folder::readAt(march)), QDateTime(QDate(2016, 3, 31), QTime(10, 5)));
    v.back().minutes = 1499;
    EXPECT_EQ(timeOf(f.read(archive(v, 30))), QDateTime(QDate(2016, 5, 1), QTime(0, 59)));

    EXPECT_EQ(f.read(archive(v, 0)).outcome, Pro2Outcome::FileError) << "day 0";
    EXPECT_EQ(f.read(archive(v, 31)).outcome, Pro2Outcome::FileError) << "April has no day 31";
    v.back().minutes = 1500;
    EXPECT_EQ(f.read(archive(v, 9)).outcome, Pro2Outcome::FileError) << "25:00";
}

TEST(Pro2Archive, ADayWithoutRecordsDoesNotEndTheMonth)
{
    // The station was off on the 5th and the 6th; the last records are of the 9th.
    Folder f;
    QByteArray file = archive(series(3), 9);
    for (int day : {5, 6})
        qToLittleEndian<quint16>(0, file.data() + 20 + 6 * day);
    EXPECT_EQ(timeOf(f.read(file)), QDateTime(QDate(2016, 4, 9), QTime(0, 15)));

    // Only day 31 of a 31-day month, or only the 1st.
    const QString march = f.write(archive(series(3), 0), QStringLiteral("2016-03.wlk"));
    QByteArray only31 = readFile(march);
    qToLittleEndian<quint16>(288, only31.data() + 20 + 6 * 31);
    EXPECT_EQ(timeOf(Folder::readAt(f.write(only31, QStringLiteral("2016-03.wlk")))),
              QDateTime(QDate(2016, 3, 31), QTime(0, 15)));
    EXPECT_EQ(timeOf(f.read(archive(series(3), 1))), QDateTime(QDate(2016, 4, 1), QTime(0, 15)));
}

TEST(Pro2Archive, ValuesAndCaptions)
{
    Folder f;
    auto v = series(1, 5, [](int, Rec &r) {
        r.outdoor = 320;
        r.outHum = 455;
    });
    Reading r = f.read(archive(v));
    ASSERT_EQ(r.outcome, Pro2Outcome::Read);
    EXPECT_NEAR(r.s.pressure, 1013.07, 0.005);
    EXPECT_EQ(r.d.pressure.text, QStringLiteral("Atm. P (mBar) = 1013.1"));
    EXPECT_EQ(r.d.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = 0.0"));
    EXPECT_EQ(r.d.indoorTemp.text, QStringLiteral("Indoor T (\u00b0C) = 21.1"));
    EXPECT_DOUBLE_EQ(r.s.outdoorHumidity, 45.5);
    EXPECT_EQ(r.d.indoorHumidity.text, QStringLiteral("Indoor humidity (%) = 40"));
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (km/h) = 8"));
    EXPECT_EQ(r.d.gust.text, QStringLiteral("Gust (km/h) = 13"));
    EXPECT_EQ(r.d.direction.text, QStringLiteral("Direction (\u00b0) = 90"));
    EXPECT_FALSE(r.d.pressure.red || r.d.outdoorTemp.red || r.d.wind.red || r.d.humidity.red);

    Pro2Settings imperial = Folder::noSearch();
    imperial.units.setCelsius(false);
    imperial.units.setMillibars(false);
    imperial.units.setKmh(false);
    imperial.pressureOffset = 5; // hundredths of inHg
    v[0].outdoor = -10; // below 0 F
    r = f.read(archive(v), imperial);
    EXPECT_NEAR(r.s.outdoorTemp, -1.0, 1e-9);
    EXPECT_EQ(r.d.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0F) = -1.0"));
    EXPECT_EQ(r.d.pressure.text, QStringLiteral("Atm. P (inHg) = 29.97"));
    EXPECT_EQ(r.d.wind.text, QStringLiteral("Wind (mph) = 5"));

    // The fields' "dash" values are implausible, and the values made from them
    // are not shown.
    v[0].barometer = 0xFFFF;
    v[0].outHum = 0xFFFF;
    v[0].wind = 0x7FFF;
    v[0].high = 0x7FFF;
    r = f.read(archive(v));
    EXPECT_TRUE(r.d.pressure.red);
    EXPECT_TRUE(r.d.humidity.red);
    EXPECT_TRUE(r.d.wind.red);
    EXPECT_FALSE(r.d.gust.red) << "the gust is never marked";
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = --"));
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = --"));
}

TEST(Pro2Archive, TemperatureWithoutValue)
{
    Folder f;
    auto v = series(1, 5, [](int, Rec &r) {
        r.outdoor = -32768;
        r.indoor = -32768;
        r.wind = r.high = 200; // windy enough for a wind chill
    });
    const Reading r = f.read(archive(v));
    ASSERT_EQ(r.outcome, Pro2Outcome::Read);
    EXPECT_EQ(r.s.outdoorTemp, station::kNotAvailable);
    EXPECT_EQ(r.s.indoorTemp, station::kNotAvailable);
    EXPECT_EQ(r.d.outdoorTemp.text, QStringLiteral("Outdoor T (\u00b0C) = --"));
    EXPECT_EQ(r.d.indoorTemp.text, QStringLiteral("Indoor T (\u00b0C) = --"));
    EXPECT_FALSE(r.d.outdoorTemp.red || r.d.indoorTemp.red);
    EXPECT_EQ(r.s.windChill, -200);
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = --"));
    EXPECT_EQ(r.d.dewPoint, QStringLiteral("Dew point (\u00b0C) = --"));
    WeatherContext c;
    c.kind = SourceKind::Pro2;
    c.snapshot = r.s;
    c.selection.items.fill(true);
    EXPECT_TRUE(WeatherPhrases::item(1, c).isEmpty());
    EXPECT_TRUE(WeatherPhrases::item(2, c).isEmpty());
    c.snapshot.outdoorTemp = 12;
    EXPECT_FALSE(WeatherPhrases::item(2, c).isEmpty()) << "a known temperature is spoken";
}

TEST(Pro2Archive, DirectionSectors)
{
    Folder f;
    const std::pair<int, int> cases[] = {{0, 0}, {5, 112}, {15, 338}, {16, -1}, {255, -1}};
    for (const auto &[sector, degrees] : cases) {
        const quint8 byte = static_cast<quint8>(sector);
        const Reading r = f.read(archive(series(1, 5, [byte](int, Rec &x) { x.direction = byte; })));
        EXPECT_EQ(r.s.windDirection, degrees) << sector;
        EXPECT_EQ(r.d.direction.text, degrees < 0 ? QStringLiteral("Direction (\u00b0) = --")
                                             : QStringLiteral("Direction (\u00b0) = %1").arg(degrees));
    }
}

TEST(Pro2Archive, RainOfTheLastDay)
{
    Folder f;
    EXPECT_EQ(f.read(archive(series(1, 5, [](int, Rec &r) {
                  r.collector = 32;
                  r.clicks = 3;
              }))).d.rain.text,
              QStringLiteral("Rain/24h (mm) = 0.6"));

    // Five-minute records: the current one and the 286 weather records before
    // it, whatever other records lie between them.
    std::vector<Rec> v = series(400, 5, [](int i, Rec &r) {
        r.clicks = i == 399 - 287 ? 2 : (i == 399 - 286 ? 5 : (i == 399 ? 1 : 0));
    });
    Rec summary;
    summary.type = 2;
    summary.clicks = 9;
    summary.collector = 0;
    v.insert(v.begin() + 300, summary);
    v.insert(v.begin() + 300, summary);
    Reading r = f.read(archive(v));
    EXPECT_NEAR(r.s.rain24h, 6 * 0.254, 1e-9);

    Pro2Settings inches = Folder::noSearch();
    inches.units.setMillimetres(false);
    EXPECT_EQ(f.read(archive(v), inches).d.rain.text, QStringLiteral("Rain/24h (inch) = 0.06"));

    v.back().interval = 0; // no interval: the current record alone
    EXPECT_NEAR(f.read(archive(v)).s.rain24h, 0.254, 1e-9);
    v.back().collector = 64;
    r = f.read(archive(v));
    EXPECT_EQ(r.s.rain24h, -1);
    EXPECT_EQ(r.d.rain.text, QStringLiteral("Rain/24h (mm) = --"));
}

TEST(Pro2Archive, TrendAgainstTheWeatherRecordAnHourBack)
{
    Folder f;
    // Record 29 is current; 12 records back is record 17, a daily summary, so
    // record 16 counts.
    auto v = series(30, 5, [](int i, Rec &r) { r.barometer = i <= 16 ? 29900 : 29920; });
    v[17].type = 2;
    Reading r = f.read(archive(v));
    EXPECT_EQ(r.s.pressureTrend, 1);
    EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend : rising"));
    v.back().barometer = 29880;
    EXPECT_EQ(f.read(archive(v)).d.trend.text, QStringLiteral("Trend : falling"));
    v.back().barometer = 29905; // 0.17 hPa, under the threshold
    EXPECT_EQ(f.read(archive(v)).d.trend.text, QStringLiteral("Trend : steady"));

    // No record an hour back, or no interval: steady, caption untouched.
    Reading before;
    before.d.trend.text = QStringLiteral("Trend = ");
    before.s.pressureTrend = 2;
    for (const auto &records : {series(12), series(30, 0)}) {
        r = Folder::readAt(f.write(archive(records)), Folder::noSearch(), before);
        EXPECT_EQ(r.s.pressureTrend, 0);
        EXPECT_EQ(r.d.trend.text, QStringLiteral("Trend = "));
    }
    // A red pressure leaves the trend as it was.
    v.back().barometer = 0;
    r = Folder::readAt(f.write(archive(v)), Folder::noSearch(), before);
    EXPECT_EQ(r.s.pressureTrend, 2);
}

TEST(Pro2Archive, WindChillCalmTestUsesTheGust)
{
    Folder f;
    auto v = series(1, 5, [](int, Rec &r) {
        r.outdoor = 320; // 0 C
        r.wind = 50;     // 8.05 km/h
        r.high = 30;     // 4.83 km/h
    });
    EXPECT_EQ(f.read(archive(v)).s.windChill, -200);
    v[0].high = 80;
    const Reading r = f.read(archive(v));
    EXPECT_NEAR(r.s.windChill, 13.12 - 11.37 * std::pow(8.04672, 0.16), 1e-9) << "the mean wind in the formula";
    EXPECT_EQ(r.d.windChill.text, QStringLiteral("Wind chill (\u00b0C) = %1").arg(r.s.windChill, 0, 'f', 1));
}

TEST(Pro2Archive, FollowsTheFileOfTheCurrentMonth)
{
    Folder f;
    const QString march = f.write(archive(series(5), 31), QStringLiteral("2009-03.wlk"));
    Pro2Settings search;
    search.today = QDate(2009, 4, 1);
    Reading r = Folder::readAt(march, search);
    ASSERT_EQ(r.outcome, Pro2Outcome::Read);
    EXPECT_EQ(r.path, march) << "April's file doesn't exist yet";
    EXPECT_EQ(timeOf(r).date(), QDate(2009, 3, 31));

    const QString april = f.write(archive(series(5), 1), QStringLiteral("2009-04.wlk"));
    r = Folder::readAt(march, search);
    EXPECT_EQ(r.path, april);
    EXPECT_EQ(timeOf(r).date(), QDate(2009, 4, 1));
    EXPECT_EQ(Folder::readAt(march).path, march) << "search off";

    // The date comes from the name: it must hold numbers.
    for (const QString &name : {QStringLiteral("abcd-04.wlk"), QStringLiteral("2009-x.wlk"), QStringLiteral("200904.wlk")}) {
        const QString odd = f.write(archive(series(5)), name);
        EXPECT_EQ(Folder::readAt(odd, search).outcome, Pro2Outcome::FileError) << name.toStdString();
        EXPECT_EQ(Folder::readAt(odd).outcome, Pro2Outcome::FileError) << name.toStdString();
    }
}

TEST(Pro2Archive, FileErrors)
{
    Folder f;
    Reading before;
    before.s.readingTime = 123;
    const Reading missing = Folder::readAt(f.dir.filePath(QStringLiteral("2016-05.wlk")), Folder::noSearch(), before);
    EXPECT_EQ(missing.outcome, Pro2Outcome::Missing);
    EXPECT_EQ(missing.s.readingTime, 123);

    const QByteArray good = archive(series(10));
    EXPECT_EQ(Folder::readAt(f.write(good, QStringLiteral("2016-04.WLK"))).outcome, Pro2Outcome::FileError);
    EXPECT_EQ(f.read(good.left(211)).outcome, Pro2Outcome::FileError) << "short header";
    EXPECT_EQ(f.read(good.left(212 + 9 * 88 + 87)).outcome, Pro2Outcome::FileError) << "10 announced, 9 whole";
    QByteArray negative = good;
    qToLittleEndian<qint32>(-3, negative.data() + 16);
    EXPECT_EQ(f.read(negative).outcome, Pro2Outcome::FileError);
    EXPECT_EQ(f.read(archive({})).outcome, Pro2Outcome::FileError) << "no record";
    EXPECT_EQ(f.read(archive(series(10, 5, [](int, Rec &r) { r.type = 2; }))).outcome, Pro2Outcome::FileError)
        << "no weather record";

    // The program is appending: the header's count rules.
    const Reading appending = f.read(archive(series(10), 10, 4));
    EXPECT_EQ(timeOf(appending).time(), QTime(0, 20));
}

TEST(Pro2Archive, ReadingTheTailMatchesAFullScan)
{
    // A month of one-minute records, two daily summaries at each day's start.
    std::mt19937 rng(2016);
    std::vector<Rec> v;
    for (int i = 0; i < 31 * 1440; ++i) {
        Rec r;
        r.interval = 1;
        r.minutes = static_cast<quint16>(i % 1440 + 1);
        r.type = static_cast<quint8>(i % 1440 < 2 ? 2 + i % 1440 : (rng() % 50 == 0 ? 3 : 1));
        r.barometer = static_cast<quint16>(29800 + rng() % 200);
        r.clicks = static_cast<quint8>(rng() % 8 == 0 ? rng() % 4 : 0);
        v.push_back(r);
    }
    ASSERT_EQ(v.size(), 44640u);

    Folder f;
    QByteArray bytes = archive(v, 31);
    for (qint32 count : {44640, 44639, 30000, 1441, 1000, 13, 3}) {
        qToLittleEndian<qint32>(count, bytes.data() + 16);
        const Reading r = Folder::readAt(f.write(bytes, QStringLiteral("2016-03.wlk")));
        ASSERT_EQ(r.outcome, Pro2Outcome::Read) << count;

        // Whole-file reference, from the records as built.
        std::vector<Rec> weather;
        for (qint32 i = 0; i < count; ++i)
            if (v[size_t(i)].type == 1)
                weather.push_back(v[size_t(i)]);
        const Rec &last = weather.back();
        int clicks = 0;
        for (size_t k = 0; k < weather.size() && k < 1439; ++k)
            clicks += weather[weather.size() - 1 - k].clicks;
        EXPECT_NEAR(r.s.rain24h, clicks * 0.254, 1e-9) << count;
        qint32 b = count - 1;
        while (v[size_t(b)].type != 1)
            --b;
        int trend = 0;
        qint32 j = b - 60;
        if (j > 0) {
            while (j >= 0 && v[size_t(j)].type != 1)
                --j;
            const double change = j < 0 ? 0 : (last.barometer - v[size_t(j)].barometer) * 0.0338582;
            trend = change > 0.4 ? 1 : (change < -0.4 ? 2 : 0);
        }
        EXPECT_EQ(r.s.pressureTrend, trend) << count;
        EXPECT_EQ(timeOf(r), QDateTime(QDate(2016, 3, 31), QTime(0, 0)).addSecs(last.minutes * 60)) << count;
    }
}

TEST(Pro2Archive, RealApril2016Archive)
{
    const QByteArray real = readFile(QStringLiteral(AURAVOX_SOURCE_DIR "/tests/fixtures/real/vantage/2016-04.wlk"));
    ASSERT_EQ(real.size(), 212 + 7180 * 88) << "fixture missing";
    ASSERT_TRUE(real.startsWith("WDAT5.3"));
    auto u16 = [&](qint64 record, int offset) { return qFromLittleEndian<quint16>(real.constData() + 212 + record * 88 + offset); };
    auto s16 = [&](qint64 record, int offset) { return qFromLittleEndian<qint16>(real.constData() + 212 + record * 88 + offset); };
    auto type = [&](qint64 record) { return real.at(212 + record * 88); };
    auto fToC = [](double tenths) { return (tenths / 10 - 32) / 1.8; };

    Folder f;
    Pro2Settings april;
    april.today = QDate(2016, 4, 30);
    const Reading r = Folder::readAt(f.write(real), april);
    ASSERT_EQ(r.outcome, Pro2Outcome::Read);
    EXPECT_EQ(r.path, f.dir.filePath(QStringLiteral("2016-04.wlk")));
    EXPECT_EQ(timeOf(r), QDateTime(QDate(2016, 4, 25), QTime(18, 45)));
    ASSERT_EQ(type(7179), 1);
    EXPECT_NEAR(r.s.outdoorTemp, fToC(s16(7179, 6)), 1e-9);
    EXPECT_NEAR(r.s.indoorTemp, fToC(s16(7179, 12)), 1e-9);
    EXPECT_NEAR(r.s.pressure, u16(7179, 14) * 0.0338582, 1e-9);
    EXPECT_NEAR(r.s.outdoorTemp, 25.44, 0.01);
    EXPECT_NEAR(r.s.pressure, 1009.85, 0.01);
    EXPECT_EQ(r.s.rain24h, 0) << "a dry last day";
    EXPECT_EQ(r.s.windDirection, 202);

    // Cut after record 6010 (day 21): rain fell in the day before it,
    // and the daily summaries of day 21 lie in the way.
    QByteArray cut = real.left(212 + 6011 * 88);
    qToLittleEndian<qint32>(6011, cut.data() + 16);
    for (int day = 22; day <= 31; ++day)
        qToLittleEndian<quint16>(0, cut.data() + 20 + 6 * day);
    int clicks = 0, added = -1;
    for (qint64 i = 6010; i >= 0 && added < 286; --i) {
        if (type(i) == 1) {
            clicks += static_cast<quint8>(real.at(212 + i * 88 + 20));
            ++added;
        }
    }
    ASSERT_GT(clicks, 0);
    const Reading c = f.read(cut);
    ASSERT_EQ(c.outcome, Pro2Outcome::Read);
    EXPECT_EQ(timeOf(c).date(), QDate(2016, 4, 21));
    EXPECT_EQ(timeOf(c).time().msecsSinceStartOfDay(), u16(6010, 4) * 60000);
    EXPECT_NEAR(c.s.rain24h, clicks * 0.254, 1e-9);
}
