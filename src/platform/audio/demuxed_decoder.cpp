// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/demuxed_decoder.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <utility>

namespace tamro::audio {

using namespace ffmpeg;

DemuxedDecoder::DemuxedDecoder(std::unique_ptr<FileIo> io, Opened opened, const OutputFormat& out)
    : DecodedStream(out, opened.sampleRate, opened.length),
      io_(std::move(io)),
      format_(std::move(opened.format)),
      stream_(opened.stream),
      origin_(opened.origin),
      start_(opened.origin),
      dataStart_(opened.dataStart),
      rate_(opened.sampleRate),
      decoder_(io_->file(), *format_->streams[stream_]->codecpar, format_->streams[stream_]->time_base, stream_)
{
    // Decoders that hold frames back label their first output with a later packet's time stamp: the first
    // frame decoded is the track's start, and the labels are counted from its label.
    if (receive()) {
        haveFirst_ = true;
        const AVFrame& frame = decoder_.frame();
        if (plausible(frame.best_effort_timestamp))
            origin_ = frame.best_effort_timestamp;
        const AVCodecID id = format_->streams[stream_]->codecpar->codec_id;
        if ((id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2) && frame.nb_samples > 0)
            frameLength_ = frame.nb_samples;
    }
}

std::optional<DecodedStream::Decoded> DemuxedDecoder::nextFrame()
{
    AVFrame& frame = decoder_.frame();
    if (haveFirst_) {
        haveFirst_ = false;
        needTimestamp_ = false;
        expected_ = frame.nb_samples;
        return Decoded{&frame, 0};
    }
    while (receive()) {
        std::int64_t position = expected_;
        // Until the sample sought is reached, each frame's own stamp places it: some demuxers (Ogg) stamp the
        // first packets after a seek wrongly and correct themselves a page later. From there on, frames follow
        // each other without gaps.
        if (anchoring_ && plausible(frame.best_effort_timestamp)) {
            position = av_rescale_q(frame.best_effort_timestamp - origin_, format_->streams[stream_]->time_base, AVRational{1, rate_});
            // ASF stamps are whole milliseconds; WMA 1 and 2 frames all have one length: snap to the frame.
            if (frameLength_ > 0)
                position = (position + frameLength_ / 2) / frameLength_ * frameLength_;
            // Landed after the sample wanted: go further back.
            if (needTimestamp_ && position > seekSample_ && seekAttempt_ < 3) {
                seekBefore(seekSample_, ++seekAttempt_);
                continue;
            }
        }
        needTimestamp_ = false;
        if (position + frame.nb_samples > seekSample_)
            anchoring_ = false;
        expected_ = position + frame.nb_samples;
        return Decoded{&frame, position};
    }
    return std::nullopt;
}

void DemuxedDecoder::restartAt(std::int64_t sample)
{
    haveFirst_ = false;
    seekSample_ = sample;
    seekAttempt_ = 0;
    seekBefore(sample, 0);
}

bool DemuxedDecoder::receive()
{
    return decoder_.receive([this](AVPacket& packet) { return av_read_frame(format_.get(), &packet); });
}

// Seeks to a packet well before `sample`, so that the decoder has settled by then: further back on each
// attempt, from the start of the stream on the last.
void DemuxedDecoder::seekBefore(std::int64_t sample, int attempt)
{
    decoder_.flush();
    needTimestamp_ = true;
    anchoring_ = true;
    const std::int64_t preroll = attempt >= 3 ? sample : std::min<std::int64_t>(sample, std::int64_t{rate_ / 2} << (3 * attempt));
    const std::int64_t from = sample - preroll;
    expected_ = from;  // in case the frames carry no time stamps
    const std::int64_t offset = av_rescale_q(from, AVRational{1, rate_}, format_->streams[stream_]->time_base);
    if (from > 0 && plausible(offset) && av_seek_frame(format_.get(), stream_, origin_ + offset, AVSEEK_FLAG_BACKWARD) >= 0)
        return;
    // The start: where the first frame came from.
    expected_ = 0;
    if (av_seek_frame(format_.get(), stream_, start_, AVSEEK_FLAG_BACKWARD) < 0)
        av_seek_frame(format_.get(), -1, dataStart_, AVSEEK_FLAG_BYTE);
}

}  // namespace tamro::audio
