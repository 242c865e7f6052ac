// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of the five transport buttons, drawn in code: a mid-grey symbol on black, 20 x 20 pixels.
#pragma once

#include <QPixmap>

namespace tamro::ui {

enum class Glyph { Previous, Play, Stop, Next, Open };

inline constexpr int glyphSize = 20;

QPixmap drawGlyph(Glyph glyph);

}  // namespace tamro::ui
