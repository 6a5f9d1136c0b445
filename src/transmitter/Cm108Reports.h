#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace auravox {

// The HID reports of a C-Media CM108/CM119 sound fob, as written to and read
// from its /dev/hidraw node.
//
// Output report (what sets the chip's GPIO pins), 5 bytes written:
//   byte 0  report ID: 0 (the chip has no numbered reports; hidraw wants the 0)
//   byte 1  HID_OR0: 0 = write the GPIO pins (other values reach the chip's
//           SPDIF and EEPROM registers, never used here)
//   byte 2  HID_OR1: the GPIO data, bit n-1 for GPIOn (1 = pin high)
//   byte 3  HID_OR2: the GPIO direction, bit n-1 for GPIOn (1 = output)
//   byte 4  HID_OR3: 0 (SPDIF status, unused)
// Only the PTT pin is made an output: its direction bit is set in every
// report, so keying is {0, 0, m, m, 0} and releasing {0, 0, 0, m, 0} with
// m = 1 << (gpio - 1) (GPIO3: m = 0x04).
//
// Input report, 4 bytes read (one per read on a real node; a stand-in may
// hand several at once): byte 0 holds the buttons, bit 0 volume up, bit 1
// volume down, bit 2 playback mute, bit 3 record mute (1 = pressed, which on an
// interface board is the COS or a switch closing); bytes 1-3 are not used.
namespace Cm108Reports {

constexpr int kOutputSize = 5;
constexpr int kInputSize = 4;

// The output report that sets PTT on `gpio` (1..8) to `on`.
std::array<std::uint8_t, kOutputSize> pttReport(int gpio, bool on);
// Whether input bit `bit` (0..7 of byte 0) is set in `report` (kInputSize bytes).
bool inputBit(const QByteArray &report, int bit);

} // namespace Cm108Reports

} // namespace auravox
