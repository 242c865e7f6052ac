// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/slider.h"

#include "ui/accessible.h"
#include "ui/focus_marker.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

namespace tamro::ui {

namespace {

// Marks a change as the program's own for as long as it runs.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~ProgramChange() { flag_ = before_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    bool& flag_;
    bool before_;
};

}  // namespace

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    // The program owns the range: one unit is one second, set at every track start.
    setRange(0, 10);
    setPageStep(5);
    setSingleStep(1);
    setTracking(true);
    installAccessibleInterfaces();
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (!settingFromProgram_)
            emit scroll();
    });
}

void Slider::setMax(std::int32_t max)
{
    ProgramChange change(settingFromProgram_);
    setMaximum(max);
}

void Slider::setValue(std::int32_t value)
{
    if (value == QSlider::value() && sliderPosition() == value)
        return;
    ProgramChange change(settingFromProgram_);
    QSlider::setValue(value);
}

void Slider::mouseReleaseEvent(QMouseEvent* event)
{
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit click();
}

void Slider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    const bool focused = marksFocus(option.state);
    option.state.setFlag(QStyle::State_HasFocus, false);
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    if (focused)
        drawFocusMarker(painter, rect(), palette().color(backgroundRole()));
}

}  // namespace tamro::ui
