// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/graphic_button.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

namespace tamro::ui {

GraphicButton::GraphicButton(QColor face, QWidget* parent) : QAbstractButton(parent), face_(face)
{
    setFocusPolicy(Qt::StrongFocus);
}

void GraphicButton::setPicture(QPixmap picture)
{
    picture_ = std::move(picture);
    update();
}

QSize GraphicButton::sizeHint() const
{
    return picture_.isNull() ? QSize(40, 17) : picture_.deviceIndependentSize().toSize() + QSize(2, 2);
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
    if (!picture_.isNull()) {
        const QSize size = picture_.deviceIndependentSize().toSize();
        const QPoint topLeft(rect().center().x() - size.width() / 2 + 1 + (sunken ? 1 : 0),
                             rect().center().y() - size.height() / 2 + 1 + (sunken ? 1 : 0));
        painter.drawPixmap(topLeft, picture_);
    }
    if (!text().isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, text());
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        focus.backgroundColor = face_;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

CheckBox::CheckBox(QColor face, QWidget* parent) : GraphicButton(face, parent)
{
    setCheckable(true);
}

}  // namespace tamro::ui
