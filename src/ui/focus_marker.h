// SPDX-License-Identifier: GPL-3.0-or-later
// The focus marker every control of the windows draws: a dotted rectangle, as plain on a dark face as on a light one.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>
#include <QStyle>
#include <QWidget>

namespace tamro::ui {

// Whether a control draws the marker: it has the focus, and its window has been used with the keyboard (Tab),
// as the desktop shows keyboard cues and Qt's own push buttons show their focus. A click shows none.
inline bool marksFocus(const QWidget& control)
{
    return control.hasFocus() && control.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

// The same, from a style option made for the control (QStyleOption::initFrom sets both flags).
inline bool marksFocus(QStyle::State state)
{
    return (state & QStyle::State_HasFocus) && (state & QStyle::State_KeyboardFocusChange);
}

// Every other pixel of the rectangle's edge, white on a dark background and black on a light one.
void drawFocusMarker(QPainter& painter, const QRect& rect, const QColor& background);

}  // namespace tamro::ui
