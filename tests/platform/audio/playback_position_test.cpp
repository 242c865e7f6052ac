// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/playback_position.h"

#include <gtest/gtest.h>

#include <string>

namespace tamro::audio {
namespace {

constexpr int rate = 48000;
constexpr std::size_t period = 480;  // 10 ms: the least it extrapolates
constexpr std::int64_t wrap = std::int64_t{1} << 29;  // the clock field's range, in µs

PlaybackPosition::Estimate playing(std::int64_t frame, std::int64_t from, std::int64_t queuedEnd)
{
    return {frame, from, queuedEnd, true, true};
}

TEST(PlaybackPosition, ExtrapolatesWithTheClockUpToWhatWasHandedOut)
{
    struct Case {
        std::string what;
        PlaybackPosition::Estimate published;
        std::int64_t now;
        std::int64_t frame;
        bool moving;
        double startsIn;
        std::int64_t secondLater;  // the frame a second later, past every limit
    };
    const std::int64_t t = 1'000'000;
    const Case cases[] = {
        {"at the callback", playing(4800, t, 9600), t, 4800, true, 0.0, 9600},
        {"5 ms later", playing(4800, t, 9600), t + 5000, 4800 + 240, true, 0.0, 9600},
        {"to what was handed out", playing(4800, t, 9600), t + 200'000, 9600, false, 0.0, 9600},
        {"at least a buffer", playing(4800, t, 4800), t + 20'000, 4800 + 480, false, 0.0, 5280},
        {"queued: starts later", playing(0, t + 30'000, 4800), t, 0, true, 0.03, 4800},
        {"across the clock's wrap", playing(4800, wrap - 1000, 9600), wrap + 1000, 4800 + 96, true, 0.0, 9600},
        {"last frames out: runs to the end", {9000, t, 9600, false, true}, t + 100'000, 9600, false, 0.0, 9600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaybackPosition p(rate, period);
        EXPECT_FALSE(p.motionAt(c.now).moving) << "frozen at 0 until published";
        p.publishExactly(c.published, 1);
        const MediaPlayer::Motion m = p.motionAt(c.now);
        EXPECT_EQ(m.moving, c.moving);
        EXPECT_NEAR(m.startsIn, c.startsIn, 1e-9);
        EXPECT_EQ(p.frameAt(c.now), c.frame);
        EXPECT_EQ(p.frameAt(c.now + 1'000'000), c.secondLater);
        EXPECT_EQ(p.frameAt(c.now + 1'000'000 + wrap / 2 + 1000), c.secondLater)
            << "one that reached its limit stays there, though the clock field wraps round";
    }
}

TEST(PlaybackPosition, UnevenCallbacksAreHeldOnTheCourseBeforeUnlessFarBehind)
{
    struct Case {
        std::string what;
        std::int64_t secondFrame;  // the second callback's estimate, 10 ms after the first at frame 4800
        std::uint64_t segment;
        std::int64_t heard;
    };
    const Case cases[] = {
        {"on course", 4800 + 480, 1, 4800 + 480},
        {"ahead", 4800 + 600, 1, 4800 + 600},
        {"a little behind: held", 4800 + 400, 1, 4800 + 480},
        {"half a buffer behind: held", 4800 + 240, 1, 4800 + 480},
        {"more behind: the device fell behind", 4800 + 200, 1, 4800 + 200},
        {"another segment: taken as it is", 4800 + 400, 2, 4800 + 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaybackPosition p(rate, period);
        const std::int64_t t = 2'000'000;
        p.publish(playing(4800, t, 48000), 1, t);
        p.publish(playing(c.secondFrame, t + 10'000, 48000), c.segment, t + 10'000);
        EXPECT_EQ(p.frameAt(t + 10'000), c.heard);
    }
}

TEST(PlaybackPosition, APublishTellsTheUiThreadOnceWhenItSawItStillOrPlannedFromACourseBehind)
{
    struct Case {
        std::string what;
        bool seenStill;              // motionAt was asked while frozen
        std::int64_t secondFrame;    // the callback after motionAt looked at a moving course (frame 4800)
        bool toldFirst, toldSecond;  // what the first publish and the second say
    };
    const std::int64_t t = 3'000'000;
    const Case cases[] = {
        {"seen still: told once", true, 4800 + 480, true, false},
        {"not seen still, on course: not told", false, 4800 + 480, false, false},
        {"a step ahead of the plan: told", false, 4800 + 480 + 480, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlaybackPosition p(rate, period);
        if (!c.seenStill)
            p.publishExactly(playing(4800, t, 48000), 1);
        p.motionAt(t);
        EXPECT_EQ(p.publish(playing(4800, t, 48000), 1, t), c.toldFirst);
        p.motionAt(t);
        EXPECT_EQ(p.publish(playing(c.secondFrame, t + 10'000, 48000), 1, t + 10'000), c.toldSecond);
        EXPECT_FALSE(p.publish(playing(c.secondFrame + 480, t + 20'000, 48000), 1, t + 20'000))
            << "the same course again is planned from already";
    }
}

}  // namespace
}  // namespace tamro::audio
