// The copy box's speed and time left, told ticks instead of reading a clock.
#include "copy_rate.h"

#include <gtest/gtest.h>

TEST(CopyRate, TheSpeedIsAnAverageOverSecondsNeverOverOneNotice)
{
    CopyRate rate;
    StartRate(rate, 1000);
    // A file copied inside one notice, 10 ms in: no speed yet, and then it
    // counts over the whole second, not the 10 ms.
    AddBytes(rate, 500000, 1010);
    EXPECT_EQ(0u, BytesPerSecond(rate, 1010));
    EXPECT_EQ(-1, SecondsLeft(rate, 100, 1010));
    EXPECT_EQ(500000u, BytesPerSecond(rate, 2000));

    // Ten steady seconds at 200,000 bytes a second: what came first is gone.
    DWORD t = 2000;
    for (int i = 0; i < 20; ++i) AddBytes(rate, 100000, t += 500);
    EXPECT_EQ(200000u, BytesPerSecond(rate, t));
    EXPECT_EQ(5, SecondsLeft(rate, 1000000, t));
    EXPECT_EQ(6, SecondsLeft(rate, 1000001, t));  // a started second is a second

    // A small file landing 1 ms after a notice moves the average by its
    // share of three seconds, not by 300 MB a second.
    AddBytes(rate, 300000, t + 1);
    EXPECT_LE(BytesPerSecond(rate, t + 1), 300000u);
    EXPECT_GT(BytesPerSecond(rate, t + 1), 200000u);

    // A long silence (a file copied in one call, with no notice) is part of
    // the window: the speed falls, and nothing divides by nothing.
    EXPECT_LT(BytesPerSecond(rate, t + 20000), 100000u);
    AddBytes(rate, 0, t + 20000);
    EXPECT_LT(BytesPerSecond(rate, t + 20001), 100000u);
}
