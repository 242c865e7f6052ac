// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/label.h"

#include "base/shown_text.h"
#include "ui/accessible.h"

#include <QAccessible>

namespace tamro::ui {

Label::Label(QWidget* parent) : QLabel(parent)
{
    // A path is never markup: "<b>" in a file name shows as typed.
    setTextFormat(Qt::PlainText);
    installAccessibleInterfaces();
}

void Label::setCaption(std::string_view bytes)
{
    if (bytes == caption_)
        return;
    caption_.assign(bytes);
    // The caption is kept whole; a title line of a megabyte-long entry is drawn cut.
    const std::string shown = shownText(bytes);
    setText(QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())));
    // A label with a name of its own reads what it shows as its description; QLabel tells only of its name.
    if (QAccessible::isActive() && !accessibleName().isEmpty()) {
        QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

}  // namespace tamro::ui
