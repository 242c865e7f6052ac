// SPDX-License-Identifier: GPL-3.0-or-later
// The pointing-hand mouse pointer of the link labels: a white hand with a blue cuff, index finger up.
#pragma once

#include <QCursor>
#include <QImage>

namespace tamro::ui {

// 32 x 32 pixels, transparent around the hand.
QImage handCursorImage();

// The size the desktop draws its cursors at, in device-independent pixels: XCURSOR_SIZE where it is set,
// else 32, the size the hand is drawn at.
int desktopCursorSize();

// The hand at `size` device-independent pixels on a screen of that pixel ratio, as the desktop's own cursors
// grow with it; the hot spot on the fingertip, at (12, 1) of the 32 x 32 drawing.
QCursor handCursor(int size = desktopCursorSize(), qreal devicePixelRatio = 1.0);

}  // namespace tamro::ui
