#include "platform/linux/MonitorStationFactory.h"

#include "platform/linux/MonitorSerialDriver.h"
#include "platform/linux/MonitorSimulator.h"

#include <atomic>

namespace auravox {

namespace {
std::atomic<bool> g_simulated{false};
} // namespace

void setSimulatedMonitor(bool on)
{
    g_simulated = on;
}

bool simulatedMonitorWanted()
{
    return g_simulated || !qEnvironmentVariableIsEmpty("AURAVOX_MONITOR_SIMULATOR");
}

std::unique_ptr<MonitorStation> createMonitorStation()
{
    if (!simulatedMonitorWanted())
        return std::make_unique<MonitorSerialDriver>();
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("AURAVOX_MONITOR_SIMULATOR").toUInt(&ok);
    auto simulator = std::make_shared<MonitorSimulator>();
    simulator->useDemoWeather(ok ? seed : kDefaultMonitorSimulatorSeed);
    // The driver's port mapping owns the simulator: it lives as long as the
    // driver and stops after the driver has closed the port.
    return std::make_unique<MonitorSerialDriver>([simulator](int) { return simulator->slavePath(); });
}

} // namespace auravox
