// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/startup.h"

namespace tamro::player {

Startup::Startup(ui::FixedWindow& frmmain, ui::Label& time) : frmmain_(frmmain), time_(time) {}

void Startup::Form_Load()
{
    time_.setVisible(false);
    frmmain_.setHeightTwips(compactHeight);
}

void Startup::Command1_Click()
{
    if (frmmain_.heightTwips() == expandedHeight) {
        frmmain_.setHeightTwips(compactHeight);
        return;
    }
    if (frmmain_.heightTwips() == compactHeight)
        frmmain_.setHeightTwips(expandedHeight);
}

}  // namespace tamro::player
