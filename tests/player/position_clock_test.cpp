// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/position_clock.h"

#include "base/failure.h"
#include "support/fake_media_player.h"

#include <gtest/gtest.h>

namespace tamro::player {
namespace {

using Calls = std::vector<std::string>;

struct Window {
    testing::FakeMediaPlayer play;
    ui::Slider slider1;
    ui::Label time;
    PositionClock clock{play, slider1, time};

    Window() { slider1.setMax(4000); }
};

struct PositionCase {
    double position;
    std::int32_t slider;
    const char* clock;
};

TEST(PositionClock, FollowerAndClockShowTheSameRoundedSecond)
{
    const PositionCase cases[] = {{0, 0, "00:00"},      {2.5, 2, "00:02"},    {3.5, 4, "00:04"},
                                  {59.5, 60, "01:00"},  {61.5, 62, "01:02"},  {62.5, 62, "01:02"},
                                  {3725, 3725, "62:05"}, {0.49, 0, "00:00"}, {119.5, 120, "02:00"}};
    Window w;
    for (const PositionCase& c : cases) {
        w.play.positionValue = c.position;
        w.clock.Timer1_Timer();
        w.clock.Timer2_Timer();
        EXPECT_EQ(w.slider1.value(), c.slider) << c.position;
        EXPECT_EQ(w.time.caption(), c.clock) << c.position;
    }
    EXPECT_EQ(std::count(w.play.calls.begin(), w.play.calls.end(), "position"), 2 * std::ssize(cases))
        << "each tick asks afresh";
}

TEST(PositionClock, AClickSeeksToTheSlidersValueAndTheTicksFollowFromThere)
{
    Window w;
    w.slider1.setValue(75);
    w.clock.Slider1_Click();
    EXPECT_EQ(w.play.calls, Calls{"setPosition:75"});
    w.clock.Timer1_Timer();
    w.clock.Timer2_Timer();
    EXPECT_EQ(w.slider1.value(), 75);
    EXPECT_EQ(w.time.caption(), "01:15");
}

TEST(PositionClock, DraggingSeeksAtEveryMoveAndTheFollowerMovesTheThumbBetween)
{
    Window w;
    QObject::connect(&w.slider1, &ui::Slider::scroll, [&] { w.clock.Slider1_Scroll(); });
    w.play.positionValue = 10;
    w.clock.Timer1_Timer();

    w.slider1.setSliderDown(true);
    w.slider1.setSliderPosition(40);  // what a mouse move on the thumb does
    w.play.positionValue = 40.4;
    w.clock.Timer1_Timer();
    EXPECT_EQ(w.slider1.value(), 40);
    w.play.positionValue = 41.2;
    w.clock.Timer1_Timer();
    EXPECT_EQ(w.slider1.value(), 41) << "the follower moves the thumb during a drag";
    w.slider1.setSliderPosition(50);
    w.slider1.setSliderDown(false);

    EXPECT_EQ(w.play.commandCalls(), (Calls{"setPosition:40", "setPosition:50"}))
        << "the follower's own moves never seek";
}

TEST(PositionClock, AFollowedPositionBeyondTheRangeIsShownAtTheEnd)
{
    Window w;
    w.slider1.setMax(60);
    w.play.positionValue = 75;
    w.clock.Timer1_Timer();
    EXPECT_EQ(w.slider1.value(), 60);
    EXPECT_TRUE(w.play.commandCalls().empty());
}

TEST(PositionClock, FailuresEndTheTickAndLeaveTheControls)
{
    Window w;
    w.play.positionValue = 12;
    w.clock.Timer1_Timer();
    w.clock.Timer2_Timer();

    w.play.positionValue = 5e9;
    EXPECT_THROW(w.clock.Timer1_Timer(), Failure);
    EXPECT_THROW(w.clock.Timer2_Timer(), Failure);
    w.play.failing = {"position", "setPosition"};
    EXPECT_THROW(w.clock.Timer1_Timer(), Failure);
    EXPECT_THROW(w.clock.Slider1_Scroll(), Failure);
    EXPECT_EQ(w.slider1.value(), 12);
    EXPECT_EQ(w.time.caption(), "00:12");
}

}  // namespace
}  // namespace tamro::player
