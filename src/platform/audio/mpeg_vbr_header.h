// SPDX-License-Identifier: GPL-3.0-or-later
// The Xing/Info and VBRI headers that stand in an MPEG audio file's first frame, and the LAME tag after Xing/Info.
#pragma once

#include "platform/audio/mpeg_file_window.h"
#include "platform/audio/mpeg_frame_header.h"

#include <cstdint>

namespace tamro::audio::mpeg {

struct Gapless {
    bool known = false;  // a LAME tag gave the encoder's delay and padding
    std::int64_t delay = 0;
    std::int64_t padding = 0;
    std::int64_t frames = 0;  // as the tag counts them, 0 when it does not say
    // What a Xing/Info or VBRI header says of the audio frames after it and of the bytes with it: 0 when it
    // does not say both.
    std::int64_t headerFrames = 0;
    std::int64_t headerBytes = 0;
};

// Whether the frame at `offset` is a Xing/Info or VBRI tag rather than audio; fills in what a LAME tag says.
bool isTagFrame(FileWindow& w, std::int64_t offset, const FrameHeader& h, Gapless& gapless);

}  // namespace tamro::audio::mpeg
