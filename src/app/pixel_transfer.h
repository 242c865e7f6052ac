// SPDX-License-Identifier: GPL-3.0-or-later
// How the window's pixels reach the X server; chosen before the QApplication exists.
#pragma once

namespace tamro::app {

// The window is small and repaints two small areas a second while a track plays. Qt's shared memory would make
// each repaint of an area it drew before wait for a round trip to the X server (and wake Qt's X event reader for
// the answer); sending the few changed pixels over the connection costs less. A QT_XCB_NO_MITSHM the user set
// is kept as it is.
void sendPixelsOverTheConnection();

}  // namespace tamro::app
