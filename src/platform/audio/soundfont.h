// SPDX-License-Identifier: GPL-3.0-or-later
// Where the General MIDI SoundFont for MIDI playback is found.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tamro::audio {

// Debian installs its SoundFonts here, with default-GM.sf2 pointing at the preferred General MIDI one.
inline const std::filesystem::path defaultSoundFontFolder{"/usr/share/sounds/sf2"};

// The SoundFonts in `folder` to try, best first: default-GM.sf2, then every other *.sf2 and *.sf3 in name
// order. Broken links and anything that is not a regular file are left out; so is a second name for the
// same file.
std::vector<std::filesystem::path> soundFontCandidates(const std::filesystem::path& folder);

// What to tell the user when no SoundFont in `folder` could be loaded.
std::string missingSoundFontText(const std::filesystem::path& folder);

}  // namespace tamro::audio
