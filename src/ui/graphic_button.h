// SPDX-License-Identifier: GPL-3.0-or-later
// A button in graphical style: a flat face of one colour with a 3-D edge, a picture or a caption on it.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

#include <functional>

namespace tamro::ui {

class GraphicButton : public QAbstractButton {
public:
    // Draws the picture for a device pixel ratio.
    using Picture = std::function<QPixmap(qreal devicePixelRatio)>;

    explicit GraphicButton(QColor face, QWidget* parent = nullptr);

    // Drawn again whenever the button is painted at another device pixel ratio (a screen of another scale).
    void setPicture(Picture draw);
    // The picture at the button's device pixel ratio.
    const QPixmap& picture() const;
    QColor face() const { return face_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor face_;
    Picture draw_;
    mutable QPixmap picture_;
};

// The shuffle switch `Shuffle`: a graphical check box, drawn as a button that stays pressed while checked.
class CheckBox : public GraphicButton {
public:
    explicit CheckBox(QColor face, QWidget* parent = nullptr);

    // 1 when checked, 0 when not.
    int value() const { return isChecked() ? 1 : 0; }
};

}  // namespace tamro::ui
