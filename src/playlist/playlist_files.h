// SPDX-License-Identifier: GPL-3.0-or-later
// Load and Save: the playlist replaced from a file, or written to one.
#pragma once

#include "platform/file_dialog.h"
#include "ui/label.h"
#include "ui/list_box.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tamro::playlist {

// A file's identity and version: the same file under any of its names, unchanged since it was seen.
struct FileState {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileState&) const = default;
};

// Each handler throws Failure when the file cannot be read or written; the playlist is then as it was.
// A cancelled file choice ends it quietly.
class PlaylistFiles {
public:
    PlaylistFiles(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog);

    // Load: the whole file is read before the playlist is replaced, so a file that cannot be read costs nothing.
    void Command4_Click();
    // Save: every entry, then the selection on the last one. Refused, leaving the file as it was, onto the
    // file a Load left entries out of.
    void Savelist_Click();

private:
    // The playlist file a Load took only the first entries of, as it was then: Save must not cut it down.
    struct CutShort {
        FileState file;
        std::size_t leftOut = 0;
    };

    ui::ListBox& list1_;
    ui::Label& label1_;
    FileDialog& dialog_;
    std::optional<CutShort> cutShort_;
};

}  // namespace tamro::playlist
