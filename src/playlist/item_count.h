// SPDX-License-Identifier: GPL-3.0-or-later
// The item count label `Label1`: "<n> item(s)", written by each command after its change to the playlist.
#pragma once

#include "ui/label.h"
#include "ui/list_box.h"

namespace tamro::playlist {

void updateItemCount(const ui::ListBox& list1, ui::Label& label1);

}  // namespace tamro::playlist
