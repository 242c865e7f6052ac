// SPDX-License-Identifier: GPL-3.0-or-later
// Converts decoded FFmpeg frames of any layout, sample format and rate to interleaved float at the output's.
#pragma once

#include "platform/audio/decoder.h"
#include "platform/audio/ffmpeg_handles.h"

#include <cstdint>
#include <vector>

namespace tamro::audio {

class Resampler {
public:
    // The highest input rate converted. FFmpeg's filter bank grows with the ratio of the two rates: a header
    // claiming 500 MHz would have it allocate gigabytes. 768 kHz is the highest rate of real recordings.
    static constexpr int maxInputRate = 768000;
    // The lowest: converting up from a few hertz multiplies every frame into millions of output samples
    // (a 1 MiB file at 1 Hz asked for gigabytes). No real recording uses less than this.
    static constexpr int minInputRate = 1000;

    explicit Resampler(const OutputFormat& out) : out_(out) {}
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;
    ~Resampler() { av_channel_layout_uninit(&inLayout_); }

    // Appends to `out` the conversion of `count` samples of `frame` starting at sample `first`. Returns false
    // when the frame's format cannot be converted (also a rate outside minInputRate..maxInputRate).
    bool convert(const AVFrame& frame, int first, int count, std::vector<float>& out);
    // Appends what the filter still holds at the end of the stream.
    void drain(std::vector<float>& out);
    // Forgets everything held (after a seek).
    void reset();

private:
    bool configureFor(const AVFrame& frame);
    void run(const std::uint8_t** in, int count, std::vector<float>& out);

    OutputFormat out_;
    ffmpeg::ResamplerPtr swr_;
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
};

}  // namespace tamro::audio
