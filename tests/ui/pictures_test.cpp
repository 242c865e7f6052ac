// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures drawn in code: the emblem, the link cursor and the program icon.
#include "ui/app_icon.h"
#include "ui/fist_emblem.h"
#include "ui/hand_cursor.h"

#include <gtest/gtest.h>

namespace tamro::ui {
namespace {

TEST(Emblem, IsPureRedOnFullTransparency)
{
    const QImage emblem = fistEmblem();
    ASSERT_EQ(emblem.size(), QSize(70, 97));
    int red = 0, stray = 0;
    for (int y = 0; y < emblem.height(); ++y) {
        for (int x = 0; x < emblem.width(); ++x) {
            const QRgb pixel = emblem.pixel(x, y);
            if (pixel == qRgba(255, 0, 0, 255))
                ++red;
            else if (qAlpha(pixel) != 0)
                ++stray;  // a blended edge would show a fringe over the window's grey
        }
    }
    EXPECT_EQ(stray, 0);
    EXPECT_GT(red, 70 * 97 / 3);
    EXPECT_EQ(qAlpha(emblem.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(emblem.pixel(69, 0)), 0);
}

TEST(LinkCursor, IsAHandWithTheFingertipAsHotSpot)
{
    const QImage hand = handCursorImage();
    ASSERT_EQ(hand.size(), QSize(32, 32));
    EXPECT_EQ(hand.pixel(12, 1), qRgb(255, 255, 255));  // the fingertip, under the hot spot
    EXPECT_EQ(hand.pixel(12, 0), qRgb(0, 0, 0));         // its outline just above
    EXPECT_EQ(qAlpha(hand.pixel(0, 0)), 0);
    EXPECT_EQ(handCursor().hotSpot(), QPoint(12, 1));
}

TEST(AppIcon, IsARedFaceInAGreyFrameAtEverySize)
{
    for (int size : kAppIconSizes) {
        SCOPED_TRACE(size);
        const QImage icon = appIconImage(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        // Sampled on the 32-pixel grid the icon is drawn on.
        auto at = [&](double x, double y) { return icon.pixel(int(x * size / 32), int(y * size / 32)); };
        EXPECT_EQ(at(2, 16), qRgb(192, 192, 192));    // the frame
        EXPECT_EQ(at(16, 9), qRgb(255, 0, 0));        // the face, above the eyes
        EXPECT_EQ(at(16, 24.5), qRgb(255, 0, 0));     // the chin
        EXPECT_EQ(at(12.5, 12.5), qRgb(0, 0, 0));     // an eye
    }
    const QIcon icon = appIcon();
    for (int size : kAppIconSizes)
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
}

}  // namespace
}  // namespace tamro::ui
