// SPDX-License-Identifier: GPL-3.0-or-later
// The generated sound files and helpers to read a decoder out in tests.
#pragma once

#include "platform/audio/decoder.h"

#include <string>
#include <vector>

namespace tamro::testing {

inline std::string soundFixture(const std::string& name)
{
    return std::string(TAMRO_SOUND_FIXTURES) + "/" + name;
}

// Everything the decoder gives from where it stands, in blocks of an awkward size to exercise the buffering.
inline std::vector<float> readToEnd(audio::Decoder& decoder, int channels, std::size_t limitFrames = 1u << 26)
{
    std::vector<float> all;
    std::vector<float> block(1000 * static_cast<std::size_t>(channels));
    std::size_t total = 0;
    while (total < limitFrames) {
        const std::size_t n = decoder.read(block.data(), 1000);
        if (n == 0)
            break;
        all.insert(all.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n * static_cast<std::size_t>(channels)));
        total += n;
    }
    return all;
}

inline std::vector<float> readFrames(audio::Decoder& decoder, int channels, std::size_t frames)
{
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    std::size_t got = 0;
    while (got < frames) {
        const std::size_t n = decoder.read(out.data() + got * static_cast<std::size_t>(channels), frames - got);
        if (n == 0)
            break;
        got += n;
    }
    out.resize(got * static_cast<std::size_t>(channels));
    return out;
}

}  // namespace tamro::testing
