// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/item_count.h"

#include "base/numbers.h"

namespace tamro::playlist {

void updateItemCount(const ui::ListBox& list1, ui::Label& label1)
{
    label1.setCaption(itemCountText(list1.listCount()));
}

}  // namespace tamro::playlist
