// Processor time of a whole announcement and of idle ticking, on the real
// clock and the real ALSA code (into ALSA's "null" device unless
// AURAVOX_BENCH_PCM names another). Run: build/bench/bench_cpu [idle seconds, default 60]

#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "platform/linux/AlsaWaveOutput.h"
#include "app/ui/QtUserPrompts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace auravox;

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    SystemClock clock;
    AlsaWaveOutput wave(qEnvironmentVariable("AURAVOX_BENCH_PCM", QStringLiteral("null")));
    QtUserPrompts prompts;
    MainWindowDeps deps;
    deps.clock = &clock;
    deps.waveOutput = &wave;
    deps.prompts = &prompts;
    deps.useTray = false;
    UnitSettings units;
    StationModels models(QString(), units);
    TForm1 form(deps, models);
    while (form.startupPending())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);

    QElapsedTimer wall;
    wall.start();
    double before = cpuSeconds();
    form.Button1Click();
    while (form.announcer().busy() || form.player().isPlaying())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 100);
    const double announceCpu = cpuSeconds() - before;
    const qint64 announceWall = wall.elapsed();

    before = cpuSeconds();
    wall.restart();
    QTimer::singleShot(idleSeconds * 1000, &app, &QCoreApplication::quit);
    QApplication::exec();
    const double idleCpu = cpuSeconds() - before;

    std::printf("announcement: %.1f ms of processor time over %lld ms\n", announceCpu * 1000.0,
                static_cast<long long>(announceWall));
    std::printf("idle ticking: %.1f ms of processor time over %lld s\n", idleCpu * 1000.0,
                static_cast<long long>(wall.elapsed() / 1000));
    return 0;
}
