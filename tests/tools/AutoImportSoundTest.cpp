#include "platform/CompletionSound.h"
#include "platform/ProcessActivity.h"

#include <gtest/gtest.h>

#include <limits>

TEST(CompletionSound, GainIsTheClampedVolumeTimes562InDecibelsForCanberra)
{
    const float gains[][2] = {{0.8f, 4.496f}, {0.5f, 2.81f}, {1.0f, 5.62f},  {2.5f, 5.62f},
                              {0.0f, 0.0f},   {-0.3f, 0.0f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
    for (const auto& g : gains)
        EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(g[0]), g[1]) << g[0];
    EXPECT_EQ(CompletionSound::canberraVolume(CompletionSound::gainForVolume(0.8f)), "13.06");
    EXPECT_EQ(CompletionSound::canberraVolume(CompletionSound::gainForVolume(1.0f)), "14.99");
    EXPECT_EQ(CompletionSound::canberraVolume(0.0f), "-96.00"); // volume 0 still plays, silently
}

TEST(ProcessActivity, WithoutASystemBusItHoldsNothing)
{
    EXPECT_FALSE(ProcessActivity("自动导片复制任务进行中，请勿让系统睡眠").isHeld());
}
