// SPDX-License-Identifier: GPL-3.0-or-later
// A caption label (`Songname`, `time`, `Label1`): plain text set from bytes, repainted only when it changes.
#pragma once

#include <QLabel>

#include <string>
#include <string_view>

namespace tamro::ui {

class Label : public QLabel {
    Q_OBJECT
public:
    explicit Label(QWidget* parent = nullptr);

    // The ticks often set the caption it has: an unchanged caption costs one compare.
    void setCaption(std::string_view bytes);
    const std::string& caption() const { return caption_; }

    // The control's own visibility, whether or not its window is on screen yet.
    bool visible() const { return !isHidden(); }

private:
    std::string caption_;
};

}  // namespace tamro::ui
