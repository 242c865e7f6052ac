// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/soft_limit.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tamro::audio {
namespace {

TEST(SoftLimit, LeavesQuietSamplesAloneAndBendsPeaksBelowFullScale)
{
    struct Case {
        float in;
        float low, high;  // the result lies in [low, high]
    };
    for (const Case c : {Case{0.0f, 0.0f, 0.0f}, Case{0.5f, 0.5f, 0.5f}, Case{-0.8f, -0.8f, -0.8f},
                         Case{0.9f, 0.88f, 0.9f}, Case{1.0f, 0.95f, 0.99f}, Case{-1.5f, -1.0f, -0.99f},
                         Case{40.0f, 0.999f, 1.0f}}) {
        SCOPED_TRACE(c.in);
        const float out = softLimit(c.in);
        EXPECT_GE(out, c.low);
        EXPECT_LE(out, c.high);
    }
}

TEST(SoftLimit, IsSmoothAndKeepsTheOrderOfSamples)
{
    float previous = softLimit(-4.0f);
    for (float x = -4.0f + 1e-3f; x < 4.0f; x += 1e-3f) {
        const float y = softLimit(x);
        ASSERT_GE(y, previous) << x;
        ASSERT_LT(y - previous, 1.01e-3f) << "no step at " << x;
        ASSERT_LE(std::fabs(y), 1.0f) << x;
        previous = y;
    }
}

}  // namespace
}  // namespace tamro::audio
