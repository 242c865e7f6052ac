// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/glyphs.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace tamro::ui {

namespace {

const QColor symbolGrey(128, 128, 128);

// The design as a 20 x 20 bitmap.
QPixmap designPixels(Glyph glyph)
{
    QPixmap picture(glyphSize, glyphSize);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    // Crisp edges, as a small bitmap has them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(symbolGrey);
    switch (glyph) {
    case Glyph::Previous:
        painter.drawRect(4, 4, 3, 12);
        painter.drawPolygon(QPolygon({QPoint(8, 10), QPoint(15, 4), QPoint(15, 16)}));
        break;
    case Glyph::Play:
        painter.drawPolygon(QPolygon({QPoint(6, 4), QPoint(14, 10), QPoint(6, 16)}));
        break;
    case Glyph::Stop:
        painter.drawRect(5, 5, 10, 10);
        break;
    case Glyph::Next:
        painter.drawPolygon(QPolygon({QPoint(4, 4), QPoint(11, 10), QPoint(4, 16)}));
        painter.drawRect(13, 4, 3, 12);
        break;
    case Glyph::Open:
        painter.drawPolygon(QPolygon({QPoint(10, 4), QPoint(16, 11), QPoint(4, 11)}));
        painter.drawRect(4, 13, 13, 3);
        break;
    }
    return picture;
}

// The same symbols laid out on the device's own pixels, `n` to a side. Every span is measured from the middle
// (or from the edge it mirrors), so a symbol that is symmetric in the design is symmetric pixel for pixel.
class DevicePixels {
public:
    explicit DevicePixels(int n) : n_(n), image_(n, n, QImage::Format_RGB32) { image_.fill(Qt::black); }

    // The design's coordinate u (0..20) on the device, rounded to a pixel edge.
    int at(double u) const { return static_cast<int>(std::lround(u * n_ / glyphSize)); }
    // The edge that mirrors at(u) across the middle.
    int mirror(double u) const { return n_ - at(u); }

    void fill(int left, int top, int right, int bottom)
    {
        for (int y = std::max(top, 0); y < std::min(bottom, n_); ++y)
            for (int x = std::max(left, 0); x < std::min(right, n_); ++x)
                image_.setPixel(x, y, symbolGrey.rgb());
    }

    // A triangle pointing right, its base at column `base` and its tip `length` columns further, over the
    // rows top..n-top: each row as long as the triangle is at the row's middle.
    void triangleRight(int base, double length, int top)
    {
        const double half = (n_ - 2 * top) / 2.0;
        for (int y = top; y < n_ - top; ++y) {
            const double off = std::abs(y + 0.5 - n_ / 2.0);
            fill(base, y, base + static_cast<int>(std::lround(length * (1.0 - off / half))), y + 1);
        }
    }

    // A triangle pointing up, its base on row `base` and its tip `length` rows above, over the columns
    // left..n-left.
    void triangleUp(int base, double length, int left)
    {
        const double half = (n_ - 2 * left) / 2.0;
        for (int x = left; x < n_ - left; ++x) {
            const double off = std::abs(x + 0.5 - n_ / 2.0);
            fill(x, base - static_cast<int>(std::lround(length * (1.0 - off / half))), x + 1, base);
        }
    }

    double scale() const { return static_cast<double>(n_) / glyphSize; }
    QImage& image() { return image_; }

private:
    int n_;
    QImage image_;
};

QImage scaledPixels(Glyph glyph, int n)
{
    DevicePixels d(n);
    switch (glyph) {
    case Glyph::Previous:
        // Next, mirrored: the two are each other's image.
        return scaledPixels(Glyph::Next, n).mirrored(true, false);
    case Glyph::Play:
        d.triangleRight(d.at(6), 8 * d.scale(), d.at(4));
        break;
    case Glyph::Stop:
        d.fill(d.at(5), d.at(5), d.mirror(5), d.mirror(5));
        break;
    case Glyph::Next:
        d.triangleRight(d.at(4), 7 * d.scale(), d.at(4));
        d.fill(d.at(13), d.at(4), d.at(16), d.mirror(4));
        break;
    case Glyph::Open:
        d.triangleUp(d.at(11), 7 * d.scale(), d.at(4));
        d.fill(d.at(4), d.at(13), d.mirror(4), d.at(16));
        break;
    }
    return d.image();
}

}  // namespace

QPixmap drawGlyph(Glyph glyph, qreal devicePixelRatio)
{
    const int n = std::max(1, static_cast<int>(std::lround(glyphSize * devicePixelRatio)));
    if (n == glyphSize)
        return designPixels(glyph);
    QPixmap picture = QPixmap::fromImage(scaledPixels(glyph, n));
    picture.setDevicePixelRatio(static_cast<qreal>(n) / glyphSize);
    return picture;
}

}  // namespace tamro::ui
