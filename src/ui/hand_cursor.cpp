// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/hand_cursor.h"

#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
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

int desktopCursorSize()
{
    bool ok = false;
    const int size = qEnvironmentVariableIntValue("XCURSOR_SIZE", &ok);
    return ok && size >= 8 && size <= 256 ? size : 32;
}

QCursor handCursor(int size, qreal devicePixelRatio)
{
    const int pixels = std::max(1, static_cast<int>(std::lround(size * devicePixelRatio)));
    QImage image = handCursorImage();
    if (pixels != image.width()) {
        // Whole multiples keep the drawing's crisp pixels; any other size is smoothed rather than uneven.
        const bool whole = pixels % image.width() == 0;
        image = image.scaled(pixels, pixels, Qt::IgnoreAspectRatio,
                             whole ? Qt::FastTransformation : Qt::SmoothTransformation);
    }
    // The X server takes the image and the hot spot in its own pixels, whatever the scale.
    const double scale = pixels / 32.0;
    return QCursor(QPixmap::fromImage(image), static_cast<int>(std::lround(12 * scale)),
                   static_cast<int>(std::lround(1 * scale)));
}

}  // namespace tamro::ui
