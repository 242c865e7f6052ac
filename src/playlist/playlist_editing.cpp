// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_editing.h"

#include "base/failure.h"
#include "base/numbers.h"
#include "playlist/filters.h"
#include "playlist/item_count.h"

#include <string>

namespace tamro::playlist {

PlaylistEditing::PlaylistEditing(ui::ListBox& list1, ui::Label& label1, FileDialog& dialog,
                                 player::TrackStart& trackStart)
    : list1_(list1), label1_(label1), dialog_(dialog), trackStart_(trackStart)
{
}

void PlaylistEditing::Add_Click()
{
    // Said before the dialog, so the user does not pick a file only to have it refused.
    if (list1_.listCount() >= maxEntries)
        throw Failure(ui::playlistFullText() + ", so no file can be added.");
    const auto path = chooseFile(dialog_, DialogKind::Open, soundFilter());
    if (!path)
        return;
    list1_.addItem(*path);
    updateItemCount(list1_, label1_);
}

void PlaylistEditing::Rem_Click() { removeSelected(); }

void PlaylistEditing::List1_KeyDown(int keyCode, Qt::KeyboardModifiers /*shift*/)
{
    if (keyCode == Qt::Key_Delete)
        removeSelected();
}

void PlaylistEditing::Command6_Click()
{
    list1_.clear();
    updateItemCount(list1_, label1_);
}

void PlaylistEditing::open_Click()
{
    const auto path = chooseFile(dialog_, DialogKind::Open, soundFilter());
    if (!path)
        return;
    // The player gets the file first: one it refuses leaves the playlist as it was.
    trackStart_.load(*path);
    list1_.clear();
    list1_.addItem(*path);
    trackStart_.setRange();
    list1_.setListIndex(0);
    trackStart_.showTitle();
    updateItemCount(list1_, label1_);
    trackStart_.showClock();
}

void PlaylistEditing::removeSelected()
{
    const std::int16_t selected = list1_.listIndex();
    if (selected == -1)
        return;
    list1_.removeItem(selected);
    updateItemCount(list1_, label1_);
}

}  // namespace tamro::playlist
