// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/focus_marker.h"

namespace tamro::ui {

void drawFocusMarker(QPainter& painter, const QRect& rect, const QColor& background)
{
    if (rect.width() < 1 || rect.height() < 1)
        return;
    const QColor dot = background.lightness() < 128 ? QColor(Qt::white) : QColor(Qt::black);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    // One pattern all the way round, as the dotted rectangle of the desktop this player comes from.
    for (int x = rect.left(); x <= rect.right(); x += 2) {
        painter.fillRect(QRect(x, rect.top(), 1, 1), dot);
        painter.fillRect(QRect(x, rect.bottom(), 1, 1), dot);
    }
    for (int y = rect.top(); y <= rect.bottom(); y += 2) {
        painter.fillRect(QRect(rect.left(), y, 1, 1), dot);
        painter.fillRect(QRect(rect.right(), y, 1, 1), dot);
    }
    painter.restore();
}

}  // namespace tamro::ui
