// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/decoded_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace tamro::audio {

namespace {

// Far beyond any real track (about 290 days at 44.1 kHz), and far from overflowing the arithmetic below, whatever
// a damaged header claims.
constexpr std::int64_t maxSamples = std::int64_t{1} << 40;

}  // namespace

DecodedStream::DecodedStream(const OutputFormat& out, int sourceRate, std::int64_t sourceLength)
    : out_(out),
      sourceRate_(sourceRate),
      sourceLength_(std::clamp<std::int64_t>(sourceLength, 0, maxSamples)),
      length_(std::max<std::int64_t>(0, av_rescale_rnd(sourceLength_, out.sampleRate, sourceRate, AV_ROUND_NEAR_INF))),
      resampler_(out)
{
}

std::size_t DecodedStream::read(float* out, std::size_t frames)
{
    const auto channels = static_cast<std::size_t>(out_.channels);
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(frames), length_ - position_));
    std::size_t written = 0;
    while (written < wanted) {
        const std::size_t available = (pending_.size() - pendingRead_) / channels;
        if (available > 0) {
            const std::size_t n = std::min(available, wanted - written);
            std::memcpy(out + written * channels, pending_.data() + pendingRead_, n * channels * sizeof(float));
            pendingRead_ += n * channels;
            written += n;
            continue;
        }
        pending_.clear();
        pendingRead_ = 0;
        if (refillOrEnd())
            continue;
        // The source ended at or close to its length: what rounding, the filter or a container that counts
        // whole packets leaves short of the length is silence. Further short, the file is damaged: end there.
        if (sourceLength_ - sourceNext_ <= sourceRate_ / 4) {
            std::fill(out + written * channels, out + wanted * channels, 0.0f);
            written = wanted;
        }
        break;
    }
    // A damaged or hostile float file may hold NaN, infinity or 1e30: the device gets silence for what is no
    // number and full scale at most for the rest.
    for (float* sample = out; sample != out + written * channels; ++sample)
        *sample = std::isfinite(*sample) ? std::clamp(*sample, -1.0f, 1.0f) : 0.0f;
    position_ += static_cast<std::int64_t>(written);
    return written;
}

void DecodedStream::seek(std::int64_t frame)
{
    position_ = std::clamp<std::int64_t>(frame, 0, length_);
    sourceNext_ = av_rescale_rnd(position_, sourceRate_, out_.sampleRate, AV_ROUND_DOWN);
    pending_.clear();
    pendingRead_ = 0;
    resampler_.reset();
    ended_ = false;
    restartAt(sourceNext_);
}

bool DecodedStream::refillOrEnd()
{
    // Runs on the decode thread, where nothing may escape: memory that cannot be had ends the track there.
    try {
        return refill();
    } catch (const std::exception&) {
        ended_ = true;
        pending_.clear();
        pendingRead_ = 0;
        return false;
    }
}

bool DecodedStream::refill()
{
    if (ended_)
        return false;
    if (sourceNext_ < sourceLength_) {
        if (auto decoded = nextFrame()) {
            const AVFrame& frame = *decoded->frame;
            // A frame that starts later than wanted (a seek that landed late) is taken to start where wanted.
            const std::int64_t at = std::clamp(decoded->position, sourceNext_ - maxSamples, sourceNext_);
            const std::int64_t first = sourceNext_ - at;  // samples before the wanted one: discarded
            const std::int64_t last = std::min<std::int64_t>(frame.nb_samples, sourceLength_ - at);
            if (first < last && !resampler_.convert(frame, static_cast<int>(first), static_cast<int>(last - first), pending_)) {
                ended_ = true;
                return false;
            }
            sourceNext_ = std::max(sourceNext_, at + last);
            return true;
        }
    }
    ended_ = true;
    resampler_.drain(pending_);
    return !pending_.empty();
}

}  // namespace tamro::audio
