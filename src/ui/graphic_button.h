// SPDX-License-Identifier: GPL-3.0-or-later
// A button in graphical style: a flat face of one colour with a 3-D edge, a picture or a caption on it.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace tamro::ui {

class GraphicButton : public QAbstractButton {
public:
    explicit GraphicButton(QColor face, QWidget* parent = nullptr);

    void setPicture(QPixmap picture);
    const QPixmap& picture() const { return picture_; }
    QColor face() const { return face_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor face_;
    QPixmap picture_;
};

// The shuffle switch `Shuffle`: a graphical check box, drawn as a button that stays pressed while checked.
class CheckBox : public GraphicButton {
public:
    explicit CheckBox(QColor face, QWidget* parent = nullptr);

    // 1 when checked, 0 when not.
    int value() const { return isChecked() ? 1 : 0; }
};

}  // namespace tamro::ui
