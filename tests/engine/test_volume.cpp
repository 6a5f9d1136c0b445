// The volume slider's levels and the read-back of the device volume.

#include "engine/VolumeControl.h"

#include <gtest/gtest.h>

using namespace auravox;

TEST(Volume, LevelsOfTheSliderWithTheBalance)
{
    EXPECT_EQ(Volume::forPosition(5, 0), Volume::pack(32768, 32768)) << "32,767.5 rounds half to even";
    EXPECT_EQ(Volume::forPosition(0, 0), Volume::pack(65535, 65535));
    EXPECT_EQ(Volume::forPosition(10, 0), Volume::pack(0, 0));
    EXPECT_EQ(Volume::forPosition(5, 50), Volume::pack(32768, 16384));
    EXPECT_EQ(Volume::forPosition(0, -100), Volume::pack(0, 65535));
    EXPECT_EQ(Volume::forPosition(0, 25), Volume::pack(65535, 49151)) << "49,151.25";
}

TEST(Volume, ReadBackFindsThePositionAndTheBalance)
{
    Volume::ReadBack r = Volume::readBack(Volume::pack(65535, 32768), 0);
    EXPECT_EQ(r.balance, 50);
    EXPECT_EQ(r.position, 0);
    EXPECT_EQ(Volume::forPosition(5, r.balance), Volume::pack(32768, 16384)) << "the slider moved to 5 keeps it";

    r = Volume::readBack(Volume::pack(16384, 65535), 0);
    EXPECT_EQ(r.balance, -75);
    EXPECT_EQ(r.position, 0);

    r = Volume::readBack(0, -30);
    EXPECT_EQ(r.position, 10);
    EXPECT_EQ(r.balance, -30) << "silence keeps the last balance";

    // Each position reads back as itself.
    for (int p = 0; p <= 10; ++p)
        EXPECT_EQ(Volume::readBack(Volume::forPosition(p, 0), 0).position, p) << p;
}
