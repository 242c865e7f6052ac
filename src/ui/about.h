// SPDX-License-Identifier: GPL-3.0-or-later
// The About window `about`: what the player is, the band and the maker, and two link labels.
#pragma once

#include "ui/link_label.h"

#include <QDialog>
#include <QLabel>

namespace tamro::ui {

// Layout and looks only; the links' behaviour is in about_links.h. The controls are owned by the window.
class About : public QDialog {
    Q_OBJECT
public:
    // Centred over `over` (the main window) when shown.
    explicit About(QWidget* over);

    QLabel* Label1;
    QLabel* Label2;
    LinkLabel* Label3;  // the band's web host, bare
    QLabel* Label4;
    LinkLabel* Label5;  // the maker's name; its link goes to a fixed address, not to this caption
    QLabel* Label6;
    QLabel* Image1;

private:
    void centreOver(const QWidget& window);
};

}  // namespace tamro::ui
