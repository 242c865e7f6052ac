// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a test tone as a 16-bit stereo PCM WAV file, for tests and benchmarks that need real sound files.
#pragma once

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace tamro::testing {

namespace detail {
inline void put16(std::ofstream& out, std::uint16_t v)
{
    out.put(static_cast<char>(v & 0xff)).put(static_cast<char>(v >> 8));
}
inline void put32(std::ofstream& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}
}  // namespace detail

// A cosine at half scale, so the very first frame is already loud and the start of a track can be found to
// the frame in what was played.
inline void writeToneWav(const std::filesystem::path& path, double frequency, std::int64_t frames, int rate)
{
    using detail::put16;
    using detail::put32;
    std::ofstream out(path, std::ios::binary);
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 2);
    put32(out, static_cast<std::uint32_t>(rate));
    put32(out, static_cast<std::uint32_t>(rate * 4));
    put16(out, 4);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int64_t i = 0; i < frames; ++i) {
        const double v = 0.5 * std::cos(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767.0)));
        put16(out, s);
        put16(out, s);
    }
}

}  // namespace tamro::testing
