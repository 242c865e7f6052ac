// SPDX-License-Identifier: GPL-3.0-or-later
// The frames of a large MPEG audio file that were not walked on opening: where they stop, how many there are,
// and the mean size that locates one of them (see MpegAudioIndex::complete).
#pragma once

#include "platform/audio/mpeg_audio_index.h"
#include "platform/audio/mpeg_file_window.h"
#include "platform/audio/mpeg_frame_header.h"
#include "platform/audio/mpeg_vbr_header.h"

#include <cstdint>

namespace tamro::audio::mpeg {

// What the walk on opening found besides the frames.
struct Walked {
    FrameHeader audio;              // the first audio frame's header
    bool constantBitrate = false;   // every walked audio frame has the same bit rate
    std::int64_t audioStart = 0;    // where the first frame starts, a Xing/Info/VBRI frame included
    Gapless gapless;                // what its Xing/Info/VBRI header and LAME tag say
};

// For an index walked only up to the walk limit (`complete` false, frameCount the walked frames, audioEnd
// where the tags at the end start): sets audioEnd to where the frames stop, and either finds the index
// complete after all or sets frameCount and bytesPerFrame for the rest.
void estimateRest(MpegAudioIndex& index, FileWindow& w, const ReadAt& read, const Walked& walked);

}  // namespace tamro::audio::mpeg
