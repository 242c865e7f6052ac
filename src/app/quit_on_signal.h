// SPDX-License-Identifier: GPL-3.0-or-later
// Ends the event loop cleanly on SIGTERM, SIGINT or SIGHUP, as a session logout or `kill` asks.
#pragma once

namespace tamro::app {

// Installs the handlers; call once, after the QApplication exists.
void quitOnTerminationSignals();

}  // namespace tamro::app
