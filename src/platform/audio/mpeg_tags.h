// SPDX-License-Identifier: GPL-3.0-or-later
// The tags around MPEG audio frames: ID3v2 at the start, ID3v1 and APE at the end.
#pragma once

#include "platform/audio/mpeg_file_window.h"

#include <cstdint>

namespace tamro::audio::mpeg {

// Where the audio starts after the ID3v2 tags (any number) at `offset`.
std::int64_t skipId3v2(FileWindow& w, std::int64_t offset);

// Where the audio ends before an ID3v1 tag and an APE tag that end at `end`.
std::int64_t endBeforeTags(FileWindow& w, std::int64_t end);

}  // namespace tamro::audio::mpeg
