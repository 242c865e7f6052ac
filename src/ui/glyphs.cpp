// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/glyphs.h"

#include <QPainter>
#include <QPolygon>

namespace tamro::ui {

namespace {

const QColor symbolGrey(128, 128, 128);

}  // namespace

QPixmap drawGlyph(Glyph glyph)
{
    QPixmap picture(glyphSize, glyphSize);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    // Crisp edges, as a small bitmap has them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(symbolGrey);
    switch (glyph) {
    case Glyph::Previous:
        painter.drawRect(4, 4, 3, 12);
        painter.drawPolygon(QPolygon({QPoint(8, 10), QPoint(15, 4), QPoint(15, 16)}));
        break;
    case Glyph::Play:
        painter.drawPolygon(QPolygon({QPoint(6, 4), QPoint(14, 10), QPoint(6, 16)}));
        break;
    case Glyph::Stop:
        painter.drawRect(5, 5, 10, 10);
        break;
    case Glyph::Next:
        painter.drawPolygon(QPolygon({QPoint(4, 4), QPoint(11, 10), QPoint(4, 16)}));
        painter.drawRect(13, 4, 3, 12);
        break;
    case Glyph::Open:
        painter.drawPolygon(QPolygon({QPoint(10, 4), QPoint(16, 11), QPoint(4, 11)}));
        painter.drawRect(4, 13, 13, 3);
        break;
    }
    return picture;
}

}  // namespace tamro::ui
