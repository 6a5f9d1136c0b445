#pragma once

#include "stations/MonitorStation.h"

#include <QtGlobal>

#include <memory>

namespace auravox {

// Makes the program's Davis Weather Monitor II: the native serial driver on
// the real ports, or, when a simulated station is wanted, the same driver
// talking to an in-process MonitorSimulator (any port number then opens the
// simulator's pseudo-terminal) with slowly varying demo weather.
//
// A simulated station is wanted when the environment variable
// AURAVOX_MONITOR_SIMULATOR is not empty or setSimulatedMonitor(true) was
// called. A number in the variable is the demo weather's seed.
std::unique_ptr<MonitorStation> createMonitorStation();

void setSimulatedMonitor(bool on);
bool simulatedMonitorWanted();

constexpr quint32 kDefaultMonitorSimulatorSeed = 2400;

} // namespace auravox
