// SPDX-License-Identifier: GPL-3.0-or-later
// The pointing-hand mouse pointer of the link labels: a white hand with a blue cuff, index finger up.
#pragma once

#include <QCursor>
#include <QImage>

namespace tamro::ui {

// 32 x 32 pixels, transparent around the hand.
QImage handCursorImage();

// The cursor, its hot spot on the fingertip at (12, 1).
QCursor handCursor();

}  // namespace tamro::ui
