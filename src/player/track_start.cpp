// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/track_start.h"

#include "base/numbers.h"

namespace tamro::player {

TrackStart::TrackStart(MediaPlayer& play, ui::ListBox& list1, ui::Slider& slider1, ui::Label& songname,
                       ui::Label& time)
    : play_(play), list1_(list1), slider1_(slider1), songname_(songname), time_(time)
{
}

void TrackStart::load(const std::string& path)
{
    play_.setFileName(path);
}

void TrackStart::play()
{
    play_.play();
}

void TrackStart::setRange()
{
    slider1_.setMax(roundToInt32(play_.length()));
}

void TrackStart::showTitle()
{
    const double length = play_.length();
    songname_.setCaption(titleLine(list1_.text(), length));
}

void TrackStart::showClock()
{
    time_.setVisible(true);
}

}  // namespace tamro::player
