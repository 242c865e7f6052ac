// SPDX-License-Identifier: GPL-3.0-or-later
// A Decoder that plays a sine tone of exact length, for engine tests that need no files.
#pragma once

#include "platform/audio/decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tamro::testing {

class SineDecoder final : public audio::Decoder {
public:
    // `endEarlyAt` makes the stream stop there, as a corrupt file would, while lengthFrames() stays.
    SineDecoder(double frequency, std::int64_t frames, audio::OutputFormat format, std::int64_t endEarlyAt = -1)
        : frequency_(frequency), frames_(frames), end_(endEarlyAt < 0 ? frames : endEarlyAt), format_(format)
    {
    }

    std::int64_t lengthFrames() const override { return frames_; }

    std::size_t read(float* out, std::size_t frames) override
    {
        const auto n = static_cast<std::size_t>(std::clamp<std::int64_t>(end_ - next_, 0, static_cast<std::int64_t>(frames)));
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(next_ + static_cast<std::int64_t>(i)) / format_.sampleRate;
            const auto v = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * frequency_ * t));
            for (int c = 0; c < format_.channels; ++c)
                *out++ = v;
        }
        next_ += static_cast<std::int64_t>(n);
        return n;
    }

    void seek(std::int64_t frame) override { next_ = std::clamp<std::int64_t>(frame, 0, frames_); }

private:
    double frequency_;
    std::int64_t frames_;
    std::int64_t end_;
    audio::OutputFormat format_;
    std::int64_t next_ = 0;
};

}  // namespace tamro::testing
