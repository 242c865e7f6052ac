#include "playlist/playlist_files.h"

#include "base/failure.h"
#include "base/numbers.h"
#include "playlist/filters.h"
#include "playlist/item_count.h"
#include "playlist/playlist_file.h"

#include <string>
#include <vector>

namespace tamro::playlist {

PlaylistFiles::PlaylistFiles(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog)
    : list1_(list1), label1_(label1), dialog_(dialog)
{
}

void PlaylistFiles::Command4_Click()
{
    const auto path = chooseFile(dialog_, DialogKind::Open, loadFilter);
    if (!path)
        return;
    Fields fields = loadPlaylistFile(*path, maxEntries);
    list1_.replaceAll(std::move(fields.entries));
    updateItemCount(list1_, label1_);
    if (fields.leftOut > 0)
        throw Failure("Loaded the first " + std::to_string(maxEntries) + " entries of '" + *path +
                      "': the playlist holds no more, so the last " + std::to_string(fields.leftOut) +
                      " were left out.");
}

void PlaylistFiles::Savelist_Click()
{
    const auto path = chooseFile(dialog_, DialogKind::Save, saveFilter);
    if (!path)
        return;
    const std::int16_t count = list1_.listCount();
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (std::int16_t i = 0; i < count; ++i)
        entries.push_back(list1_.list(i));
    savePlaylistFile(*path, entries);
    // Save has always left the last entry written selected, so Play right after it plays that entry.
    if (count > 0)
        list1_.setListIndex(count - 1);
}

}  // namespace tamro::playlist
