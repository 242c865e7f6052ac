// Arbitrary bytes through the MIDI file parser, RMI unwrapping and the tempo map.
#include "platform/audio/rmi.h"
#include "platform/audio/smf.h"
#include "platform/audio/tempo_map.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tamro::audio;
    const std::span<const std::uint8_t> bytes(data, size);
    try {
        const MidiSong song = parseSmf(isRmi(bytes) ? unwrapRmi(bytes) : bytes);
        const TempoMap tempo(song.division, song.tempos, 44100);
        const std::int64_t length = tempo.frameAt(song.lastTick);
        std::int64_t previous = 0;
        for (const MidiEvent& event : song.events) {
            const std::int64_t frame = tempo.frameAt(event.tick);
            // Events come in time order, none after the end, and every System Exclusive lies in its buffer.
            if (frame < previous || frame > length ||
                std::size_t{event.sysexOffset} + event.sysexSize > song.sysex.size())
                std::abort();
            previous = frame;
        }
    } catch (const MidiFormatError&) {
    }
    return 0;
}
