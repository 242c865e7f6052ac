// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/label.h"

#include "base/shown_text.h"

namespace tamro::ui {

Label::Label(QWidget* parent) : QLabel(parent)
{
    // A path is never markup: "<b>" in a file name shows as typed.
    setTextFormat(Qt::PlainText);
}

void Label::setCaption(std::string_view bytes)
{
    if (bytes == caption_)
        return;
    caption_.assign(bytes);
    // The caption is kept whole; a title line of a megabyte-long entry is drawn cut.
    const std::string shown = shownText(bytes);
    setText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
}

}  // namespace tamro::ui
