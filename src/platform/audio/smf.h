// SPDX-License-Identifier: GPL-3.0-or-later
// Standard MIDI File parser: the tracks of a format 0 or 1 file merged into one time-ordered event list.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamro::audio {

// A file that cannot be played at all; the text says why, without the path.
class MidiFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct MidiEvent {
    std::int64_t tick = 0;
    // Channel messages keep their status byte (0x80..0xEF); 0xF0 is a System Exclusive message, whose
    // bytes are MidiSong::sysex[sysex]. Meta events are not kept: they only mark time (MidiSong::lastTick).
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t sysex = 0;
};

struct TempoChange {
    std::int64_t tick = 0;
    std::uint32_t microsPerQuarter = 500000;
};

// How ticks turn into time: ticks per quarter note (tempo-driven), or SMPTE frames per second and ticks
// per frame (tempo-independent).
struct Division {
    bool smpte = false;
    int ticksPerQuarter = 0;
    int framesPerSecond = 0;  // 24, 25, 29 (29.97 drop-frame) or 30
    int ticksPerFrame = 0;
};

struct MidiSong {
    Division division;
    std::vector<MidiEvent> events;     // what is sent to the synthesizer, from all tracks, ordered by tick,
                                       // then track, then position in track
    std::vector<TempoChange> tempos;   // from every track, ordered the same way
    std::vector<std::vector<std::uint8_t>> sysex;  // System Exclusive messages without the F0 and the F7
    std::int64_t lastTick = 0;  // tick of the last event of any kind, end of track included
};

// Throws MidiFormatError when the bytes hold no playable MIDI file: no "MThd" header, a bad division,
// format 2, or no track at all. A track that is cut short or garbled is kept up to its last whole event.
MidiSong parseSmf(std::span<const std::uint8_t> bytes);

}  // namespace tamro::audio
