// SPDX-License-Identifier: GPL-3.0-or-later
// The main window `frmmain`: every control as laid out in twips, with its captions, tips, fonts and colours.
#pragma once

#include "ui/fixed_window.h"
#include "ui/graphic_button.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/shape.h"
#include "ui/slider.h"

#include <QPushButton>

#include <cstdint>

namespace tamro::ui {

// "MS Serif" 6.75 pt as asked for; where it is missing, Liberation Serif, else the system's serif face.
QFont msSerif();

class Frmmain : public FixedWindow {
public:
    static constexpr int clientWidthTwips = 3360;
    static constexpr int clientHeightTwips = 3795;

    explicit Frmmain(QWidget* parent = nullptr);

    // Title area (Shape1 first: it lies beneath the title line).
    Shape Shape1{this};
    Label Songname{this};
    Slider Slider1{this};
    Label time{this};

    // Transport row.
    GraphicButton Back{Qt::black, this};
    GraphicButton cmdplay{Qt::black, this};
    GraphicButton Command2{Qt::black, this};
    GraphicButton Command3{Qt::black, this};
    GraphicButton open{Qt::black, this};

    // Second row.
    CheckBox Shuffle{QColor(192, 192, 192), this};
    QPushButton Command1{this};
    QPushButton Command5{this};

    // Playlist editor, below the compact height.
    ListBox List1{this};
    GraphicButton Add{QColor(192, 192, 192), this};
    GraphicButton Rem{QColor(192, 192, 192), this};
    GraphicButton Command6{QColor(192, 192, 192), this};
    Label Label1{this};
    GraphicButton Command4{QColor(192, 192, 192), this};
    GraphicButton Savelist{QColor(192, 192, 192), this};

    // The entry that Previous, Next and the end-of-track advance take as current.
    std::int32_t last = 0;

protected:
    // The playlist editor's controls that the window's height cuts off are hidden: they take no focus and
    // are not reported as showing, so neither Tab nor a screen reader reaches what the user cannot see.
    void clientHeightChanged() override;
};

}  // namespace tamro::ui
