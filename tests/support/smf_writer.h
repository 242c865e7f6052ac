// SPDX-License-Identifier: GPL-3.0-or-later
// Builds small Standard MIDI Files and RMI wrappers byte by byte, for tests that need MIDI input.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace tamro::testing {

using Bytes = std::vector<std::uint8_t>;

inline void appendVlq(Bytes& out, std::uint32_t value)
{
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.push_back(static_cast<std::uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

inline void appendBigEndian(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One track's events, each after a delta time in ticks.
class TrackWriter {
public:
    TrackWriter& raw(std::uint32_t delta, std::initializer_list<std::uint8_t> message)
    {
        appendVlq(bytes_, delta);
        bytes_.insert(bytes_.end(), message);
        return *this;
    }
    TrackWriter& program(std::uint32_t delta, int channel, int program)
    {
        return raw(delta, {static_cast<std::uint8_t>(0xC0 | channel), static_cast<std::uint8_t>(program)});
    }
    TrackWriter& noteOn(std::uint32_t delta, int channel, int key, int velocity = 100)
    {
        return raw(delta, {static_cast<std::uint8_t>(0x90 | channel), static_cast<std::uint8_t>(key),
                           static_cast<std::uint8_t>(velocity)});
    }
    TrackWriter& noteOff(std::uint32_t delta, int channel, int key)
    {
        return raw(delta, {static_cast<std::uint8_t>(0x80 | channel), static_cast<std::uint8_t>(key), 64});
    }
    TrackWriter& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter)
    {
        return raw(delta, {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsPerQuarter >> 16),
                           static_cast<std::uint8_t>(microsPerQuarter >> 8), static_cast<std::uint8_t>(microsPerQuarter)});
    }
    TrackWriter& text(std::uint32_t delta, const std::string& text)
    {
        appendVlq(bytes_, delta);
        bytes_.insert(bytes_.end(), {0xFF, 0x01});
        appendVlq(bytes_, static_cast<std::uint32_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    TrackWriter& end(std::uint32_t delta = 0) { return raw(delta, {0xFF, 0x2F, 0x00}); }

    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// A whole file: the header ("MThd", format, track count, division) and one "MTrk" chunk per track.
inline Bytes smfFile(int format, std::uint16_t division, const std::vector<TrackWriter>& tracks)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    appendBigEndian(out, static_cast<std::uint32_t>(format), 2);
    appendBigEndian(out, static_cast<std::uint32_t>(tracks.size()), 2);
    appendBigEndian(out, division, 2);
    for (const TrackWriter& track : tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        appendBigEndian(out, static_cast<std::uint32_t>(track.bytes().size()), 4);
        out.insert(out.end(), track.bytes().begin(), track.bytes().end());
    }
    return out;
}

// SMPTE division: negative frames per second in the high byte, ticks per frame in the low byte.
inline std::uint16_t smpteDivision(int framesPerSecond, int ticksPerFrame)
{
    return static_cast<std::uint16_t>(((256 - framesPerSecond) << 8) | ticksPerFrame);
}

inline void appendLittleEndian32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The file wrapped as RMI: "RIFF", size, "RMID", an "INFO"-like list chunk before the "data" chunk, as
// real RMI files often have, and the padding byte an odd-sized chunk needs.
inline Bytes rmiFile(const Bytes& smf)
{
    Bytes body{'R', 'M', 'I', 'D'};
    const Bytes info{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 5, 0, 0, 0, 't', 'o', 'n', 'e', 0};
    body.insert(body.end(), {'L', 'I', 'S', 'T'});
    appendLittleEndian32(body, static_cast<std::uint32_t>(info.size()));
    body.insert(body.end(), info.begin(), info.end());
    if (info.size() % 2)
        body.push_back(0);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    appendLittleEndian32(body, static_cast<std::uint32_t>(smf.size()));
    body.insert(body.end(), smf.begin(), smf.end());
    if (smf.size() % 2)
        body.push_back(0);
    Bytes out{'R', 'I', 'F', 'F'};
    appendLittleEndian32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace tamro::testing
