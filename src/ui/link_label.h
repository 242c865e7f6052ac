// SPDX-License-Identifier: GPL-3.0-or-later
// A label that reports a click, for the About window's links.
#pragma once

#include <QLabel>

namespace tamro::ui {

// A click is a left-button press on the label followed by its release over the label.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent);

    // What a click does, for a screen reader's action.
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed = false;
};

}  // namespace tamro::ui
