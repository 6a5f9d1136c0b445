// When a clip has been heard: ten announcements through the real ALSA code on
// the system clock, into a device that plays in real time behind a pipe (ALSA
// never sees up to a second of what it holds), one that reports its delay,
// and ALSA's null device. Reports, in milliseconds, min / mean / max of
//   - the release (DTR falls) after the last sample was played, and
//   - the silence between two clips as the device played them;
// on null, which plays nothing in real time, the same two counted from the
// end of each clip's length after its device opened.
//
//   bench_clip_end [announcements]

#include "support/AlsaCapture.h"
#include "support/AlsaStation.h"
#include "support/PacedDevice.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

using namespace auravox;
using namespace auravox::test;

namespace {

struct Figures
{
    std::vector<double> release;
    std::vector<double> silence;
    int failed = 0;
};

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

void print(const char *device, const char *what, const std::vector<double> &v)
{
    if (v.empty()) {
        std::printf("%-22s %-32s no figures\n", device, what);
        return;
    }
    const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    const double mean = std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    std::printf("%-22s %-32s min %8.2f  mean %8.2f  max %8.2f  (n=%zu)\n", device, what, *lo, mean, *hi, v.size());
}

Figures played(const PlayingDevice &device, int rounds)
{
    Figures f;
    AlsaStation station(device.pcm());
    qint64 before = 0;
    for (int round = 0; round < rounds; ++round) {
        const std::vector<qint64> frames = station.announce();
        const qint64 total = std::accumulate(frames.begin(), frames.end(), qint64(0));
        if (frames.empty() || !device.waitPlayed(before + total)) {
            ++f.failed;
            break;
        }
        qint64 boundary = before;
        for (size_t i = 0; i + 1 < frames.size(); ++i) {
            boundary += frames[i];
            f.silence.push_back(ms(device.playedAtNs(boundary) - device.endedBeforeNs(boundary)));
        }
        f.release.push_back(ms(station.releases().back() - device.endedBeforeNs(before + total)));
        before += total;
    }
    return f;
}

Figures null(int rounds)
{
    Figures f;
    AlsaStation station(QStringLiteral("null"));
    for (int round = 0; round < rounds; ++round) {
        const size_t first = station.opens().size();
        const std::vector<qint64> frames = station.announce();
        if (frames.empty() || station.opens().size() - first != frames.size()) {
            ++f.failed;
            break;
        }
        for (size_t i = 0; i < frames.size(); ++i) {
            const qint64 heard = station.opens()[first + i] + frames[i] * 1000000000 / AlsaStation::kFrameRate;
            if (i + 1 < frames.size())
                f.silence.push_back(ms(station.opens()[first + i + 1] - heard));
            else
                f.release.push_back(ms(station.releases().back() - heard));
        }
    }
    return f;
}

void report(const char *device, const Figures &f)
{
    print(device, "release after the last sample", f.release);
    print(device, "silence between clips", f.silence);
    if (f.failed)
        std::printf("%-22s an announcement did not end\n", device);
}

} // namespace

int main(int argc, char **argv)
{
    AlsaCapture::instance(); // the ALSA configuration, before the first ALSA call
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    {
        const PacedPipeDevice pipe;
        report("paced pipe", played(pipe, rounds));
    }
    {
        const RealTimeDevice card;
        report("delay-reporting device", played(card, rounds));
    }
    report("null (from length)", null(rounds));
    return 0;
}
