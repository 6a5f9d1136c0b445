// A simulated Davis Weather Monitor II on a pseudo-terminal, for trying the
// station driver or the program without a station:
//
//   monitor_sim [seed]          prints the pty path, e.g. /dev/pts/7
//   ln -s /dev/pts/7 ~/ttyDavis  (or point the program's port at it)
//
// Runs until SIGINT or SIGTERM. The weather varies slowly; the same seed
// gives the same weather over time.

#include "platform/linux/MonitorSimulator.h"
#include "platform/linux/MonitorStationFactory.h"

#include <signal.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    quint32 seed = auravox::kDefaultMonitorSimulatorSeed;
    if (argc > 1)
        seed = static_cast<quint32>(std::strtoul(argv[1], nullptr, 10));

    // Wait for the signals synchronously rather than in a handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auravox::MonitorSimulator station;
    if (!station.isRunning()) {
        std::fprintf(stderr, "monitor_sim: no pseudo-terminal available\n");
        return 1;
    }
    station.useDemoWeather(seed);
    std::printf("%s\n", station.slavePath().toLocal8Bit().constData());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}
