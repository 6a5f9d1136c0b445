#include "transmitter/Cm108Reports.h"

namespace auravox::Cm108Reports {

std::array<std::uint8_t, kOutputSize> pttReport(int gpio, bool on)
{
    const auto mask = static_cast<std::uint8_t>(1u << (gpio - 1));
    return {0, 0, on ? mask : std::uint8_t{0}, mask, 0};
}

bool inputBit(const QByteArray &report, int bit)
{
    if (report.isEmpty() || bit < 0 || bit > 7)
        return false;
    return (static_cast<std::uint8_t>(report.at(0)) >> bit) & 1u;
}

} // namespace auravox::Cm108Reports
