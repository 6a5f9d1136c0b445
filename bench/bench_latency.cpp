// How quickly an announcement gets going, and how long the gap between two
// clips is. Run: build/bench/bench_latency
//
// ButtonToFirstBuffer: from Button1Click to the first buffer handed to the
// device. ClipGap/*: from the last buffer of one clip coming back to the first
// buffer of the next being queued; with the real clock this includes the
// 50 ms pause the player keeps after each clip, with the manual clock it is the
// program's own work only.
// ScheduledSecondTo*: from the whole second at which a scheduled announcement
// is due (hh:05:00 with a 5-minute period) to the first buffer handed to the
// device, with the real timer and event loop on a wall clock shifted so that
// the boundary comes 1.5 to 2.5 s after the start (a different phase of the
// second each time); NoPort without a transmitter, WithPort with its 300 ms
// lead.

#include "app/ui/TForm1.h"
#include "common/Clock.h"
#include "support/FakeTransmitterPort.h"
#include "support/FakeWaveOutput.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <chrono>
#include <memory>
#include <random>

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
        form = std::make_unique<TForm1>(deps, models);
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
    UnitSettings units;
    StationModels models{QString(), units};
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

// The system clock moved by a fixed offset, so a boundary can be put a moment ahead.
class ShiftedClock final : public Clock
{
public:
    explicit ShiftedClock(qint64 offsetMs) : m_offsetMs(offsetMs) {}
    QDateTime now() const override { return m_system.now().addMSecs(m_offsetMs); }
    void waitPumping(int ms) override { m_system.waitPumping(ms); }

private:
    SystemClock m_system;
    qint64 m_offsetMs;
};

void scheduledSecondToFirstBuffer(benchmark::State &state, bool withPort)
{
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, 999);
    const QDateTime boundary(QDate::currentDate(), QTime(10, 5));
    for (auto _ : state) {
        // The program starts 1.5 to 2.5 s before the boundary, at any phase of the second.
        const QDateTime startAt = boundary.addMSecs(-2500 + phase(random));
        ShiftedClock clock(QDateTime::currentDateTime().msecsTo(startAt));
        FakeWaveOutput wave;
        ScriptedPrompts prompts;
        FakeTransmitterPort port(clock);
        port.status.cts = port.status.dsr = port.status.dcd = false;
        MainWindowDeps deps;
        deps.clock = &clock;
        deps.waveOutput = &wave;
        deps.prompts = &prompts;
        deps.useTray = false;
        UnitSettings units;
        StationModels models(QString(), units);
        TForm1 form(deps, models);
        if (withPort)
            form.setTransmitter(&port);
        QDateTime firstWrite;
        wave.onWrite = [&](int) {
            if (!firstWrite.isValid())
                firstWrite = clock.now();
        };
        bool periodSet = false;
        while (!firstWrite.isValid()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
            if (!periodSet && !form.startupPending()) {
                form.scheduler().setPeriodPosition(1); // every 5 minutes
                periodSet = true;
            }
        }
        state.SetIterationTime(static_cast<double>(boundary.msecsTo(firstWrite)) / 1000.0);
        while (form.announcer().busy() || form.player().isPlaying())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void ScheduledSecondToFirstBufferNoPort(benchmark::State &state) { scheduledSecondToFirstBuffer(state, false); }
void ScheduledSecondToFirstBufferWithPort(benchmark::State &state) { scheduledSecondToFirstBuffer(state, true); }
BENCHMARK(ScheduledSecondToFirstBufferNoPort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(12)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); });
BENCHMARK(ScheduledSecondToFirstBufferWithPort)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(12)->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); });

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
