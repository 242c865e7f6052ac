// SPDX-License-Identifier: GPL-3.0-or-later
// A sound file's own tags (title, artists, album, ...) and embedded picture, for the desktop's player applet.
// Read apart from the sound path, with a light open of their own; every text comes out bounded and clean.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tamro::audio {

struct SoundTags {
    std::string title;
    std::vector<std::string> artists;
    std::string album;
    std::string albumArtist;
    std::int32_t trackNumber = 0;  // 0: none
    std::string genre;
    std::string date;  // ISO 8601 ("2003", "2003-05-17" as "2003-05-17T00:00:00Z"); "" for none or unreadable
    std::string picture;           // the embedded picture's bytes, "" for none
    std::string pictureExtension;  // "jpg", "png", ...
    bool operator==(const SoundTags&) const = default;
};

// Bounds on what a file may put in front of the desktop.
inline constexpr std::size_t maxTagBytes = 2048;
inline constexpr std::size_t maxTagValues = 8;
inline constexpr std::size_t maxPictureBytes = 16 * 1024 * 1024;

// A tag's bytes as text for display: UTF-8 as it is, anything else read as Latin-1; control characters dropped
// (line breaks and tabs become a blank), blanks trimmed at both ends, cut to maxTagBytes on a character's boundary.
std::string cleanTagText(std::string_view raw);
// A tag's date ("2003", "2003-05", "2003-05-17...") as ISO 8601; "" when it does not start with a year.
std::string isoDate(std::string_view raw);
// A track number tag ("3", "03/12") as a number; 0 when there is none.
std::int32_t trackNumberOf(std::string_view raw);

// The tags of a file, never throwing: what cannot be read is left empty. MIDI files give their first track's
// name, RMI files that and their INFO list; everything else goes through FFmpeg's demuxers (ID3v2, ID3v1, APE,
// ASF, RIFF INFO, AU annotations). Gives up, with what it has, once `cancel` is set or `budget` has passed.
SoundTags readSoundTags(const std::string& path, const std::atomic<bool>& cancel,
                        std::chrono::milliseconds budget = std::chrono::seconds(2));

// The MIDI part, on the file's bytes: the first track's name (meta event 0x03), and an RMI's INFO list.
SoundTags midiTags(std::string_view bytes);

}  // namespace tamro::audio
