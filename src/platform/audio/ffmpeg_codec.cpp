// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/ffmpeg_codec.h"

#include "base/failure.h"

#include <cstdio>
#include <string>

namespace tamro::audio::ffmpeg {

CodecContextPtr openCodec(const SoundFile& file, const AVCodecParameters& parameters, AVRational timeBase)
{
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (!codec && parameters.codec_id == AV_CODEC_ID_NONE) {
        // FFmpeg names an encoding it does not know "none": say what the header asked for instead.
        std::string asked;
        if (parameters.codec_tag != 0) {
            char tag[32];
            std::snprintf(tag, sizeof tag, "format tag 0x%04X, ", parameters.codec_tag);
            asked = tag;
        }
        asked += std::to_string(parameters.bits_per_coded_sample) + " bits per sample";
        throw Failure(file.refusal("its sound is stored in an encoding no decoder here knows (" + asked + ")"));
    }
    if (!codec)
        throw Failure(file.refusal(std::string("no decoder here plays its ") + avcodec_get_name(parameters.codec_id) + " sound"));
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0)
        throw Failure(file.refusal("out of memory"));
    context->thread_count = 1;
    context->pkt_timebase = timeBase;
    if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0)
        throw Failure(file.refusal(std::string("its ") + avcodec_get_name(parameters.codec_id) +
                                   " sound cannot be decoded (" + errorText(error) + ")"));
    return context;
}

PacketDecoder::PacketDecoder(const SoundFile& file, const AVCodecParameters& parameters, AVRational timeBase, int stream)
    : codec_(openCodec(file, parameters, timeBase)), frame_(av_frame_alloc()), packet_(av_packet_alloc()), stream_(stream)
{
    if (!frame_ || !packet_)
        throw Failure(file.refusal("out of memory"));
}

void PacketDecoder::flush()
{
    avcodec_flush_buffers(codec_.get());
    draining_ = false;
}

}  // namespace tamro::audio::ffmpeg
