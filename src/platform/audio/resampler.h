// Converts decoded FFmpeg frames of any layout, sample format and rate to interleaved float at the output's.
#pragma once

#include "platform/audio/decoder.h"
#include "platform/audio/ffmpeg_handles.h"

#include <cstdint>
#include <vector>

namespace tamro::audio {

class Resampler {
public:
    explicit Resampler(const OutputFormat& out) : out_(out) {}
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;
    ~Resampler() { av_channel_layout_uninit(&inLayout_); }

    // Appends to `out` the conversion of `count` samples of `frame` starting at sample `first`. Returns false
    // when the frame's format cannot be converted.
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
