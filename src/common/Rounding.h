#pragma once

#include <cmath>
#include <cstdint>

namespace auravox {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -3.5 -> -4). The one rounding rule of the program.
inline std::int64_t roundHalfEven(double value)
{
    return static_cast<std::int64_t>(std::nearbyint(value)); // FE_TONEAREST is the default mode
}

} // namespace auravox
