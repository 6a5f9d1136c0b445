#include "transmitter/linux/PttDevices.h"

#include "transmitter/GpioPtt.h"
#include "transmitter/PttSettings.h"
#include "transmitter/linux/Cm108Ptt.h"
#include "transmitter/linux/HamlibPtt.h"
#include "transmitter/linux/LibgpiodChip.h"

namespace auravox {

std::unique_ptr<PttDevice> makePttDevice(const PttSettings &settings)
{
    switch (settings.kind) {
    case PttKind::Cm108:
        return std::make_unique<Cm108Ptt>(settings.cm108);
    case PttKind::Gpio:
        return std::make_unique<GpioPtt>(settings.gpio, std::make_unique<LibgpiodChip>());
    case PttKind::Rig:
        return std::make_unique<HamlibPtt>(settings.rig);
    case PttKind::Serial:
        break;
    }
    return nullptr;
}

} // namespace auravox
