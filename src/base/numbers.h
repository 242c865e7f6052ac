// SPDX-License-Identifier: GPL-3.0-or-later
// Rounding, checked integer conversions and the time text: the arithmetic every handler shares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tamro {

// The most entries the list holds, and so the most a playlist holds: its indexes are 16-bit numbers.
inline constexpr std::int16_t maxEntries = 32767;

// Nearest whole number, an exact half to the even neighbour; Failure on overflow or NaN.
std::int32_t roundToInt32(double value);

// Narrows to a 16-bit list index; Failure on overflow.
std::int16_t toInt16(std::int32_t value);

// a + b in 32 bits; Failure on overflow.
std::int32_t checkedAdd(std::int32_t a, std::int32_t b);

// a + b in 16 bits; Failure on overflow.
std::int16_t checkedAdd16(std::int16_t a, std::int16_t b);

// Minutes, ":" and seconds, each padded to two digits, no hours field: 3725 gives "62:05".
std::string timeText(double seconds);

// Zero-pads a minutes or seconds field: 5 gives "05", 62 gives "62".
std::string padTwo(std::int32_t value);

// The title line of an entry and a track length: "<entry> - (MM:SS)". The entry is kept byte for byte.
std::string titleLine(std::string_view entry, double lengthSeconds);

// "<count> item(s)".
std::string itemCountText(int count);

}  // namespace tamro
