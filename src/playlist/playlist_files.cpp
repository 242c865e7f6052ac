// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_files.h"

#include "base/failure.h"
#include "base/numbers.h"
#include "playlist/filters.h"
#include "playlist/item_count.h"
#include "playlist/playlist_file.h"
#include "playlist/while_drawn.h"

#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace tamro::playlist {

namespace {

// The file at `path` as it stands (the same file under any of its names, unchanged since), if it exists.
std::optional<FileState> stateOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileState{st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

}  // namespace

PlaylistFiles::PlaylistFiles(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog)
    : list1_(list1), label1_(label1), dialog_(dialog)
{
}

void PlaylistFiles::Command4_Click()
{
    const auto path = chooseFile(dialog_, DialogKind::Open, loadFilter);
    if (!path)
        return;
    Fields fields = whileDrawn([&] { return loadPlaylistFile(*path, maxEntries); });
    list1_.replaceAll(std::move(fields.entries));
    updateItemCount(list1_, label1_);
    cutShort_.reset();
    if (fields.leftOut > 0) {
        if (const auto state = stateOf(*path))
            cutShort_ = CutShort{*state, fields.leftOut};
        throw Failure("Loaded the first " + std::to_string(maxEntries) + " entries of '" + *path +
                      "': the playlist holds no more, so the last " + std::to_string(fields.leftOut) +
                      " were left out.");
    }
}

void PlaylistFiles::Savelist_Click()
{
    const auto path = chooseFile(dialog_, DialogKind::Save, saveFilter);
    if (!path)
        return;
    if (cutShort_ && stateOf(*path) == cutShort_->file)
        throw Failure("Cannot save '" + *path + "': it is the playlist file whose last " + std::to_string(cutShort_->leftOut) +
                      " entries Load left out, and saving onto it would lose them. The file was left as it was; "
                      "save under another name.");
    const std::int16_t count = list1_.listCount();
    // No user input reaches the list while the file is written, so the entries are written where they stand.
    whileDrawn([&] { savePlaylistFile(*path, list1_.entries()); });
    // Save has always left the last entry written selected, so Play right after it plays that entry.
    if (count > 0)
        list1_.setListIndex(count - 1);
}

}  // namespace tamro::playlist
