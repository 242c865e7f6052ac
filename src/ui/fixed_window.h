// SPDX-License-Identifier: GPL-3.0-or-later
// A top-level window of fixed size whose height is read and set in twips, frame included.
#pragma once

#include <QWidget>

namespace tamro::ui {

// Twips per screen pixel at 96 dots per inch.
inline constexpr int twipsPerPixel = 15;
// The title bar and frame as counted in the window's outer height.
inline constexpr int frameTwips = 375;

constexpr int pixels(int twips)
{
    return twips / twipsPerPixel;
}

// A control's rectangle from its Left, Top, Width, Height in twips.
QRect twipRect(int left, int top, int width, int height);

class FixedWindow : public QWidget {
public:
    // clientWidthTwips: the laid-out client width; the user can resize neither dimension.
    FixedWindow(int clientWidthTwips, int clientHeightTwips, QWidget* parent = nullptr);

    // The outer height: client area plus frameTwips. Reading it back after setting a height that is
    // whole pixels gives exactly the value set.
    float heightTwips() const;
    // Rounds to whole pixels; a height below the frame leaves an empty client area.
    void setHeightTwips(float twips);

protected:
    // After setHeightTwips: the controls it cuts off, or shows again, are the window's to know.
    virtual void clientHeightChanged() {}
};

}  // namespace tamro::ui
