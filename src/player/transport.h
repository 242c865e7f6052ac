// SPDX-License-Identifier: GPL-3.0-or-later
// Play, Stop, Previous and the double-click on an entry: the commands that start or stop a track.
#pragma once

#include "platform/media_player.h"
#include "player/track_start.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <cstdint>

namespace tamro::player {

class Transport {
public:
    Transport(MediaPlayer& play, TrackStart& steps, ui::ListBox& list1, ui::Label& songname, ui::Label& time,
              std::int32_t& last);

    // Plays the selected entry; every action that fails is skipped silently and the next one runs.
    void cmdplay_Click();
    void Command2_Click();
    // Steps back from `last`, moving the selection up from where it is. Failures end it.
    void Back_Click();
    // Plays the selected entry and makes it `last`. Failures end it.
    void List1_DblClick();

private:
    MediaPlayer& play_;
    TrackStart& steps_;
    ui::ListBox& list1_;
    ui::Label& songname_;
    ui::Label& time_;
    std::int32_t& last_;
};

}  // namespace tamro::player
