// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/display_schedule.h"

#include "support/fake_media_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace tamro::player {
namespace {

using std::chrono::milliseconds;

TEST(UntilRoundedChange, WakesWhenTheShownSecondNextChanges)
{
    struct Case {
        const char* what;
        double position, startsIn;
        long long millis;
    };
    const Case cases[] = {
        {"from a whole second, the half after it", 2.0, 0.0, 500},
        {"an odd second changes at its half", 3.2, 0.0, 300},
        {"an even second keeps its half: look again just after", 2.5, 0.0, 1},
        {"just past a tie", 2.5001, 0.0, 1000},
        {"a frame short of the half: 1 ms", 2.49998, 0.0, 1},
        {"a fraction of a millisecond rounds up", 1.2996, 0.0, 201},
        {"binary fractions never make it late", 0.66, 0.0, 840},
        {"a start still to come adds its wait", 0.0, 0.0147, 515},
        {"never longer than asked", 1.6, 0.7, 1000},
        {"beyond 32 bits it still plans", 3e9 + 0.25, 0.0, 250},
        {"nowhere to go: as long as asked", std::nan(""), 0.0, 1000},
        {"infinity: as long as asked", INFINITY, 0.0, 1000},
        {"no halves left: as long as asked", 0x1p53, 0.0, 1000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(untilRoundedChange(c.position, c.startsIn, milliseconds(1000)).count(), c.millis) << c.what;
}

// Fires when the test says the time has come.
class ManualTimer final : public SingleShotTimer {
public:
    std::optional<milliseconds> planned;
    void start(milliseconds delay, std::function<void()> due) override
    {
        planned = delay;
        due_ = std::move(due);
    }
    void stop() override { planned.reset(); }
    void fire()
    {
        planned.reset();
        std::exchange(due_, nullptr)();
    }

private:
    std::function<void()> due_;
};

TEST(DisplaySchedule, TicksAfterEveryEventAndPlansOnlyWhileThePositionMoves)
{
    struct Step {
        const char* what;
        MediaPlayer::Motion motion;
        double position;
        bool fire;  // the planned time comes, rather than an event
        std::optional<milliseconds> plans;
    };
    const Step steps[] = {
        {"an event while nothing moves: ticks, no plan", {}, 0.0, false, std::nullopt},
        {"playing from 0", {true, 0.0}, 0.0, false, milliseconds(250)},
        {"the ceiling comes", {true, 0.0}, 0.25, true, milliseconds(250)},
        {"closer to the half", {true, 0.0}, 0.3, true, milliseconds(200)},
        {"a queued track starts later", {true, 0.01}, 1.4, false, milliseconds(110)},
        {"the glide ran out", {}, 1.4, true, std::nullopt},
    };
    testing::FakeMediaPlayer play;
    int ticks = 0;
    auto owned = std::make_unique<ManualTimer>();
    ManualTimer& timer = *owned;
    DisplaySchedule schedule(play, [&] { ++ticks; }, std::move(owned));
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        play.motionValue = step.motion;
        play.positionValue = step.position;
        const int before = ticks;
        step.fire ? timer.fire() : schedule.afterEvent();
        EXPECT_EQ(ticks, before + 1);
        EXPECT_EQ(timer.planned, step.plans);
    }
}

TEST(DisplaySchedule, AFailingPositionStillTicksAndLooksAgainAtTheCeiling)
{
    testing::FakeMediaPlayer play;
    play.motionValue = {true, 0.0};
    play.failing = {"position"};
    auto owned = std::make_unique<ManualTimer>();
    ManualTimer& timer = *owned;
    int ticks = 0;
    DisplaySchedule schedule(play, [&] { ++ticks; }, std::move(owned));
    schedule.afterEvent();
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer.planned, DisplaySchedule::ceiling);
}

}  // namespace
}  // namespace tamro::player
