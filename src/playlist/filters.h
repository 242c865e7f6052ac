// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialog filters of the playlist commands, character for character as the dialogs get them.
#pragma once

#include <string>

namespace tamro::playlist {

// Add and Open: every sound type, then one filter per kind of file, from the one list of sound types.
std::string soundFilter();

// Load.
inline constexpr const char* loadFilter = "Playlist files (*.m3u,*.pls)|*.m3u;*.pls";

// Save: which of the three the user picks changes nothing in what is written.
inline constexpr const char* saveFilter =
    "WinAmp Playlist (*.m3u)|*.m3u|XMPlay Playlist (*.pls)|*.pls|Text file (*.txt)|*.txt";

}  // namespace tamro::playlist
