// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/link_label.h"

#include "ui/accessible.h"

#include <QMouseEvent>

namespace tamro::ui {

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    installAccessibleInterfaces();
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed = false;
    event->accept();
    if (click)
        emit clicked();
}

}  // namespace tamro::ui
