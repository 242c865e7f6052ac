// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about.h"

#include "base/numbers.h"
#include "ui/app_icon.h"
#include "ui/fist_emblem.h"
#include "ui/frmmain.h"
#include "ui/hand_cursor.h"

#include <QPalette>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

namespace tamro::ui {

namespace {

// 15 twips to a pixel, rounded to the nearest: several of this window's positions fall between pixels.
int px(int twips)
{
    return roundToInt32(twips / 15.0);
}

QRect layoutRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

template <typename L>
L* label(QWidget* window, const char* name, const QString& text, QRect geometry)
{
    auto* l = new L(text, window);  // owned by the window
    l->setObjectName(name);
    l->setFont(msSerif());
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);
    l->setBackgroundRole(QPalette::Button);
    l->setForegroundRole(QPalette::ButtonText);
    l->setAutoFillBackground(true);
    return l;
}

void makeLink(QLabel* l)
{
    QPalette palette = l->palette();
    palette.setColor(QPalette::ButtonText, QColor(255, 0, 0));
    l->setPalette(palette);
    QFont font = l->font();
    font.setUnderline(true);
    l->setFont(font);
    l->setCursor(handCursor(desktopCursorSize(), l->devicePixelRatioF()));
}

}  // namespace

About::About(QWidget* over)
    : QDialog(over, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowCloseButtonHint)
{
    setObjectName("about");
    setWindowTitle(" About");
    setWindowIcon(appIcon());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(px(3360), px(2055));
    if (over)
        centreOver(*over->window());

    Label1 = label<QLabel>(this, "Label1",
                           "Tamro?Player v3.0 is a small, but handy soundplayer. It supports: mp3, wma, wav, midi, "
                           "mid, rmi, au, snd, pls and m3u files. Some playlist-features are available.",
                           layoutRect(120, 120, 3120, 735));
    Label2 = label<QLabel>(this, "Label2",
                           "Tamro is a punk band from Brumvale, founded in 1996. Come and visit its web site:",
                           layoutRect(120, 840, 3135, 495));
    Label3 = label<LinkLabel>(this, "Label3", "tamro.example", layoutRect(1300, 1160, 855, 255));
    Label4 = label<QLabel>(this, "Label4", "May 2003,", layoutRect(120, 1440, 3135, 255));
    Label5 = label<LinkLabel>(this, "Label5", "Brumvale - free software", layoutRect(120, 1620, 1575, 255));
    Label6 = label<QLabel>(this, "Label6", "E-mail: tamro@brumvale.example", layoutRect(120, 1810, 2415, 255));
    makeLink(Label3);
    makeLink(Label5);

    // Each label lies over the ones before it (Label3 over the end of Label2, Label6 over the foot of
    // Label5); the emblem, made last, lies over the date line's label.
    Image1 = new QLabel(this);  // owned by the window
    Image1->setObjectName("Image1");
    Image1->setGeometry(layoutRect(2520, 1320, 570, 615));
    Image1->setPixmap(QPixmap::fromImage(fistEmblem()));
    Image1->setScaledContents(true);
    Image1->setToolTip("Play it loud, share it free!");
    Image1->setAccessibleName(Image1->toolTip());
}

void About::centreOver(const QWidget& window)
{
    // Client area over client area: both windows wear the same frame, so the frames are centred too.
    // (Qt's own placement guesses the frame's size, and is 40 pixels off where there is no frame at all.)
    QRect placed(QPoint(), size());
    placed.moveCenter(window.geometry().center());
    if (const QScreen* screen = window.screen()) {
        // On the screen, frame included; the frame is taken to be the main window's.
        const QRect client = window.geometry(), frame = window.frameGeometry();
        const QRect room = screen->availableGeometry().adjusted(client.left() - frame.left(), client.top() - frame.top(),
                                                                client.right() - frame.right(),
                                                                client.bottom() - frame.bottom());
        placed.moveLeft(std::max(room.left(), std::min(placed.left(), room.right() - placed.width() + 1)));
        placed.moveTop(std::max(room.top(), std::min(placed.top(), room.bottom() - placed.height() + 1)));
    }
    setGeometry(placed);
}

}  // namespace tamro::ui
