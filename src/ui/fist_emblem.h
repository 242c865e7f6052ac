// SPDX-License-Identifier: GPL-3.0-or-later
// The About window's emblem: a red raised fist on a transparent background.
#pragma once

#include <QImage>

namespace tamro::ui {

// 70 x 97 pixels, the fist in pure red RGB (255, 0, 0), everything else fully transparent.
QImage fistEmblem();

}  // namespace tamro::ui
