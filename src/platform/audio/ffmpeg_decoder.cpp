// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a sound file with FFmpeg: which decoder reads it, and what the container says of its length.
#include "platform/audio/ffmpeg_decoder.h"

#include "base/failure.h"
#include "platform/audio/demuxed_decoder.h"
#include "platform/audio/ffmpeg_file_io.h"
#include "platform/audio/ffmpeg_handles.h"
#include "platform/audio/ffmpeg_input_rules.h"
#include "platform/audio/mpeg_audio_decoder.h"
#include "platform/audio/mpeg_audio_index.h"
#include "platform/audio/pcm_block_decoder.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace tamro::audio {

namespace {

using namespace ffmpeg;

// The stream's length in samples, or -1 when the container does not say.
std::int64_t lengthFromContainer(const AVFormatContext& format, const AVStream& stream, int rate)
{
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
        return av_rescale_q_rnd(stream.duration, stream.time_base, AVRational{1, rate},
                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    if (format.duration != AV_NOPTS_VALUE && format.duration > 0)
        return av_rescale_q_rnd(format.duration, AVRational{1, AV_TIME_BASE}, AVRational{1, rate},
                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    return -1;
}

// Samples in each block of a block-aligned WAV or AU, 0 when its blocks do not hold a whole number.
std::int64_t samplesPerBlock(const AVCodecParameters& codec)
{
    if (codec.codec_id == AV_CODEC_ID_ADPCM_MS || codec.codec_id == AV_CODEC_ID_ADPCM_IMA_WAV)
        return codec.extradata_size >= 2 ? codec.extradata[0] | (codec.extradata[1] << 8) : 0;  // wSamplesPerBlock
    const int bits = av_get_exact_bits_per_sample(codec.codec_id);
    const int channels = codec.ch_layout.nb_channels;
    if (bits > 0 && channels > 0 && codec.block_align * 8 % (bits * channels) == 0)
        return codec.block_align * 8 / (bits * channels);
    return 0;
}

std::unique_ptr<Decoder> openDemuxed(std::unique_ptr<FileIo> io, const AVInputFormat* input, const OutputFormat& out)
{
    const SoundFile& file = io->file();
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        throw Failure(file.refusal("out of memory"));
    raw->pb = io->get();
    raw->io_open = &refuseNestedOpen;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", soundFormatList, 0);
    av_dict_set(&options, "protocol_whitelist", "none", 0);
    const int opened = avformat_open_input(&raw, file.path().c_str(), input, &options);
    av_dict_free(&options);
    if (opened < 0)  // raw has been freed
        throw Failure(file.refusal("it is damaged or not a sound file (" + errorText(opened) + ")"));
    DemuxedDecoder::Opened result;
    result.format.reset(raw);
    AVFormatContext& format = *raw;
    const std::int64_t dataStart = avio_tell(format.pb);

    int stream = av_find_best_stream(&format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    // Reading ahead to fill in what the header leaves out costs a decode of the first packets: only when needed.
    auto incomplete = [&] {
        if (stream < 0)
            return true;
        const AVStream& s = *format.streams[stream];
        return s.codecpar->sample_rate <= 0 || s.codecpar->ch_layout.nb_channels <= 0 ||
               lengthFromContainer(format, s, s.codecpar->sample_rate) < 0;
    };
    if (incomplete()) {
        avformat_find_stream_info(&format, nullptr);
        stream = av_find_best_stream(&format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (stream < 0)
        throw Failure(file.refusal("it has no audio stream"));
    const AVStream& audio = *format.streams[stream];
    const AVCodecParameters& codec = *audio.codecpar;
    if (codec.sample_rate <= 0 || codec.ch_layout.nb_channels <= 0)
        throw Failure(file.refusal("its sound has no valid sample rate or channel count"));
    if (codec.sample_rate < Resampler::minInputRate)
        throw Failure(file.refusal("its sample rate of " + std::to_string(codec.sample_rate) + " Hz is below any real sound's (at least " +
                                   std::to_string(Resampler::minInputRate) + " Hz)"));
    if (codec.sample_rate > Resampler::maxInputRate)
        throw Failure(file.refusal("its sample rate of " + std::to_string(codec.sample_rate) + " Hz is beyond any sound's (at most " +
                                   std::to_string(Resampler::maxInputRate) + " Hz)"));
    for (unsigned i = 0; i < format.nb_streams; ++i)
        format.streams[i]->discard = static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    std::int64_t length = lengthFromContainer(format, audio, codec.sample_rate);
    if (length < 0)
        throw Failure(file.refusal("its length cannot be determined"));
    // Plain PCM: no more samples than the file holds, whatever a damaged header claims.
    if (av_get_exact_bits_per_sample(codec.codec_id) > 0 && codec.block_align > 0 && dataStart >= 0 && dataStart <= file.size())
        length = std::min(length, (file.size() - dataStart) / codec.block_align);

    result.stream = stream;
    result.sampleRate = codec.sample_rate;
    result.length = length;
    result.origin = plausible(audio.start_time) ? audio.start_time : 0;
    result.dataStart = std::max<std::int64_t>(dataStart, 0);
    const std::string_view container = format.iformat->name;
    if ((container == "wav" || container == "w64" || container == "au") && dataStart >= 0 && codec.block_align > 0) {
        const std::int64_t perBlock = samplesPerBlock(codec);
        if (perBlock > 0) {
            PcmBlockDecoder::Blocks blocks;
            blocks.sampleRate = codec.sample_rate;
            blocks.length = length;
            blocks.align = codec.block_align;
            blocks.samplesPerBlock = perBlock;
            blocks.dataStart = result.dataStart;
            const std::int64_t count = (length + perBlock - 1) / perBlock;
            blocks.dataEnd = std::min(file.size(), blocks.dataStart + count * codec.block_align);
            // The demuxer is not needed once the codec is open: the blocks are read from the file itself.
            return std::make_unique<PcmBlockDecoder>(std::move(io->file()), codec, audio.time_base, stream, blocks, out);
        }
    }
    return std::make_unique<DemuxedDecoder>(std::move(io), std::move(result), out);
}

}  // namespace

std::unique_ptr<Decoder> openFfmpegDecoder(SoundFile file, const OutputFormat& format)
{
    if (format.sampleRate < 1000 || format.sampleRate > 768000 || format.channels < 1 || format.channels > 64)
        throw Failure(file.refusal("the output format is not valid"));
    setUpFfmpeg();

    auto io = std::make_unique<FileIo>(std::move(file));
    const SoundFile& opened = io->file();
    const AVInputFormat* input = nullptr;
    if (av_probe_input_buffer2(io->get(), &input, opened.path().c_str(), nullptr, 0, 0) < 0 || !input)
        throw Failure(opened.refusal("no decoder understands this file"));
    if (!isSoundFormat(*input))
        throw Failure(opened.refusal(std::string("it is not a sound file but ") + (input->long_name ? input->long_name : input->name)));

    if (std::string_view(input->name) == "mp3") {
        auto index = indexMpegAudio(opened.size(), [&opened](std::int64_t offset, std::span<std::uint8_t> out) {
            return opened.readAt(offset, out);
        });
        if (!index)
            throw Failure(opened.refusal("no decoder understands this file (it holds no MPEG audio frames)"));
        return std::make_unique<MpegAudioDecoder>(std::move(io->file()), std::move(*index), format);
    }
    return openDemuxed(std::move(io), input, format);
}

}  // namespace tamro::audio
