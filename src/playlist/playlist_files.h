// Load and Save: the playlist replaced from a file, or written to one.
#pragma once

#include "platform/file_dialog.h"
#include "ui/label.h"
#include "ui/list_box.h"

namespace tamro::playlist {

// Each handler throws Failure when the file cannot be read or written; the playlist is then as it was.
// A cancelled file choice ends it quietly.
class PlaylistFiles {
public:
    PlaylistFiles(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog);

    // Load: the whole file is read before the playlist is replaced, so a file that cannot be read costs nothing.
    void Command4_Click();
    // Save: every entry, then the selection on the last one.
    void Savelist_Click();

private:
    ui::ListBox& list1_;
    ui::Label& label1_;
    FileDialog& dialog_;
};

}  // namespace tamro::playlist
