// SPDX-License-Identifier: GPL-3.0-or-later
// A position past the 32-bit range in a scripted session: the display schedule fails the same ticks, with the same
// boxes, as Timer1_Timer and Timer2_Timer run every virtual millisecond failed them.
#include "scripted_session.h"

#include "support/fake_media_player.h"

#include <gtest/gtest.h>

namespace tamro::app {
namespace {

using namespace scripted;

// A fake whose position passes the 32-bit range while it moves; a failing tick's box closed by the user.
Recording overflowSession(Ticks ticks)
{
    auto fake = std::make_unique<testing::FakeMediaPlayer>();
    testing::FakeMediaPlayer* play = fake.get();
    Session s(ticks, std::move(fake), nullptr);
    constexpr double start = 2147483647.0 - 0.7;  // past 2^31 - 0.5 after 1.2 s
    play->positionValue = start;
    const Session::Script script{
        {100, [](Session& s) { s.click(s.f().cmdplay); }},
        {200, [play](Session&) {
             play->motionValue = {true, 0.0};
             play->fireMotion();
         }},
        {1500, [](Session& s) { s.window.failures.openBox()->close(); }},
        {1800, [play](Session&) {
             play->motionValue = {};
             play->fireMotion();
         }},
        {1900, [](Session& s) { s.window.failures.openBox()->close(); }},
    };
    // The fake glides by hand: one second per second while it says it moves.
    Session::Script withGlide = script;
    for (std::int64_t ms = 201; ms < 1800; ++ms)
        withGlide.emplace(ms, [play, ms](Session&) { play->positionValue = start + static_cast<double>(ms - 200) / 1000; });
    s.run(withGlide, 2500);
    return {s.shown, s.heard, s.scheduledTicks()};
}

TEST(DisplaySession, APositionBeyond32BitsFailsTheSameTicks)
{
    const Recording reference = overflowSession(Ticks::everyMillisecond);
    const Recording scheduled = overflowSession(Ticks::scheduled);
    expectSameDisplay(reference, scheduled);
    EXPECT_EQ(scheduled.shown[1350].box, "") << "not yet";
    EXPECT_NE(scheduled.shown[1450].box, "") << "the overflow was reported";
    EXPECT_EQ(scheduled.shown[1950].box, scheduled.shown[1450].box) << "and again after the box was closed";
}

}  // namespace
}  // namespace tamro::app
