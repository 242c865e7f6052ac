// SPDX-License-Identifier: GPL-3.0-or-later
// The window's load steps and the "Playlist" button, which shows and hides the playlist editor.
#pragma once

#include "ui/fixed_window.h"
#include "ui/label.h"

namespace tamro::player {

class Startup {
public:
    static constexpr float compactHeight = 1725.0f;
    static constexpr float expandedHeight = 4170.0f;

    Startup(ui::FixedWindow& frmmain, ui::Label& time);

    // Hides the clock and cuts the window to its compact height.
    void Form_Load();
    // Toggles by exact comparison; at any other height it does nothing.
    void Command1_Click();

private:
    ui::FixedWindow& frmmain_;
    ui::Label& time_;
};

}  // namespace tamro::player
