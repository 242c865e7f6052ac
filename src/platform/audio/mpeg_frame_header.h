// SPDX-License-Identifier: GPL-3.0-or-later
// One MPEG audio frame header (MP1/MP2/MP3): its fields, and the frame's size and sample count that follow.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace tamro::audio::mpeg {

struct FrameHeader {
    int version = 0;  // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    int layer = 0;
    int rateIndex = 0;
    int bitrateIndex = 0;
    int bitrate = 0;  // bits per second
    bool mono = false;
    std::uint32_t size = 0;
    int samplesPerFrame = 0;
    int sampleRate = 0;
};

namespace detail {

// Kilobits per second by bit rate index, a row for each version and layer.
inline constexpr std::array<std::array<int, 15>, 5> bitrates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2/2.5 layers II, III
}};

// The row of `bitrates` for a version and layer.
inline std::size_t bitrateTable(int version, int layer)
{
    return static_cast<std::size_t>(version == 3 ? layer - 1 : (layer == 1 ? 3 : 4));
}

}  // namespace detail

// The header in the four bytes at `p`; empty when they are not one (free format included: its frame size is
// not in the header). Inline: it runs for every frame of a file when it is opened.
inline std::optional<FrameHeader> parseHeader(const std::uint8_t* p)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    FrameHeader h;
    h.version = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    h.rateIndex = (p[2] >> 2) & 3;
    if (h.version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || h.rateIndex == 3)
        return std::nullopt;
    h.layer = 4 - layerBits;
    const bool mpeg1 = h.version == 3;
    const int bitrate = detail::bitrates[detail::bitrateTable(h.version, h.layer)][static_cast<std::size_t>(bitrateIndex)] * 1000;
    h.bitrateIndex = bitrateIndex;
    h.bitrate = bitrate;
    static constexpr std::array<int, 3> baseRates{44100, 48000, 32000};
    h.sampleRate = baseRates[static_cast<std::size_t>(h.rateIndex)] >> (mpeg1 ? 0 : (h.version == 2 ? 1 : 2));
    const int padding = (p[2] >> 1) & 1;
    h.mono = (p[3] >> 6) == 3;
    if (h.layer == 1) {
        h.size = static_cast<std::uint32_t>((12 * bitrate / h.sampleRate + padding) * 4);
        h.samplesPerFrame = 384;
    } else if (h.layer == 2 || mpeg1) {
        h.size = static_cast<std::uint32_t>(144 * bitrate / h.sampleRate + padding);
        h.samplesPerFrame = 1152;
    } else {
        h.size = static_cast<std::uint32_t>(72 * bitrate / h.sampleRate + padding);
        h.samplesPerFrame = 576;
    }
    return h;
}

// Whether two frames belong to one stream: a bit rate of its own is allowed to each.
inline bool sameStream(const FrameHeader& a, const FrameHeader& b)
{
    return a.version == b.version && a.layer == b.layer && a.rateIndex == b.rateIndex && a.mono == b.mono;
}

// The size of a frame of `h`'s stream at the lowest and at the highest bit rate (with padding).
inline std::pair<double, double> frameSizeRange(const FrameHeader& h)
{
    const auto& table = detail::bitrates[detail::bitrateTable(h.version, h.layer)];
    const double bytesPerBit = h.samplesPerFrame / 8.0 / h.sampleRate;
    return {table[1] * 1000 * bytesPerBit, table[14] * 1000 * bytesPerBit + (h.layer == 1 ? 4 : 1)};
}

}  // namespace tamro::audio::mpeg
