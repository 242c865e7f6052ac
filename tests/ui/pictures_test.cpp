// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures drawn in code: the emblem, the link cursor and the program icon.
#include "ui/app_icon.h"
#include "ui/fist_emblem.h"
#include "ui/glyphs.h"
#include "ui/hand_cursor.h"

#include <QtGlobal>

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

// A picture with its symbol white on black, for comparing mirrored images.
QImage greyMask(const QPixmap& picture)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, image.pixel(x, y) == qRgb(0, 0, 0) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    return image;
}

TEST(Glyphs, AtEveryScaleAreDrawnOnTheScreensOwnPixelsCrispAndSymmetric)
{
    for (const qreal ratio : {1.25, 1.5, 2.0, 3.0}) {
        SCOPED_TRACE(ratio);
        const int pixels = qRound(20 * ratio);
        for (Glyph g : {Glyph::Previous, Glyph::Play, Glyph::Stop, Glyph::Next, Glyph::Open}) {
            const QPixmap picture = drawGlyph(g, ratio);
            ASSERT_EQ(picture.size(), QSize(pixels, pixels));
            EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(20, 20));
            const QImage image = picture.toImage();
            int grey = 0;
            for (int y = 0; y < pixels; ++y)
                for (int x = 0; x < pixels; ++x) {
                    const QRgb c = image.pixel(x, y) & 0xffffff;
                    ASSERT_TRUE(c == 0 || c == 0x808080) << "two colours, no blur, at " << x << "," << y;
                    grey += c != 0;
                }
            EXPECT_GT(grey, 30 * ratio * ratio);
            // Not the 20 x 20 design blown up: that would be the same picture scaled.
            const QImage blownUp = drawGlyph(g).toImage().scaled(pixels, pixels);
            if (g != Glyph::Stop) {  // a square blown up is still a square
                EXPECT_NE(greyMask(picture), greyMask(QPixmap::fromImage(blownUp))) << static_cast<int>(g);
            }
        }
        const QImage play = greyMask(drawGlyph(Glyph::Play, ratio));
        const QImage stop = greyMask(drawGlyph(Glyph::Stop, ratio));
        const QImage open = greyMask(drawGlyph(Glyph::Open, ratio));
        EXPECT_EQ(play, play.mirrored(false, true)) << "Play: the same above and below its tip";
        EXPECT_EQ(stop, stop.mirrored(true, true)) << "Stop: a square in the middle";
        EXPECT_EQ(open, open.mirrored(true, false)) << "Open: the same left and right";
        const QImage next = greyMask(drawGlyph(Glyph::Next, ratio));
        EXPECT_EQ(greyMask(drawGlyph(Glyph::Previous, ratio)), next.mirrored(true, false)) << "Previous mirrors Next";
    }
}

struct CursorCase {
    int size;
    qreal ratio;
    int pixels;
    QPoint hotSpot;
};

TEST(LinkCursor, GrowsWithTheDesktopsCursorSizeAndTheScreensScale)
{
    const CursorCase cases[] = {{32, 1.0, 32, {12, 1}}, {32, 1.5, 48, {18, 2}}, {32, 2.0, 64, {24, 2}},
                                {48, 1.0, 48, {18, 2}}, {24, 1.25, 30, {11, 1}}};
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(c.pixels);
        const QCursor cursor = handCursor(c.size, c.ratio);
        EXPECT_EQ(cursor.pixmap().size(), QSize(c.pixels, c.pixels));
        EXPECT_EQ(cursor.hotSpot(), c.hotSpot);
    }
    EXPECT_EQ(handCursor(64, 1.0).pixmap().toImage().pixel(24, 2), qRgb(255, 255, 255)) << "the fingertip at 2x";
}

TEST(LinkCursor, TheDesktopsCursorSizeIsXcursorSize)
{
    const std::pair<const char*, int> cases[] = {{"", 32},     {"48", 48}, {"24", 24},
                                                 {"huge", 32}, {"2", 32},  {"4096", 32}};
    const QByteArray before = qgetenv("XCURSOR_SIZE");
    for (const auto& [variable, size] : cases) {
        qputenv("XCURSOR_SIZE", variable);
        EXPECT_EQ(desktopCursorSize(), size) << variable;
    }
    qputenv("XCURSOR_SIZE", before);
    if (before.isEmpty())
        qunsetenv("XCURSOR_SIZE");
}

}  // namespace
}  // namespace tamro::ui
