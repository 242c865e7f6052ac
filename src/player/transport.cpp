// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/transport.h"

#include "base/numbers.h"
#include "player/failure_policies.h"

namespace tamro::player {

Transport::Transport(MediaPlayer& play, TrackStart& steps, ui::ListBox& list1, ui::Label& songname,
                     ui::Label& time, std::int32_t& last)
    : play_(play), steps_(steps), list1_(list1), songname_(songname), time_(time), last_(last)
{
}

void Transport::cmdplay_Click()
{
    skipping([&] { steps_.load(list1_.text()); });
    skipping([&] { steps_.play(); });
    skipping([&] { steps_.setRange(); });

    // The title line is built action by action, each one skippable; what could not be worked out stays 0.
    double length = 0.0;
    skipping([&] { length = play_.length(); });
    std::int32_t minutes = 0;
    std::int32_t seconds = 0;
    skipping([&] { minutes = roundToInt32(length) / 60; });
    skipping([&] { seconds = roundToInt32(length - 60.0 * minutes); });
    std::string mm;
    std::string ss;
    skipping([&] { mm = padTwo(minutes); });
    skipping([&] { ss = padTwo(seconds); });
    std::string bracketed;
    skipping([&] { bracketed = "- (" + mm + ":" + ss + ")"; });
    skipping([&] { songname_.setCaption(list1_.text() + " " + bracketed); });
    skipping([&] { time_.setVisible(true); });
}

void Transport::Command2_Click()
{
    play_.stop();
}

void Transport::Back_Click()
{
    if (last_ < 1)
        return;
    last_ -= 1;
    const std::string path = list1_.list(toInt16(last_));
    list1_.setListIndex(std::int32_t{list1_.listIndex()} - 1);
    steps_.load(path);
    steps_.play();
    steps_.setRange();
    steps_.showTitle();
}

void Transport::List1_DblClick()
{
    steps_.load(list1_.text());
    steps_.play();
    steps_.setRange();
    last_ = list1_.listIndex();
    steps_.showTitle();
    steps_.showClock();
}

}  // namespace tamro::player
