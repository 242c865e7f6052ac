// SPDX-License-Identifier: GPL-3.0-or-later
// Return and keypad Enter press a focused button as Space does: down on the key, clicked on its release.
#pragma once

#include <QAbstractButton>

namespace tamro::ui {

void pressWithEnter(QAbstractButton& button);

}  // namespace tamro::ui
