// SPDX-License-Identifier: GPL-3.0-or-later
// Raising the main window for a later start or the desktop's Raise, with the desktop's leave to do so where the
// start brought one: the xdg-activation token on Wayland, the startup notification's id on X11.
#pragma once

#include "desktop/hand_over.h"

#include <QWidget>

namespace tamro::app {

// Shows the window (restored if minimised), raises and activates it. A token of the platform the window is on
// goes with the activation; without one, the window asks as any window asks, and the desktop decides.
void raiseWindow(QWidget& window, const desktop::ActivationToken& token);

// The time stamp of an X11 startup id ("..._TIME<n>"), 0 for none.
std::uint32_t startupIdTime(std::string_view id);

}  // namespace tamro::app
