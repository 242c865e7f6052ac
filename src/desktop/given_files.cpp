// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/given_files.h"

namespace tamro::desktop {

GivenFiles::GivenFiles(ui::ListBox& list1, ui::Label& label1, player::TrackStart& steps,
                       player::Transport& transport, RunEvent run)
    : list1_(list1), transport_(transport), run_(std::move(run)), editing_(list1, label1, choice_, steps)
{
}

int GivenFiles::append(const std::vector<std::string>& paths)
{
    int first = -1;
    for (const std::string& path : paths) {
        if (path.empty())
            continue;  // the dialog's way of saying that nothing was chosen
        const int before = list1_.listCount();
        choice_.give(path);
        run_([this] { editing_.Add_Click(); });
        if (list1_.listCount() == before)
            break;  // refused: the playlist is full, and the report said so once
        if (first < 0)
            first = before;
    }
    return first;
}

void GivenFiles::appendAndStart(const std::vector<std::string>& paths)
{
    const int first = append(paths);
    if (first < 0)
        return;
    // A double-click selects its entry before the list reports it.
    run_([this, first] {
        list1_.setListIndex(first);
        transport_.List1_DblClick();
    });
}

}  // namespace tamro::desktop
