#include "ui/label.h"

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
    setText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace tamro::ui
