#pragma once

#include "transmitter/PttDevice.h"

namespace auravox {

// The real devices of the kinds other than the serial port: the CM108 fob on
// /dev/hidraw, a GPIO line through libgpiod, a rig through Hamlib.
std::unique_ptr<PttDevice> makePttDevice(const PttSettings &settings);

} // namespace auravox
