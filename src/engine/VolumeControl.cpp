#include "engine/VolumeControl.h"

#include "common/Rounding.h"

#include <algorithm>

namespace auravox::Volume {

namespace {
int rounded(double v)
{
    return static_cast<int>(roundHalfEven(v));
}
} // namespace

quint32 forPosition(int position, int balance)
{
    position = std::clamp(position, 0, kPositions);
    balance = std::clamp(balance, -100, 100);
    const double level = (655350.0 - position * 65535.0) / 10.0;
    int left = 0;
    int right = 0;
    if (balance > 0) {
        left = rounded(level);
        right = rounded(left * (100.0 - balance) / 100.0);
    } else {
        right = rounded(level);
        left = rounded(right * (100.0 + balance) / 100.0);
    }
    return pack(left, right);
}

ReadBack readBack(quint32 volume, int currentBalance)
{
    const double left = leftOf(volume);
    const double right = rightOf(volume);
    ReadBack r;
    r.balance = currentBalance;
    double level = 0;
    if (left != 0 || right != 0) {
        if (right < left) {
            level = left;
            r.balance = rounded(100 - right / left * 100);
        } else {
            level = right;
            r.balance = -rounded(100 - left / right * 100);
        }
    }
    // Rounded, not cut to whole tenths: the levels of positions 3 and 7 lie a
    // hair under their tenth, and cutting would move the slider a step down
    // at the next tick after the user set it there.
    r.position = rounded(10 - level / 65535.0 * 10);
    return r;
}

} // namespace auravox::Volume
