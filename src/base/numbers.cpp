// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/numbers.h"

#include "base/failure.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tamro {

Failure overflowFailure(const std::string& what)
{
    return Failure("Overflow: " + what + " does not fit.");
}

namespace {

// The rounded value, not the one read: a position that stays out of range reports one failure for each whole
// second it passes, whenever and however often it is read within that second.
std::string roundedText(double rounded)
{
    if (!std::isfinite(rounded))
        return std::to_string(rounded);
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", rounded);
    return text;
}

}  // namespace

std::int32_t roundToInt32(double value)
{
    // rint follows the current rounding mode; the program never leaves round-to-nearest-even.
    const double r = std::nearbyint(value);
    if (!(r >= std::numeric_limits<std::int32_t>::min() && r <= std::numeric_limits<std::int32_t>::max()))
        throw overflowFailure("the value " + roundedText(r));
    return static_cast<std::int32_t>(r);
}

std::int16_t toInt16(std::int32_t value)
{
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        throw overflowFailure("the index " + std::to_string(value));
    return static_cast<std::int16_t>(value);
}

std::int32_t checkedAdd(std::int32_t a, std::int32_t b)
{
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        throw overflowFailure(std::to_string(a) + " + " + std::to_string(b));
    return sum;
}

std::int16_t checkedAdd16(std::int16_t a, std::int16_t b)
{
    return toInt16(std::int32_t{a} + std::int32_t{b});
}

std::string padTwo(std::int32_t value)
{
    std::string text = std::to_string(value);
    return value < 10 ? "0" + text : text;
}

std::string timeText(double seconds)
{
    const std::int32_t minutes = roundToInt32(seconds) / 60;
    // From the unrounded value, as the clock has always done; equal to round(T) mod 60 since 60*m is even.
    const std::int32_t secs = roundToInt32(seconds - 60.0 * minutes);
    return padTwo(minutes) + ":" + padTwo(secs);
}

std::string titleLine(std::string_view entry, double lengthSeconds)
{
    std::string line(entry);
    line += " - (";
    line += timeText(lengthSeconds);
    line += ")";
    return line;
}

std::string itemCountText(int count)
{
    return std::to_string(count) + " item(s)";
}

}  // namespace tamro
