// SPDX-License-Identifier: GPL-3.0-or-later
// The slider follower and the position clock (run by the display schedule), and the seek.
#pragma once

#include "platform/media_player.h"
#include "ui/label.h"
#include "ui/slider.h"

namespace tamro::player {

class PositionClock {
public:
    PositionClock(MediaPlayer& play, ui::Slider& slider1, ui::Label& time);

    // Moves the slider to the position in whole seconds (half to even), unclamped, also during a drag.
    void Timer1_Timer();
    // Writes the position as MM:SS into the clock, hidden or not.
    void Timer2_Timer();
    // Both seek to the slider's value.
    void Slider1_Click();
    void Slider1_Scroll();

private:
    void seek();

    MediaPlayer& play_;
    ui::Slider& slider1_;
    ui::Label& time_;
};

}  // namespace tamro::player
