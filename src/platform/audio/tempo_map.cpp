// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/tempo_map.h"

#include <algorithm>
#include <limits>

namespace tamro::audio {

TempoMap::TempoMap(const Division& division, std::span<const TempoChange> tempos, int sampleRate)
    : division_(division), sampleRate_(sampleRate)
{
    if (sampleRate <= 0)
        throw MidiFormatError("invalid output sample rate");
    segments_.push_back({});
    if (division.smpte)
        return;
    for (const TempoChange& change : tempos) {
        Segment& last = segments_.back();
        if (change.tick == last.tick) {
            last.microsPerQuarter = change.microsPerQuarter;  // the later of two changes at one tick wins
            continue;
        }
        const Wide elapsed = last.microTicks + Wide{change.tick - last.tick} * last.microsPerQuarter;
        segments_.push_back({change.tick, change.microsPerQuarter, elapsed});
    }
}

std::int64_t TempoMap::frameAt(std::int64_t tick) const
{
    if (division_.smpte)
        return frameIn(nullptr, tick);
    auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                  [](std::int64_t t, const Segment& s) { return t < s.tick; });
    return frameIn(&*(after - 1), tick);
}

std::vector<std::int64_t> TempoMap::framesOf(std::span<const MidiEvent> events) const
{
    std::vector<std::int64_t> frames;
    frames.reserve(events.size());
    std::size_t segment = 0;
    for (const MidiEvent& event : events) {
        while (segment + 1 < segments_.size() && segments_[segment + 1].tick <= event.tick)
            ++segment;
        frames.push_back(frameIn(division_.smpte ? nullptr : &segments_[segment], event.tick));
    }
    return frames;
}

std::int64_t TempoMap::frameIn(const Segment* segment, std::int64_t tick) const
{
    // time = numerator / denominator seconds; frames = time * rate, rounded half up.
    Wide numerator = 0;
    Wide denominator = 1;
    if (!segment) {
        numerator = Wide{tick};
        denominator = Wide{division_.framesPerSecond} * division_.ticksPerFrame;
        if (division_.framesPerSecond == 29) {  // drop-frame timecode runs at 30000/1001 frames per second
            numerator *= 1001;
            denominator = Wide{30000} * division_.ticksPerFrame;
        }
    } else {
        numerator = segment->microTicks + Wide{tick - segment->tick} * segment->microsPerQuarter;
        denominator = Wide{division_.ticksPerQuarter} * 1000000;
    }
    const Wide scaled = 2 * numerator * sampleRate_ + denominator;
    // 128-bit division is slow; any real file's times fit 64 bits.
    constexpr Wide fast = std::numeric_limits<std::int64_t>::max();
    const Wide frames = scaled <= fast && 2 * denominator <= fast
                            ? Wide{static_cast<std::int64_t>(scaled) / static_cast<std::int64_t>(2 * denominator)}
                            : scaled / (2 * denominator);
    if (frames > std::numeric_limits<std::int64_t>::max() / 4)
        throw MidiFormatError("the MIDI file's timing runs beyond any playable length");
    return static_cast<std::int64_t>(frames);
}

}  // namespace tamro::audio
