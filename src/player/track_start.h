// SPDX-License-Identifier: GPL-3.0-or-later
// The start-track steps (1 load, 2 play, 3 set range, 4 show title, 5 show clock), one call each, so every
// command that starts an entry runs the ones it needs in its own order.
#pragma once

#include "platform/media_player.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/slider.h"

#include <string>

namespace tamro::player {

class TrackStart {
public:
    TrackStart(MediaPlayer& play, ui::ListBox& list1, ui::Slider& slider1, ui::Label& songname, ui::Label& time);

    // 1: hands the path to the media player exactly as given.
    void load(const std::string& path);
    // 2
    void play();
    // 3: the slider's maximum becomes the length in whole seconds (half to even).
    void setRange();
    // 4: a fresh length query and the list's selected entry as it is now (not the path loaded).
    void showTitle();
    // 5
    void showClock();

private:
    MediaPlayer& play_;
    ui::ListBox& list1_;
    ui::Slider& slider1_;
    ui::Label& songname_;
    ui::Label& time_;
};

}  // namespace tamro::player
