// The file dialog filters of the playlist commands, character for character as the dialogs get them.
#pragma once

namespace tamro::playlist {

// Add and Open.
inline constexpr const char* soundFilter =
    "Supported Sound files |*.mp3;*.wav;*.wma;*.mid;*.rmi;*.midi;*.au;*.snd;|MP3 Files (*.mp3)|*.mp3|Wave Files "
    "(*.wav)|*.wav|Midi Files (*.mid,*.midi,*.rmi)|*.mid;*.midi;*.rmi|Windows Media Audio Files (*.wma)|*.wma|"
    "Unix Files (*.au,*.snd)|*.au;*.snd";

// Load.
inline constexpr const char* loadFilter = "Playlist files (*.m3u,*.pls)|*.m3u;*.pls";

// Save: which of the three the user picks changes nothing in what is written.
inline constexpr const char* saveFilter =
    "WinAmp Playlist (*.m3u)|*.m3u|XMPlay Playlist (*.pls)|*.pls|Text file (*.txt)|*.txt";

}  // namespace tamro::playlist
