// SPDX-License-Identifier: GPL-3.0-or-later
// Files given to the program (on its command line, by a second start, by the desktop's player controls) or
// dropped on its window: each appended as Add appends a chosen file, the given ones then started as a
// double-click on the first of them would start it.
#pragma once

#include "platform/file_dialog.h"
#include "player/track_start.h"
#include "player/transport.h"
#include "playlist/playlist_editing.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <functional>
#include <string>
#include <vector>

namespace tamro::desktop {

// Runs one handler as the event table runs a click's: under the report policy, then telling the desktop.
using RunEvent = std::function<void(const std::function<void()>& handler)>;

class GivenFiles {
public:
    GivenFiles(ui::ListBox& list1, ui::Label& label1, player::TrackStart& steps, player::Transport& transport,
               RunEvent run);

    // One Add for each path, in order, until the playlist is full; empty paths are passed over.
    // Returns the index of the first entry appended, -1 when none was.
    int append(const std::vector<std::string>& paths);
    // Appends, then selects the first entry appended and runs the double-click on it.
    void appendAndStart(const std::vector<std::string>& paths);

private:
    // The file dialog Add asks: its choice is the file given, so Add runs unchanged, one file a run.
    class GivenChoice final : public FileDialog {
    public:
        void give(std::string path) { given_ = std::move(path); }
        void setCancelError(bool) override {}
        void setFilter(const std::string&) override {}
        void showOpen() override
        {
            name_ = given_;
            given_.clear();
        }
        void showSave() override { name_.clear(); }
        std::string fileName() const override { return name_; }
        void setFileName(const std::string& name) override { name_ = name; }

    private:
        std::string given_;
        std::string name_;
    };

    ui::ListBox& list1_;
    player::Transport& transport_;
    RunEvent run_;
    GivenChoice choice_;
    playlist::PlaylistEditing editing_;
};

}  // namespace tamro::desktop
