// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/rmi.h"

#include "platform/audio/smf.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tamro::audio {
namespace {

std::uint32_t littleEndian32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

bool isRmi(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "RMID", 4) == 0;
}

std::span<const std::uint8_t> unwrapRmi(std::span<const std::uint8_t> bytes)
{
    if (!isRmi(bytes))
        throw MidiFormatError("it is not an RMI file (no RIFF RMID header)");
    // The RIFF size is not trusted: chunks are walked up to the real end of the file.
    std::size_t pos = 12;
    while (bytes.size() - pos >= 8) {
        const std::uint8_t* id = bytes.data() + pos;
        const std::size_t declared = littleEndian32(id + 4);
        pos += 8;
        const std::size_t length = std::min(declared, bytes.size() - pos);
        if (std::memcmp(id, "data", 4) == 0)
            return bytes.subspan(pos, length);
        if (length < declared)
            break;
        pos += length + (length & 1);  // chunks are padded to an even size
        pos = std::min(pos, bytes.size());
    }
    // A chunk size that lies (a LIST claiming more than the file holds) hides the data chunk from the walk:
    // look for a data chunk that holds a MIDI file.
    constexpr std::string_view marker{"MThd"};
    for (std::size_t at = 12; bytes.size() - at >= 12; ++at) {
        const std::uint8_t* p = bytes.data() + at;
        if (std::memcmp(p, "data", 4) == 0 && std::memcmp(p + 8, marker.data(), marker.size()) == 0)
            return bytes.subspan(at + 8, std::min<std::size_t>(littleEndian32(p + 4), bytes.size() - at - 8));
    }
    throw MidiFormatError("the RMI file holds no MIDI data chunk");
}

}  // namespace tamro::audio
