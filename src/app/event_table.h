// SPDX-License-Identifier: GPL-3.0-or-later
// Every event of frmmain and of its media player, connected to its handler under the report policy.
#pragma once

#include <functional>

namespace tamro::app {

class PlayerWindow;

void connectEvents(PlayerWindow& window);
// Runs one handler as every event runs it: under the report policy, then telling the desktop's player
// controls, which signal what changed (`seeks`: the handler moved the position).
void runEvent(PlayerWindow& window, const std::function<void()>& handler, bool seeks = false);
// The window's load event: runs once, before the window is first shown.
void runLoad(PlayerWindow& window);

}  // namespace tamro::app
