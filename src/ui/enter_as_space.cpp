// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/enter_as_space.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace tamro::ui {

namespace {

// Owned by its button; hands the button a Space for each Return or Enter, so Space's own rules (autorepeat,
// a release away from the button) hold for them too.
class EnterAsSpace : public QObject {
public:
    explicit EnterAsSpace(QAbstractButton& button) : QObject(&button) { button.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        QKeyEvent space(key->type(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), key->isAutoRepeat(),
                        static_cast<quint16>(key->count()));
        QCoreApplication::sendEvent(watched, &space);
        key->setAccepted(space.isAccepted());
        return true;
    }
};

}  // namespace

void pressWithEnter(QAbstractButton& button)
{
    new EnterAsSpace(button);  // owned by the button
}

}  // namespace tamro::ui
