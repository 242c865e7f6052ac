// Every event of frmmain and of its media player, connected to its handler under the report policy.
#pragma once

namespace tamro::app {

class PlayerWindow;

void connectEvents(PlayerWindow& window);
// The window's load event: runs once, before the window is first shown.
void runLoad(PlayerWindow& window);

}  // namespace tamro::app
