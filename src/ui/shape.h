// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle shape (`Shape1`): a filled black panel with an outline, drawn behind the title line.
#pragma once

#include <QWidget>

namespace tamro::ui {

class Shape : public QWidget {
public:
    explicit Shape(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace tamro::ui
