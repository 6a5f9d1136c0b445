#pragma once

#include <QtGlobal>

namespace auravox::Volume {

constexpr int kPositions = 10; // slider positions 0 (loudest) to 10 (silent)
constexpr int kDefaultPosition = 5;

// Left channel in the low 16 bits, right in the high 16 bits.
inline quint32 pack(int left, int right)
{
    return static_cast<quint32>(left & 0xFFFF) | (static_cast<quint32>(right & 0xFFFF) << 16);
}
inline int leftOf(quint32 v) { return static_cast<int>(v & 0xFFFF); }
inline int rightOf(quint32 v) { return static_cast<int>(v >> 16); }

// The device volume for a slider position and a balance (-100..100; positive:
// the right channel is reduced by that percentage, negative: the left).
quint32 forPosition(int position, int balance);

// What a device volume reads back as: the slider position (every position
// reads back as itself), and the balance (unchanged when both channels are 0).
struct ReadBack
{
    int position = kDefaultPosition;
    int balance = 0;
};
ReadBack readBack(quint32 volume, int currentBalance);

} // namespace auravox::Volume
