// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/graphic_button.h"

#include "ui/enter_as_space.h"
#include "ui/focus_marker.h"

#include <QPainter>
#include <qdrawutil.h>

namespace tamro::ui {

GraphicButton::GraphicButton(QColor face, QWidget* parent) : QAbstractButton(parent), face_(face)
{
    setFocusPolicy(Qt::StrongFocus);
    pressWithEnter(*this);
}

void GraphicButton::setPicture(Picture draw)
{
    draw_ = std::move(draw);
    picture_ = QPixmap();
    update();
}

const QPixmap& GraphicButton::picture() const
{
    const qreal ratio = devicePixelRatioF();
    if (draw_ && (picture_.isNull() || picture_.devicePixelRatio() != ratio))
        picture_ = draw_(ratio);
    return picture_;
}

QSize GraphicButton::sizeHint() const
{
    return draw_ ? picture().deviceIndependentSize().toSize() + QSize(2, 2) : QSize(40, 17);
}

void GraphicButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool sunken = isDown() || isChecked();
    QPalette edge = palette();
    edge.setColor(QPalette::Button, face_);
    const QBrush fill(face_);
    qDrawWinButton(&painter, rect(), edge, sunken, &fill);

    // The content sits one pixel lower and to the right while the button is pressed in.
    const QRect content = rect().adjusted(2, 2, -2, -2).translated(sunken ? 1 : 0, sunken ? 1 : 0);
    if (draw_) {
        const QPixmap& picture = this->picture();
        const QSize size = picture.deviceIndependentSize().toSize();
        const QPoint topLeft(rect().center().x() - size.width() / 2 + 1 + (sunken ? 1 : 0),
                             rect().center().y() - size.height() / 2 + 1 + (sunken ? 1 : 0));
        painter.drawPixmap(topLeft, picture);
    }
    if (!text().isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
    if (marksFocus(*this))
        drawFocusMarker(painter, rect().adjusted(3, 3, -3, -3), face_);
}

CheckBox::CheckBox(QColor face, QWidget* parent) : GraphicButton(face, parent)
{
    setCheckable(true);
}

}  // namespace tamro::ui
