// How quickly an announcement gets going, and how long the gap between two
// clips is. Run: build/bench/bench_latency
//
// ButtonToFirstBuffer: from Button1Click to the first buffer handed to the
// device. ClipGap/*: from the last buffer of one clip coming back to the first
// buffer of the next being queued; with the real clock this includes the
// 50 ms pause the player keeps after each clip, with the manual clock it is the
// program's own work only.

#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "support/FakeWaveOutput.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace auravox;
using namespace auravox::test;
using Steady = std::chrono::steady_clock;

namespace {

struct Rig
{
    explicit Rig(bool realClock)
    {
        if (realClock)
            clock = std::make_unique<SystemClock>();
        else
            clock = std::make_unique<ManualClock>(QDateTime(QDate(2026, 3, 1), QTime(10, 5)));
        MainWindowDeps deps;
        deps.clock = clock.get();
        deps.waveOutput = &wave;
        deps.prompts = &prompts;
        form = std::make_unique<TForm1>(deps);
        form->TimerSecondeTimer(); // the load
        form->findChild<QTimer *>(QStringLiteral("TimerSeconde"))->stop();
    }
    void runUntilIdle()
    {
        while (form->announcer().busy() || form->player().isPlaying())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::unique_ptr<Clock> clock;
    FakeWaveOutput wave;
    ScriptedPrompts prompts;
    std::unique_ptr<TForm1> form;
};

void ButtonToFirstBuffer(benchmark::State &state)
{
    Rig rig(false);
    Steady::time_point firstWrite;
    bool seen = false;
    rig.wave.onWrite = [&](int) {
        if (!seen) {
            firstWrite = Steady::now();
            seen = true;
        }
    };
    for (auto _ : state) {
        seen = false;
        const auto start = Steady::now();
        rig.form->Button1Click();
        state.SetIterationTime(std::chrono::duration<double>(firstWrite - start).count());
        rig.runUntilIdle();
    }
}
BENCHMARK(ButtonToFirstBuffer)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

void clipGap(benchmark::State &state, bool realClock)
{
    Rig rig(realClock);
    Steady::time_point lastDone;
    std::vector<double> gaps;
    bool pending = false;
    rig.wave.onDone = [&](int) {
        lastDone = Steady::now();
        pending = true;
    };
    rig.wave.onWrite = [&](int) {
        if (pending)
            gaps.push_back(std::chrono::duration<double>(Steady::now() - lastDone).count());
        pending = false;
    };
    for (auto _ : state) {
        gaps.clear();
        pending = false;
        rig.form->Button1Click();
        rig.runUntilIdle();
        double total = 0;
        for (double g : gaps)
            total += g;
        state.SetIterationTime(gaps.empty() ? 0 : total / static_cast<double>(gaps.size()));
    }
}

void ClipGapRealClock(benchmark::State &state) { clipGap(state, true); }
void ClipGapManualClock(benchmark::State &state) { clipGap(state, false); }
BENCHMARK(ClipGapRealClock)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ClipGapManualClock)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
