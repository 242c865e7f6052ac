// SPDX-License-Identifier: GPL-3.0-or-later
// What the About window does: opening it from the main window, and its two links.
#pragma once

#include "platform/url_opener.h"
#include "ui/about.h"

#include <QString>

namespace tamro::ui {

// The maker's web site, fixed whatever Label5 shows.
inline const QString kMakerAddress = QStringLiteral("http://brumvale.example");

// The handlers of the link labels; each opens its address and leaves the window open.
class AboutLinks {
public:
    AboutLinks(About& window, UrlOpener& opener);

    // Opens "http://" followed by Label3's caption as it reads now.
    void Label3_Click();
    // Opens the maker's fixed address.
    void Label5_Click();

private:
    About& window;
    UrlOpener& opener;
};

// The "?" button: creates the About window afresh, wires its links, and shows it modally over the main
// window; returns when the user has closed it, and nothing of it outlives the call.
void Command5_Click(QWidget& frmmain, UrlOpener& opener);

}  // namespace tamro::ui
