// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes through the MIDI file parser, RMI unwrapping and the tempo map.
#include "platform/audio/rmi.h"
#include "platform/audio/smf.h"
#include "platform/audio/tempo_map.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tamro::audio;
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const MidiSong song = parseSmf(isRmi(bytes) ? unwrapRmi(bytes) : bytes);
        const TempoMap tempo(song.division, song.tempos, 44100);
        const std::int64_t length = tempo.frameAt(song.lastTick);
        const std::vector<std::int64_t> frames = tempo.framesOf(song.events);
        std::int64_t previous = 0;
        for (std::size_t i = 0; i < song.events.size(); ++i) {
            const MidiEvent& event = song.events[i];
            const std::int64_t frame = tempo.frameAt(event.tick);
            // Events come in time order, none after the end, both ways of timing agree, and every System
            // Exclusive event has its bytes.
            if (frame < previous || frame > length || frames[i] != frame ||
                (event.status == 0xF0 && event.sysex >= song.sysex.size()))
                std::abort();
            previous = frame;
        }
    } catch (const MidiFormatError&) {
    }
    return 0;
}
