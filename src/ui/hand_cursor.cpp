// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/hand_cursor.h"

#include <QPixmap>
#include <array>
#include <string_view>

namespace tamro::ui {

namespace {

// K outline, W hand, B cuff, anything else transparent. The fingertip's first white pixel is (12, 1).
constexpr std::array<std::string_view, 32> kHand = {
    "...........KKK..................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWK.................",
    "..........KWWWKKKK..............",
    "..........KWWWKWWWKKKK..........",
    "..........KWWWKWWWKWWWKKK.......",
    "..........KWWWKWWWKWWWKWWK......",
    "......KKK.KWWWKWWWKWWWKWWK......",
    ".....KWWWKKWWWWWWWWWWWWWWK......",
    ".....KWWWWKWWWWWWWWWWWWWWK......",
    "......KWWWWWWWWWWWWWWWWWWK......",
    "......KWWWWWWWWWWWWWWWWWWK......",
    ".......KWWWWWWWWWWWWWWWWWK......",
    ".......KWWWWWWWWWWWWWWWWK.......",
    "........KWWWWWWWWWWWWWWWK.......",
    "........KWWWWWWWWWWWWWWK........",
    ".........KWWWWWWWWWWWWWK........",
    ".........KKKKKKKKKKKKKKK........",
    ".........KBBBBBBBBBBBBBK........",
    ".........KBBBBBBBBBBBBBK........",
    ".........KBBBBBBBBBBBBBK........",
    ".........KKKKKKKKKKKKKKK........",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

constexpr bool allRowsFull()
{
    for (auto row : kHand)
        if (row.size() != 32)
            return false;
    return true;
}
static_assert(allRowsFull(), "every row of the hand is 32 pixels");

}  // namespace

QImage handCursorImage()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            switch (kHand[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]) {
            case 'K': image.setPixel(x, y, qRgb(0, 0, 0)); break;
            case 'W': image.setPixel(x, y, qRgb(255, 255, 255)); break;
            case 'B': image.setPixel(x, y, qRgb(0, 0, 255)); break;
            default: break;
            }
        }
    }
    return image;
}

QCursor handCursor()
{
    return QCursor(QPixmap::fromImage(handCursorImage()), 12, 1);
}

}  // namespace tamro::ui
