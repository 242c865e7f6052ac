// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace tamro::ui {

QImage appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, size > 32);  // crisp pixels at the small sizes
    p.scale(size / 32.0, size / 32.0);                  // drawn on a 32 x 32 grid

    const QColor grey(192, 192, 192), light(255, 255, 255), dark(128, 128, 128), red(255, 0, 0);

    // The grey frame, raised, with a sunken black window in it.
    p.fillRect(QRectF(0, 0, 32, 32), grey);
    p.fillRect(QRectF(0, 0, 32, 1), light);
    p.fillRect(QRectF(0, 0, 1, 32), light);
    p.fillRect(QRectF(0, 31, 32, 1), dark);
    p.fillRect(QRectF(31, 0, 1, 32), dark);
    p.fillRect(QRectF(4, 4, 24, 24), Qt::black);
    p.fillRect(QRectF(3, 3, 26, 1), dark);
    p.fillRect(QRectF(3, 3, 1, 26), dark);
    p.fillRect(QRectF(3, 28, 26, 1), light);
    p.fillRect(QRectF(28, 3, 1, 26), light);

    // The red face.
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawEllipse(QRectF(6, 6, 20, 20));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(11, 11, 3, 4));
    p.drawEllipse(QRectF(18, 11, 3, 4));
    QPen mouth(Qt::black, 2);
    mouth.setCapStyle(Qt::RoundCap);
    p.setPen(mouth);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(11, 13, 10, 8), 200 * 16, 140 * 16);
    return image;
}

QIcon appIcon()
{
    QIcon icon;
    for (int size : kAppIconSizes)
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

}  // namespace tamro::ui
