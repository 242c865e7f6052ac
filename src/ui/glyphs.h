// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures of the five transport buttons, drawn in code: a mid-grey symbol on black, 20 x 20 pixels.
#pragma once

#include <QPixmap>

namespace tamro::ui {

enum class Glyph { Previous, Play, Stop, Next, Open };

inline constexpr int glyphSize = 20;

// 20 x 20 device-independent pixels drawn at devicePixelRatio: the 20 x 20 design pixel for pixel at 1, and
// at any other ratio redrawn at the screen's own pixels, crisp (two colours only) and as symmetric as the symbol.
QPixmap drawGlyph(Glyph glyph, qreal devicePixelRatio = 1.0);

}  // namespace tamro::ui
