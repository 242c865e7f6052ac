// SPDX-License-Identifier: GPL-3.0-or-later
// Exact tick-to-frame conversion for a MIDI file: its tempo changes (or SMPTE timing) at an output rate.
#pragma once

#include "platform/audio/smf.h"

#include <cstdint>
#include <span>
#include <vector>

namespace tamro::audio {

class TempoMap {
public:
    // `tempos` ordered by tick; ignored for SMPTE timing. Throws MidiFormatError for a rate out of range.
    TempoMap(const Division& division, std::span<const TempoChange> tempos, int sampleRate);

    // The frame at which `tick` sounds, rounded to the nearest frame. Throws MidiFormatError when the
    // time is too far out to count in frames.
    std::int64_t frameAt(std::int64_t tick) const;

    // frameAt() of every event, in one pass over events ordered by tick.
    std::vector<std::int64_t> framesOf(std::span<const MidiEvent> events) const;

private:
    __extension__ using Wide = __int128;

    struct Segment {
        std::int64_t tick = 0;
        std::int64_t microsPerQuarter = 500000;
        Wide microTicks = 0;  // microseconds x ticks-per-quarter elapsed before `tick`
    };

    // The frame of `tick`, which lies in `segment`; SMPTE timing has no segment.
    std::int64_t frameIn(const Segment* segment, std::int64_t tick) const;

    Division division_;
    int sampleRate_;
    std::vector<Segment> segments_;
};

}  // namespace tamro::audio
