// SPDX-License-Identifier: GPL-3.0-or-later
// Add, Del, the Delete key, Del all and Open: the commands that change the playlist directly.
#pragma once

#include "platform/file_dialog.h"
#include "player/track_start.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <Qt>

namespace tamro::playlist {

// Each handler throws Failure when an action fails; a cancelled file choice ends it quietly.
class PlaylistEditing {
public:
    PlaylistEditing(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog, player::TrackStart& trackStart);

    void Add_Click();
    void Rem_Click();
    // Only the Delete key is handled, whatever modifiers are held; every other key is left to the list.
    void List1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void Command6_Click();
    void open_Click();

private:
    ui::ListBox& list1_;
    ui::Label& label1_;
    FileDialog& dialog_;
    player::TrackStart& trackStart_;

    void removeSelected();
};

}  // namespace tamro::playlist
