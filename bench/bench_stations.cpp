// How long one refresh of a station window takes: one complete reading of its
// history file (open, read the records it uses, close). Run:
//   build/bench/bench_stations --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Ws23_*, Ws28_*: the La Crosse readers on a 1 KB, a 64 KB and a 50 MB history
// file of 10-minute records. They read only the records they use, so the cost
// should not grow with the file. 1 KB holds a few hours only, less than the
// day the readers look back over (the WS-28xx rain sums a day of records), so
// 64 KB is the fair partner of 50 MB. Pro2_Month: the WeatherLink reader on a
// month of 1-minute records (31 days of 1440 weather records, each day opened
// by its two daily summaries), the current-month search off.
//
// The files are written once per run into a temporary folder and stay in the
// page cache, so the figures are the readers' own work, not the disk's.
// Counters, per refresh: rchar = bytes the process asked read() for (from
// /proc/self/io, so cached reads count too), syscr = read() calls, and the
// file's size.

#include "common/DateTime.h"
#include "stations/Pro2Archive.h"
#include "stations/Ws23History.h"
#include "stations/Ws28History.h"
#include "support/StationFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>

using namespace auravox;
using namespace auravox::test;

namespace {

constexpr qint64 kSmallBytes = 1024;
constexpr qint64 kMediumBytes = 64 * 1024; // more than a week of records
constexpr qint64 kLargeBytes = 50LL * 1024 * 1024;
constexpr int kLaCrosseIntervalMinutes = 10;

// ---------------------------------------------------------------------------
// The weather the files record: pressure drifting around 1013 hPa with slow
// swings, a daily temperature and humidity cycle, gusty wind that veers, and
// showers that come and go. Deterministic, so every run reads the same files.

class WeatherModel
{
public:
    explicit WeatherModel(unsigned seed) : m_rng(seed) {}

    struct Sample
    {
        double pressure;      // hPa, sea level
        double outdoorTemp;   // C
        double indoorTemp;    // C
        double outdoorHum;    // %
        double indoorHum;     // %
        double wind;          // m/s, mean of the interval
        double gust;          // m/s
        int sector;           // 0..15
        double rain;          // mm fallen during the interval
    };

    // The next interval of `minutes`, ending at `days` (days since 1899-12-30).
    Sample step(double days, int minutes)
    {
        const double dt = minutes / 60.0; // hours
        // Pressure: mean-reverting random walk plus a swing of a few days.
        m_pressureDrift += -0.002 * m_pressureDrift * dt + m_normal(m_rng) * 0.12 * std::sqrt(dt);
        const double swing = 8.0 * std::sin(2 * std::numbers::pi * days / 4.3);
        const double dayPhase = 2 * std::numbers::pi * (days - std::floor(days) - 0.625); // warmest mid-afternoon
        const double season = -9.0 * std::cos(2 * std::numbers::pi * (days - 15) / 365.25);
        Sample s{};
        s.pressure = 1013.0 + swing + m_pressureDrift;
        s.outdoorTemp = 11.0 + season + 5.0 * std::cos(dayPhase) + m_normal(m_rng) * 0.2;
        s.indoorTemp = 21.0 + 0.8 * std::cos(dayPhase) + m_normal(m_rng) * 0.05;
        s.outdoorHum = std::clamp(72.0 - 15.0 * std::cos(dayPhase) + (m_raining ? 15 : 0) + m_normal(m_rng), 15.0, 99.0);
        s.indoorHum = std::clamp(45.0 + m_normal(m_rng) * 0.5, 30.0, 60.0);

        // Wind: a slowly changing mean, gusts on top, a direction that veers.
        m_windMean += 0.05 * (3.5 - m_windMean) * dt + m_normal(m_rng) * 0.3 * std::sqrt(dt);
        m_windMean = std::clamp(m_windMean, 0.0, 14.0);
        s.wind = std::max(0.0, m_windMean + m_normal(m_rng) * 0.6);
        s.gust = s.wind * (1.3 + 0.3 * m_unit(m_rng));
        m_direction = std::fmod(m_direction + m_normal(m_rng) * 8.0 * std::sqrt(dt) + 360.0, 360.0);
        s.sector = static_cast<int>(std::lround(m_direction / 22.5)) % 16;

        // Rain: a shower starts now and then and lasts a few hours.
        // While it rains, about 1.5 mm an hour in clicks of 0.254 mm.
        if (m_raining)
            m_raining = m_unit(m_rng) > 0.3 * dt;
        else
            m_raining = m_unit(m_rng) < 0.03 * dt;
        s.rain = m_raining ? 0.254 * std::poisson_distribution<int>(1.5 / 0.254 * dt)(m_rng) : 0.0;
        return s;
    }

private:
    std::mt19937 m_rng;
    std::normal_distribution<double> m_normal{0.0, 1.0};
    std::uniform_real_distribution<double> m_unit{0.0, 1.0};
    double m_pressureDrift = 0;
    double m_windMean = 3;
    double m_direction = 225;
    bool m_raining = false;
};

// The last record of the La Crosse files: 2026-03-01 10:00 local time.
double laCrosseEndDays()
{
    return DateTimeUtil::toDays(QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
}

// Writes `count` records made by `row(i)` in chunks of about 1 MB.
bool writeRecords(const QString &path, qint64 count, const std::function<QByteArray(qint64)> &row)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk;
    chunk.reserve(1 << 20);
    for (qint64 i = 0; i < count; ++i) {
        chunk += row(i);
        if (chunk.size() >= (1 << 20)) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return f.write(chunk) == chunk.size();
}

bool writeWs23(const QString &path, qint64 bytes)
{
    const qint64 count = bytes / Ws23Record::kSize;
    // The file's time stamp is seconds; stampToDays adds 176400 to it.
    const qint64 endStamp = std::llround(laCrosseEndDays() * 86400.0) - 176400;
    const qint64 step = kLaCrosseIntervalMinutes * 60;
    WeatherModel model(2301);
    double rainTotal = 412.6; // the station's running total, mm
    return writeRecords(path, count, [&](qint64 i) {
        const qint64 stamp = endStamp - (count - 1 - i) * step;
        const auto w = model.step((static_cast<double>(stamp) + 176400) / 86400.0, kLaCrosseIntervalMinutes);
        rainTotal += w.rain;
        Ws23Row r;
        r.stamp = static_cast<quint32>(stamp);
        r.pressure = static_cast<float>(w.pressure);
        r.wind = static_cast<float>(w.wind);
        r.direction = w.sector;
        r.rain = static_cast<float>(rainTotal);
        r.indoor = static_cast<float>(w.indoorTemp);
        r.outdoor = static_cast<float>(w.outdoorTemp);
        r.inHum = static_cast<qint8>(std::lround(w.indoorHum));
        r.outHum = static_cast<qint8>(std::lround(w.outdoorHum));
        return r.bytes();
    });
}

bool writeWs28(const QString &path, qint64 bytes)
{
    const qint64 count = bytes / Ws28Record::kSize;
    const double end = laCrosseEndDays();
    WeatherModel model(2801);
    return writeRecords(path, count, [&](qint64 i) {
        const double t = end - static_cast<double>((count - 1 - i) * kLaCrosseIntervalMinutes) / 1440.0;
        const auto w = model.step(t, kLaCrosseIntervalMinutes);
        Ws28Row r;
        r.time = t;
        r.relative = static_cast<float>(w.pressure);
        r.absolute = static_cast<float>(w.pressure - 24.0); // a station about 200 m up
        r.wind = static_cast<float>(w.wind);
        r.gust = static_cast<float>(w.gust);
        r.direction = w.sector;
        r.rain = static_cast<float>(w.rain);
        r.indoor = static_cast<float>(w.indoorTemp);
        r.outdoor = static_cast<float>(w.outdoorTemp);
        r.inHum = static_cast<float>(w.indoorHum);
        r.outHum = static_cast<float>(w.outdoorHum);
        return r.bytes();
    });
}

// January 2026: 31 days of 1-minute records (00:01 to 24:00), each day
// starting with the two daily summaries the WeatherLink program writes.
bool writePro2Month(const QString &path)
{
    constexpr int kDays = 31;
    constexpr int kWeatherPerDay = 1440;
    const double monthStart = DateTimeUtil::toDays(QDateTime(QDate(2026, 1, 1), QTime(0, 0)));
    WeatherModel model(5302);
    const QByteArray data = wlkFile(std::vector<int>(kDays, kWeatherPerDay + 2), [&](int day, int index) {
        WlkRow r;
        if (index < 2) {
            r.type = static_cast<quint8>(2 + index);
            return r;
        }
        const int minute = index - 1; // 1..1440
        const auto w = model.step(monthStart + (day - 1) + minute / 1440.0, 1);
        r.type = 1;
        r.interval = 1;
        r.minute = static_cast<quint16>(minute);
        r.outdoor = static_cast<qint16>(std::lround((w.outdoorTemp * 9 / 5 + 32) * 10));
        r.indoor = static_cast<qint16>(std::lround((w.indoorTemp * 9 / 5 + 32) * 10));
        r.barometer = static_cast<quint16>(std::lround(w.pressure / 33.8639 * 1000));
        r.outHum = static_cast<quint16>(std::lround(w.outdoorHum * 10));
        r.inHum = static_cast<quint16>(std::lround(w.indoorHum * 10));
        r.collector = 16; // 0.01 in a click
        r.rainClicks = static_cast<quint8>(std::lround(w.rain / 0.254));
        r.wind = static_cast<quint16>(std::lround(w.wind * 3.6 / 1.609344 * 10));
        r.gust = static_cast<quint16>(std::lround(w.gust * 3.6 / 1.609344 * 10));
        r.direction = static_cast<quint8>(w.sector);
        return r;
    });
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// The files of this run, written before the first benchmark.
struct Files
{
    QTemporaryDir dir;
    QString ws23Small, ws23Medium, ws23Large, ws28Small, ws28Medium, ws28Large, pro2Month;
    bool ok = false;
};

Files &files()
{
    static Files f;
    return f;
}

bool makeFiles()
{
    Files &f = files();
    if (!f.dir.isValid())
        return false;
    f.ws23Small = f.dir.filePath(QStringLiteral("ws23-1k/history.dat"));
    f.ws23Medium = f.dir.filePath(QStringLiteral("ws23-64k/history.dat"));
    f.ws23Large = f.dir.filePath(QStringLiteral("ws23-50m/history.dat"));
    f.ws28Small = f.dir.filePath(QStringLiteral("ws28-1k/history.dat"));
    f.ws28Medium = f.dir.filePath(QStringLiteral("ws28-64k/history.dat"));
    f.ws28Large = f.dir.filePath(QStringLiteral("ws28-50m/history.dat"));
    f.pro2Month = f.dir.filePath(QStringLiteral("pro2/2026-01.wlk"));
    QDir d(f.dir.path());
    for (const char *sub : {"ws23-1k", "ws23-64k", "ws23-50m", "ws28-1k", "ws28-64k", "ws28-50m", "pro2"})
        d.mkpath(QString::fromLatin1(sub));
    f.ok = writeWs23(f.ws23Small, kSmallBytes) && writeWs23(f.ws23Medium, kMediumBytes)
           && writeWs23(f.ws23Large, kLargeBytes) && writeWs28(f.ws28Small, kSmallBytes)
           && writeWs28(f.ws28Medium, kMediumBytes) && writeWs28(f.ws28Large, kLargeBytes)
           && writePro2Month(f.pro2Month);
    return f.ok;
}

// ---------------------------------------------------------------------------
// The process's read counters in /proc/self/io.

struct IoCounters
{
    qint64 rchar = -1;
    qint64 syscr = -1;
};

IoCounters readIo()
{
    IoCounters io;
    const int fd = ::open("/proc/self/io", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return io;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0)
        return io;
    buf[n] = '\0';
    auto field = [&](const char *name) -> qint64 {
        const char *p = std::strstr(buf, name);
        long long v = -1;
        return p && std::sscanf(p + std::strlen(name), " %lld", &v) == 1 ? v : -1;
    };
    io.rchar = field("rchar:");
    io.syscr = field("syscr:");
    return io;
}

// What taking the counters costs the counters themselves: taking them twice
// in a row, the second sees the first's read.
IoCounters ioOverhead()
{
    const IoCounters a = readIo();
    const IoCounters b = readIo();
    return {b.rchar - a.rchar, b.syscr - a.syscr};
}

// Runs `refresh` once per iteration; `refresh` returns whether the reading
// succeeded. One reading is checked before the timing starts.
template <typename Refresh> void runRefreshes(benchmark::State &state, const QString &path, Refresh refresh)
{
    if (!files().ok) {
        state.SkipWithError("the history files could not be written");
        return;
    }
    if (!refresh()) {
        state.SkipWithError("the reader failed on the generated file");
        return;
    }
    const IoCounters overhead = ioOverhead();
    const IoCounters before = readIo();
    for (auto _ : state) {
        const bool ok = refresh();
        benchmark::DoNotOptimize(ok);
    }
    const IoCounters after = readIo();
    const double n = static_cast<double>(state.iterations());
    if (before.rchar >= 0 && after.rchar >= 0 && n > 0) {
        state.counters["rchar"] = static_cast<double>(after.rchar - before.rchar - overhead.rchar) / n;
        state.counters["syscr"] = static_cast<double>(after.syscr - before.syscr - overhead.syscr) / n;
    }
    state.counters["file_bytes"] = static_cast<double>(QFileInfo(path).size());
}

void laCrosse23(benchmark::State &state, const QString &path)
{
    Ws23Settings settings;
    WeatherSnapshot snapshot;
    Ws23Display display;
    runRefreshes(state, path, [&] { return readWs23History(path, settings, snapshot, display); });
}

void laCrosse28(benchmark::State &state, const QString &path)
{
    Ws28Settings settings;
    WeatherSnapshot snapshot;
    SourceDisplay display;
    runRefreshes(state, path, [&] { return readWs28History(path, settings, snapshot, display); });
}

void Ws23_1KB(benchmark::State &state) { laCrosse23(state, files().ws23Small); }
void Ws23_64KB(benchmark::State &state) { laCrosse23(state, files().ws23Medium); }
void Ws23_50MB(benchmark::State &state) { laCrosse23(state, files().ws23Large); }
void Ws28_1KB(benchmark::State &state) { laCrosse28(state, files().ws28Small); }
void Ws28_64KB(benchmark::State &state) { laCrosse28(state, files().ws28Medium); }
void Ws28_50MB(benchmark::State &state) { laCrosse28(state, files().ws28Large); }

void Pro2_Month(benchmark::State &state)
{
    Pro2Settings settings;
    settings.searchCurrentMonth = false;
    WeatherSnapshot snapshot;
    SourceDisplay display;
    QString path = files().pro2Month;
    runRefreshes(state, path, [&] { return readPro2Archive(path, settings, snapshot, display) == Pro2Outcome::Read; });
}

BENCHMARK(Ws23_1KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ws23_64KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ws23_50MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ws28_1KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ws28_64KB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Ws28_50MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(Pro2_Month)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!makeFiles())
        std::fprintf(stderr, "bench_stations: could not write the history files in %s\n",
                     qPrintable(files().dir.path()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
