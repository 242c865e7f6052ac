// SPDX-License-Identifier: GPL-3.0-or-later
// The focus marker every control of the windows draws: a dotted rectangle, as plain on a dark face as on a light one.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace tamro::ui {

// Every other pixel of the rectangle's edge, white on a dark background and black on a light one.
void drawFocusMarker(QPainter& painter, const QRect& rect, const QColor& background);

}  // namespace tamro::ui
