// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/fixed_window.h"

#include <cmath>

namespace tamro::ui {

QRect twipRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

FixedWindow::FixedWindow(int clientWidthTwips, int clientHeightTwips, QWidget* parent) : QWidget(parent)
{
    setFixedSize(pixels(clientWidthTwips), pixels(clientHeightTwips));
}

float FixedWindow::heightTwips() const
{
    return static_cast<float>(height() * twipsPerPixel + frameTwips);
}

void FixedWindow::setHeightTwips(float twips)
{
    const double client = std::nearbyint((static_cast<double>(twips) - frameTwips) / twipsPerPixel);
    const int px = client > 0 ? (client < QWIDGETSIZE_MAX ? static_cast<int>(client) : QWIDGETSIZE_MAX) : 0;
    setFixedSize(width(), px);
    clientHeightChanged();
}

}  // namespace tamro::ui
