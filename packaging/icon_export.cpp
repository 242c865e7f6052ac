// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program icon as PNG files into an icon-theme tree: <dir>/hicolor/<n>x<n>/apps/<name>.png.
#include "ui/app_icon.h"

#include <QDir>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output-dir> <icon-name>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int size : tamro::ui::kAppIconSizes) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(root).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, name);
        if (!QDir().mkpath(dir) || !tamro::ui::appIconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "Cannot write the icon '%s'\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
