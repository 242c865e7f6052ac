// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/position_clock.h"

#include "base/numbers.h"

namespace tamro::player {

PositionClock::PositionClock(MediaPlayer& play, ui::Slider& slider1, ui::Label& time)
    : play_(play), slider1_(slider1), time_(time)
{
}

// The ticks also come when nothing changed (after any event, at the schedule's ceiling): an unchanged value
// costs a compare, no repaint, no allocation (the time text fits the string's inline buffer).
void PositionClock::Timer1_Timer()
{
    slider1_.setValue(roundToInt32(play_.position()));
}

void PositionClock::Timer2_Timer()
{
    time_.setCaption(timeText(play_.position()));
}

void PositionClock::Slider1_Click()
{
    seek();
}

void PositionClock::Slider1_Scroll()
{
    seek();
}

void PositionClock::seek()
{
    play_.setPosition(static_cast<double>(slider1_.value()));
}

}  // namespace tamro::player
