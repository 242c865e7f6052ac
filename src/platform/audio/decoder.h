// SPDX-License-Identifier: GPL-3.0-or-later
// A decoded sound file: interleaved float frames at the output's rate, with an exact length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tamro::audio {

struct OutputFormat {
    int sampleRate = 48000;
    int channels = 2;
};

class Decoder {
public:
    virtual ~Decoder() = default;
    // Exact length in frames at the output rate, known as soon as the decoder is open.
    virtual std::int64_t lengthFrames() const = 0;
    // Writes up to `frames` interleaved frames; returns how many were written, 0 once the end is reached.
    // Never returns frames past lengthFrames(). A corrupt stream ends early; it never throws from here.
    virtual std::size_t read(float* out, std::size_t frames) = 0;
    // The next read starts at `frame` (clamped to 0..lengthFrames()).
    virtual void seek(std::int64_t frame) = 0;
};

}  // namespace tamro::audio
