#include "platform/CompletionSound.h"
#include "platform/ProcessActivity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(CompletionSound, GainIsTheClampedVolumeTimes562)
{
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(0.8f), 4.496f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(0.5f), 2.81f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(1.0f), 5.62f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(2.5f), 5.62f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(-0.3f), 0.0f);
    EXPECT_FLOAT_EQ(CompletionSound::gainForVolume(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

TEST(CompletionSound, GainBecomesDecibelsForCanberra)
{
    EXPECT_NEAR(CompletionSound::decibelsForGain(5.62f), 15.0, 0.01);
    EXPECT_NEAR(CompletionSound::decibelsForGain(1.0f), 0.0, 1e-9);
    EXPECT_EQ(CompletionSound::canberraVolume(CompletionSound::gainForVolume(0.8f)), "13.06");
    EXPECT_EQ(CompletionSound::canberraVolume(CompletionSound::gainForVolume(1.0f)), "14.99");
    // Volume 0 still plays, silently.
    EXPECT_EQ(CompletionSound::canberraVolume(0.0f), "-96.00");
}

TEST(ProcessActivity, WithoutASystemBusItHoldsNothing)
{
    ProcessActivity activity("自动导片复制任务进行中，请勿让系统睡眠");
    EXPECT_FALSE(activity.isHeld());
}
