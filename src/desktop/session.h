// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's player controls on the session bus: the player's object, under the player's MPRIS2 name.
#pragma once

#include "desktop/mpris.h"

#include <memory>

namespace tamro::desktop {

// Call after the application object exists. Null without a session bus, or when the name is held already
// (a player of this user on another display): the player then runs without the controls.
std::unique_ptr<Mpris> joinSessionBus();

}  // namespace tamro::desktop
