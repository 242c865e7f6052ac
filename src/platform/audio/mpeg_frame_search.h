// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the next MPEG audio frame in a file: a header that the next frame's header, or the end, confirms.
#pragma once

#include "platform/audio/mpeg_file_window.h"
#include "platform/audio/mpeg_frame_header.h"

#include <cstdint>
#include <optional>

namespace tamro::audio::mpeg {

// Bytes searched for a frame, over the whole file, before the rest is taken for no audio. Real files hold a
// few kilobytes of junk at most; a sparse 2 GiB file of zeros would otherwise keep the window waiting for
// seconds on every start of it.
constexpr std::int64_t maxJunkBytes = std::int64_t{4} << 20;

// A frame at `offset` of the stream `ref` (any stream when null) that is followed by another one, or by `end`.
std::optional<FrameHeader> confirmedFrame(FileWindow& w, std::int64_t offset, std::int64_t end, const FrameHeader* ref);

// The next confirmed frame of the stream `ref` (any stream when null) at or after `from`, searching no further
// than `budget` bytes, which is lowered by what was searched. `end` when there is none within it.
std::int64_t nextConfirmedFrame(FileWindow& w, std::int64_t from, std::int64_t end, const FrameHeader* ref,
                                std::int64_t& budget, std::optional<FrameHeader>* found = nullptr);

}  // namespace tamro::audio::mpeg
