// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/about_links.h"

namespace tamro::ui {

AboutLinks::AboutLinks(About& window, UrlOpener& opener) : window(window), opener(opener) {}

void AboutLinks::Label3_Click()
{
    opener.open("http://" + window.Label3->text());
}

void AboutLinks::Label5_Click()
{
    opener.open(kMakerAddress);
}

void Command5_Click(QWidget& frmmain, UrlOpener& opener)
{
    About about(&frmmain);
    AboutLinks links(about, opener);
    QObject::connect(about.Label3, &LinkLabel::clicked, &about, [&links] { links.Label3_Click(); });
    QObject::connect(about.Label5, &LinkLabel::clicked, &about, [&links] { links.Label5_Click(); });
    about.exec();
}

}  // namespace tamro::ui
