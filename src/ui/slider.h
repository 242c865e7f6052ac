// SPDX-License-Identifier: GPL-3.0-or-later
// The position slider `Slider1`: maximum and value in whole seconds, and the user's click and scroll.
#pragma once

#include <QSlider>

#include <cstdint>

namespace tamro::ui {

class Slider : public QSlider {
    Q_OBJECT
public:
    explicit Slider(QWidget* parent = nullptr);

    std::int32_t max() const { return maximum(); }
    // Set by the program: never raises scroll().
    void setMax(std::int32_t max);

    std::int32_t value() const { return QSlider::value(); }
    // Set by the program, unclamped by the caller; the slider shows it within its range and never raises
    // scroll() for it.
    void setValue(std::int32_t value);

signals:
    // The user clicked the slider (mouse button released on it).
    void click();
    // The user moved the value: a drag step, a click on the groove, a key or the wheel.
    void scroll();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The style's own, with the plain focus marker in place of the style's.
    void paintEvent(QPaintEvent* event) override;

private:
    bool settingFromProgram_ = false;
};

}  // namespace tamro::ui
