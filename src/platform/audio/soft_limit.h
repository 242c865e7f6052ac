// SPDX-License-Identifier: GPL-3.0-or-later
// Bends sample peaks above a knee smoothly towards full scale, so that a loud passage never clips hard at
// the device.
#pragma once

#include <cmath>

namespace tamro::audio {

inline constexpr float softLimitKnee = 0.8f;  // about -2 dBFS: everything quieter passes untouched

// Unchanged up to the knee; above it the slope falls off smoothly (tanh) towards full scale, never past it.
inline float softLimit(float sample)
{
    const float size = std::fabs(sample);
    if (!(size > softLimitKnee))
        return sample;
    constexpr float room = 1.0f - softLimitKnee;
    return std::copysign(softLimitKnee + room * std::tanh((size - softLimitKnee) / room), sample);
}

}  // namespace tamro::audio
