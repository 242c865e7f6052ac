// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/frmmain.h"

#include "base/product.h"
#include "ui/enter_as_space.h"
#include "ui/glyphs.h"

namespace tamro::ui {

namespace {

const QColor lightGrey(192, 192, 192);
const QColor yellow(255, 255, 0);

void place(QWidget& control, int left, int top, int width, int height)
{
    const QRect pixels = twipRect(left, top, width, height);
    // Fixed, as nothing lays the window out: a new caption then asks the window for no new layout.
    control.setFixedSize(pixels.size());
    control.move(pixels.topLeft());
}

void colour(QWidget& control, QColor background, QColor text)
{
    QPalette palette = control.palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    control.setPalette(palette);
    control.setAutoFillBackground(true);
}

void pictureButton(GraphicButton& button, int left, Glyph glyph, const char* tip)
{
    place(button, left, 960, 330, 330);
    button.setPicture([glyph](qreal devicePixelRatio) { return drawGlyph(glyph, devicePixelRatio); });
    button.setToolTip(QString::fromUtf8(tip));
    // A picture says nothing to a screen reader: the button is named after its tip.
    button.setAccessibleName(QString::fromUtf8(tip));
}

void editButton(GraphicButton& button, int left, int width, const char* caption, const char* tip)
{
    place(button, left, 3480, width, 255);
    button.setText(QString::fromUtf8(caption));
    button.setToolTip(QString::fromUtf8(tip));
    button.setFont(msSerif());
}

}  // namespace

QFont msSerif()
{
    // Liberation Serif (a dependency of the package) has the narrow Times widths the layouts were made
    // for; the wider DejaVu Serif that fontconfig would pick wraps and cuts the labels' texts.
    QFont font(QStringList{QStringLiteral("MS Serif"), QStringLiteral("Liberation Serif")});
    font.setStyleHint(QFont::Serif);
    font.setPointSizeF(6.75);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

Frmmain::Frmmain(QWidget* parent) : FixedWindow(clientWidthTwips, clientHeightTwips, parent)
{
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(QString::fromUtf8(productName));
    // A fixed frame: title bar, system menu, minimise and close, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // The stored place of the client area's top-left corner on the screen.
    setGeometry(QRect(QPoint(pixels(5625), pixels(2730)), size()));
    QPalette background = palette();
    background.setColor(QPalette::Window, lightGrey);
    setPalette(background);
    setAutoFillBackground(true);

    place(Shape1, 120, 120, 3135, 495);

    place(Songname, 240, 195, 2880, 345);
    colour(Songname, Qt::black, yellow);
    Songname.setFont(msSerif());
    // A long title wraps onto the label's second line, as a caption label does.
    Songname.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Songname.setWordWrap(true);
    Songname.setAccessibleName(QStringLiteral("Title"));

    place(Slider1, 60, 750, 2700, 135);
    // The slider fills its own background with the window's grey, so the window needs no repaint beneath it
    // when the value moves.
    Slider1.setAutoFillBackground(true);
    Slider1.setAccessibleName(QStringLiteral("Position"));

    place(time, 2760, 720, 525, 255);
    colour(time, lightGrey, Qt::black);
    time.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    time.setFont(msSerif());
    time.setAccessibleName(QStringLiteral("Time"));

    pictureButton(Back, 120, Glyph::Previous, "Previous");
    pictureButton(cmdplay, 480, Glyph::Play, "Play");
    pictureButton(Command2, 840, Glyph::Stop, "Stop");
    pictureButton(Command3, 1200, Glyph::Next, "Next");
    pictureButton(open, 1560, Glyph::Open, "Open");

    place(Shuffle, 1995, 1050, 345, 255);
    Shuffle.setText(QStringLiteral("Rnd"));
    Shuffle.setToolTip(QStringLiteral("Shuffle playlist"));
    Shuffle.setFont(msSerif());

    place(Command1, 2400, 1050, 585, 255);
    Command1.setText(QStringLiteral("Playlist"));
    Command1.setToolTip(QStringLiteral("Playlist editor"));
    Command1.setFont(msSerif());
    pressWithEnter(Command1);

    place(Command5, 3030, 1050, 225, 255);
    Command5.setText(QStringLiteral("?"));
    Command5.setToolTip(QStringLiteral("About"));
    Command5.setAccessibleName(QStringLiteral("About"));
    pressWithEnter(Command5);

    place(List1, 120, 1560, 3135, 1845);
    // The menu-text colour of the standard scheme behind yellow entries.
    colour(List1, Qt::black, yellow);
    List1.setFont(msSerif());
    List1.setAccessibleName(QStringLiteral("Playlist"));

    editButton(Add, 120, 405, "Add", "Add file");
    editButton(Rem, 480, 405, "Del", "Delete selected file");
    editButton(Command6, 840, 525, "Del all", "Delete all");
    editButton(Command4, 2370, 450, "Load", "Load playlist");
    editButton(Savelist, 2805, 450, "Save", "Save playlist");

    place(Label1, 1500, 3525, 735, 180);
    Label1.setBackgroundRole(QPalette::Button);
    Label1.setForegroundRole(QPalette::ButtonText);
    Label1.setAutoFillBackground(true);
    Label1.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1.setFont(msSerif());

    // The focus order of the layout; labels and the shape never take the focus.
    QWidget* const focusOrder[] = {&Back,     &cmdplay, &Command2, &Command3, &open,     &Rem,
                                   &Add,      &Savelist, &Command4, &Command6, &List1,   &Command1,
                                   &Slider1,  &Shuffle, &Command5};
    for (std::size_t i = 1; i < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
}

void Frmmain::clientHeightChanged()
{
    const std::initializer_list<QWidget*> editor{&List1, &Add, &Rem, &Command6, &Label1, &Command4, &Savelist};
    for (QWidget* control : editor)
        control->setVisible(control->geometry().top() < height());
}

}  // namespace tamro::ui
