// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's player controls, each connected to the handler its button runs, and the files given.
#pragma once

#include "desktop/mpris.h"

#include <string>
#include <vector>

namespace tamro::app {

class PlayerWindow;

// Connects the controls on the session bus (`mpris`, null without one) and the files handed over by later
// starts (`listeningSocket`, -1 without one).
void connectDesktop(PlayerWindow& window, desktop::Mpris* mpris, int listeningSocket);
// The files of the command line (already absolute): appended and the first started.
void openGivenFiles(PlayerWindow& window, const std::vector<std::string>& paths);

}  // namespace tamro::app
