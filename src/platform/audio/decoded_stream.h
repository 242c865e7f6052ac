// SPDX-License-Identifier: GPL-3.0-or-later
// The part every FFmpeg-based decoder shares: placing decoded frames on the track's timeline, trimming them
// to the exact length, discarding up to a seek target and converting to the output format.
#pragma once

#include "platform/audio/decoder.h"
#include "platform/audio/ffmpeg_handles.h"
#include "platform/audio/resampler.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tamro::audio {

class DecodedStream : public Decoder {
public:
    // `sourceLength`: the track's exact length in samples at `sourceRate`.
    DecodedStream(const OutputFormat& out, int sourceRate, std::int64_t sourceLength);

    std::int64_t lengthFrames() const override { return length_; }
    std::size_t read(float* out, std::size_t frames) override;
    void seek(std::int64_t frame) override;

protected:
    struct Decoded {
        const AVFrame* frame;
        std::int64_t position;  // of its first sample on the track's timeline, in source samples; may be < 0
    };
    // The next decoded frame, nullopt at the end of the stream or at an error it cannot get past.
    virtual std::optional<Decoded> nextFrame() = 0;
    // Makes nextFrame() go on from a frame that starts at or before `sample` (the caller discards the rest).
    virtual void restartAt(std::int64_t sample) = 0;

private:
    bool refill();
    bool refillOrEnd();

    OutputFormat out_;
    int sourceRate_;
    std::int64_t sourceLength_;
    std::int64_t length_;
    Resampler resampler_;
    std::int64_t position_ = 0;    // output frame the next read() starts with
    std::int64_t sourceNext_ = 0;  // source sample the next converted one must be
    bool ended_ = false;
    std::vector<float> pending_;
    std::size_t pendingRead_ = 0;  // floats of pending_ already handed out
};

}  // namespace tamro::audio
