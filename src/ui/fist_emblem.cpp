// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/fist_emblem.h"

#include <QPainter>
#include <QPainterPath>

namespace tamro::ui {

QImage fistEmblem()
{
    QImage image(70, 97, QImage::Format_ARGB32);
    image.fill(Qt::transparent);

    // Drawn without antialiasing, so every pixel is either the red of the emblem or transparent.
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 0));

    // Forearm, widening towards the bottom edge.
    p.drawPolygon(QPolygon({{22, 64}, {50, 64}, {55, 97}, {16, 97}}));
    // Back of the hand.
    p.drawRoundedRect(QRect(9, 22, 52, 45), 9, 9);
    // Four fingers curled over the palm, the middle ones standing highest.
    p.drawRoundedRect(QRect(9, 14, 14, 26), 6, 6);
    p.drawRoundedRect(QRect(22, 8, 14, 30), 6, 6);
    p.drawRoundedRect(QRect(35, 9, 14, 30), 6, 6);
    p.drawRoundedRect(QRect(48, 15, 13, 26), 6, 6);

    // The gaps between fingers, the thumb's outline and the wrist line are cut out of the red.
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(22, 16, 22, 33);
    p.drawLine(35, 11, 35, 33);
    p.drawLine(48, 17, 48, 33);
    // The thumb lies across the first two fingers, coming in from the left edge.
    QPainterPath thumb;
    thumb.moveTo(9, 35);
    thumb.lineTo(38, 35);
    thumb.arcTo(QRectF(32, 35, 12, 12), 90, -180);
    thumb.lineTo(24, 47);
    thumb.quadTo(18, 47, 16, 54);
    p.drawPath(thumb);
    p.drawLine(21, 64, 51, 64);
    return image;
}

}  // namespace tamro::ui
