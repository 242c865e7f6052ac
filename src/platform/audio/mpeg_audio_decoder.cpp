// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_audio_decoder.h"

#include "base/failure.h"
#include "platform/audio/ffmpeg_codec.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <utility>

namespace tamro::audio {

using namespace ffmpeg;

MpegAudioDecoder::MpegAudioDecoder(SoundFile file, MpegAudioIndex index, const OutputFormat& out)
    : DecodedStream(out, index.sampleRate, index.lengthSamples),
      file_(std::move(file)),
      index_(std::move(index)),
      walker_(index_, [this](std::int64_t offset, std::span<std::uint8_t> bytes) { return file_.readAt(offset, bytes); })
{
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    if (!parameters)
        throw Failure(file_.refusal("out of memory"));
    parameters->codec_type = AVMEDIA_TYPE_AUDIO;
    parameters->codec_id = index_.layer == 3 ? AV_CODEC_ID_MP3 : index_.layer == 2 ? AV_CODEC_ID_MP2 : AV_CODEC_ID_MP1;
    parameters->sample_rate = index_.sampleRate;
    av_channel_layout_default(&parameters->ch_layout, index_.channels);
    try {
        codec_ = openCodec(file_, *parameters, AVRational{1, index_.sampleRate});
    } catch (...) {
        avcodec_parameters_free(&parameters);
        throw;
    }
    avcodec_parameters_free(&parameters);
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    silence_.reset(av_frame_alloc());
    if (!frame_ || !packet_ || !silence_)
        throw Failure(file_.refusal("out of memory"));
    // Stands in for a frame that does not decode, so that what follows stays in its place.
    silence_->format = AV_SAMPLE_FMT_FLT;
    silence_->sample_rate = index_.sampleRate;
    silence_->nb_samples = index_.samplesPerFrame;
    av_channel_layout_default(&silence_->ch_layout, index_.channels);
    if (av_frame_get_buffer(silence_.get(), 0) < 0)
        throw Failure(file_.refusal("out of memory"));
    av_samples_set_silence(silence_->extended_data, 0, silence_->nb_samples, index_.channels, AV_SAMPLE_FMT_FLT);
}

std::optional<DecodedStream::Decoded> MpegAudioDecoder::nextFrame()
{
    if (ended_)
        return std::nullopt;
    const auto found = walker_.next();
    if (!found)
        return std::nullopt;
    const std::int64_t position = found->number * index_.samplesPerFrame - index_.skipStart;
    const MpegFrame frame = found->frame;
    av_packet_unref(packet_.get());
    if (av_new_packet(packet_.get(), static_cast<int>(frame.size)) != 0)
        return Decoded{silence_.get(), position};
    // A file cut short since it was opened (still being written, or truncated) ends where its data ends.
    if (file_.readAt(frame.offset, {packet_->data, frame.size}) != frame.size) {
        ended_ = true;
        return std::nullopt;
    }
    if (avcodec_send_packet(codec_.get(), packet_.get()) == 0 && avcodec_receive_frame(codec_.get(), frame_.get()) == 0)
        return Decoded{frame_.get(), position};
    return Decoded{silence_.get(), position};
}

void MpegAudioDecoder::restartAt(std::int64_t sample)
{
    // Layer III frames borrow bits from up to a few frames before them, and the filter bank needs the frame
    // before that: decode a few ahead of the target and discard them.
    const std::int64_t preroll = index_.layer == 3 ? 10 : 2;
    const std::int64_t frame = (sample + index_.skipStart) / index_.samplesPerFrame;
    walker_.restart(std::clamp<std::int64_t>(frame - preroll, 0, index_.frameCount));
    ended_ = false;
    avcodec_flush_buffers(codec_.get());
}

}  // namespace tamro::audio
