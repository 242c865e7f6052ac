// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/accessible.h"

#include "base/numbers.h"
#include "ui/label.h"
#include "ui/link_label.h"
#include "ui/slider.h"

#include <QAccessibleWidget>

namespace tamro::ui {

namespace {

// A slider whose value reads as the position it stands for: "01:05", not 65. Qt's AT-SPI bridge carries only
// the number, so the text is also the slider's description, which a screen reader speaks with its name.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SliderAccessible(Slider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value || (type == QAccessible::Description && widget()->toolTip().isEmpty()))
            return QString::fromStdString(timeText(slider().value()));
        return QAccessibleWidget::text(type);
    }

    QVariant currentValue() const override { return slider().value(); }
    // A move made through the screen reader is the user's, so it seeks as a drag does.
    void setCurrentValue(const QVariant& value) override { slider().QAbstractSlider::setValue(value.toInt()); }
    QVariant maximumValue() const override { return slider().maximum(); }
    QVariant minimumValue() const override { return slider().minimum(); }
    QVariant minimumStepSize() const override { return slider().singleStep(); }

private:
    Slider& slider() const { return *static_cast<Slider*>(widget()); }
};

// A caption label with a name of its own ("Title") reads as that name, and what it shows as its description;
// without one it reads as Qt reads a label, by its caption.
class CaptionAccessible : public QAccessibleWidget {
public:
    explicit CaptionAccessible(Label* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text type) const override
    {
        const QString shown = static_cast<const Label*>(widget())->text();
        const bool named = !widget()->accessibleName().isEmpty();
        if (type == QAccessible::Name)
            return named ? widget()->accessibleName() : shown;
        if (type == QAccessible::Description && named)
            return shown;
        return QAccessibleWidget::text(type);
    }
};

// A link label: a link, named by its caption, with the one action a click has.
class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Name && widget()->accessibleName().isEmpty())
            return link().text();
        return QAccessibleWidget::text(type);
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction())
            link().click();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    LinkLabel& link() const { return *static_cast<LinkLabel*>(widget()); }
};

QAccessibleInterface* tamroControls(const QString& key, QObject* object)
{
    if (key == QLatin1String(Slider::staticMetaObject.className()))
        return new SliderAccessible(static_cast<Slider*>(object));
    if (key == QLatin1String(Label::staticMetaObject.className()))
        return new CaptionAccessible(static_cast<Label*>(object));
    if (key == QLatin1String(LinkLabel::staticMetaObject.className()))
        return new LinkAccessible(static_cast<LinkLabel*>(object));
    return nullptr;
}

}  // namespace

void installAccessibleInterfaces()
{
    static const bool installed = [] {
        QAccessible::installFactory(tamroControls);
        return true;
    }();
    (void)installed;
}

}  // namespace tamro::ui
