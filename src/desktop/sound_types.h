// The sound types the player opens, as MIME types: what the desktop may hand it.
#pragma once

#include <array>

namespace tamro::desktop {

// MP3, WAV, WMA, MIDI and RMI, AU and SND, under the names shared-mime-info and older desktops give them.
inline constexpr std::array soundMimeTypes = {
    "audio/mpeg", "audio/x-mp3",  "audio/x-mpeg",    "audio/wav",  "audio/x-wav",
    "audio/vnd.wave", "audio/x-ms-wma", "audio/midi", "audio/x-midi", "audio/basic",
};

}  // namespace tamro::desktop
