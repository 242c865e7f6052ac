// SPDX-License-Identifier: GPL-3.0-or-later
// The decode thread's view of a track it decodes into the ring: the decoder and how far it got. Plain data, kept
// with the decode loop's lock (see decode_loop.h).
#pragma once

#include "platform/audio/decoder.h"
#include "platform/audio/end_clock.h"

#include <cstdint>
#include <memory>

namespace tamro::audio {

struct TrackDecoding {
    std::uint64_t id = 0;            // the segment it is decoded for (see Playout)
    bool active = false;             // playing: a stopped track is decoded once it plays, from where it plays
    std::int64_t startedMicros = 0;  // output clock when it was set to play
    std::int64_t written = 0;        // frames of it written to the ring
    bool done = false;               // the decoder gave all it has
    std::uint64_t mark = EndClock::none;  // its end in the ring, once done (see EndClock)
    std::int64_t due = -1;           // when its end is to be posted, by the output's clock; -1: not yet known
    bool endPosted = false;
};

// A decoder with what has been decoded of it.
struct DecodedTrack {
    std::unique_ptr<Decoder> decoder;
    TrackDecoding at;
};

}  // namespace tamro::audio
