// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/ffmpeg_decoder.h"

#include "base/failure.h"
#include "platform/audio/decoded_stream.h"
#include "platform/audio/ffmpeg_handles.h"
#include "platform/audio/mpeg_audio_index.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

namespace tamro::audio {

namespace {

using namespace ffmpeg;

// The demuxers a sound file may be read with. Playlists, concatenation, HLS/DASH and image or device
// demuxers are not among them: they open further files or URLs named inside the file.
constexpr std::array<std::string_view, 22> soundFormats{
    "mp3", "wav", "w64", "au", "asf", "flac", "ogg", "aiff", "caf", "aac", "ac3", "eac3",
    "wv", "ape", "tta", "mpc", "mpc8", "mov", "matroska", "voc", "amr", "dts"};
constexpr const char* soundFormatList = "mp3,wav,w64,au,asf,flac,ogg,aiff,caf,aac,ac3,eac3,wv,ape,tta,mpc,mpc8,mov,matroska,voc,amr,dts";

bool isSoundFormat(const AVInputFormat& format)
{
    std::string_view names = format.name;
    while (!names.empty()) {
        const auto comma = names.find(',');
        const auto name = names.substr(0, comma);
        if (std::find(soundFormats.begin(), soundFormats.end(), name) != soundFormats.end())
            return true;
        names = comma == std::string_view::npos ? std::string_view{} : names.substr(comma + 1);
    }
    return false;
}

constexpr std::size_t maxFfmpegBlock = std::size_t{256} << 20;

void setUpFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Corrupt files make FFmpeg log on every frame; the player reports failures itself.
        av_log_set_level(AV_LOG_FATAL);
        // A chunk size in a damaged header has FFmpeg allocate and clear as much as it says (a 1 KB WAV
        // asking for 1.7 GB). No sound file needs a single block of more than this: cover art is the largest.
        av_max_alloc(maxFfmpegBlock);
    });
}

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

// The file as FFmpeg reads it: only through these callbacks, on the descriptor already open.
class FileIo {
public:
    explicit FileIo(SoundFile file) : file_(std::move(file))
    {
        constexpr int bufferSize = 64 * 1024;
        auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
        if (!buffer)
            throw Failure(file_.refusal("out of memory"));
        io_.reset(avio_alloc_context(buffer, bufferSize, 0, this, &FileIo::read, nullptr, &FileIo::seek));
        if (!io_) {
            av_free(buffer);
            throw Failure(file_.refusal("out of memory"));
        }
    }
    AVIOContext* get() const { return io_.get(); }
    SoundFile& file() { return file_; }

private:
    static int read(void* opaque, std::uint8_t* buffer, int size)
    {
        auto& self = *static_cast<FileIo*>(opaque);
        const std::size_t n = self.file_.readAt(self.position_, {buffer, static_cast<std::size_t>(size)});
        if (n == 0)
            return AVERROR_EOF;
        self.position_ += static_cast<std::int64_t>(n);
        return static_cast<int>(n);
    }
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence)
    {
        auto& self = *static_cast<FileIo*>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return self.file_.size();
        case SEEK_SET:
            break;
        case SEEK_CUR:
            if (__builtin_add_overflow(offset, self.position_, &offset))
                return AVERROR(EINVAL);
            break;
        case SEEK_END:
            if (__builtin_add_overflow(offset, self.file_.size(), &offset))
                return AVERROR(EINVAL);
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        self.position_ = offset;
        return offset;
    }

    SoundFile file_;
    std::int64_t position_ = 0;
    IoContextPtr io_;
};

// A time stamp that a damaged file cannot push into overflowing the arithmetic on it.
bool plausible(std::int64_t timestamp)
{
    constexpr std::int64_t limit = std::int64_t{1} << 52;
    return timestamp != AV_NOPTS_VALUE && timestamp > -limit && timestamp < limit;
}

int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

// MP1/MP2/MP3, framed from the index: the length is exact and a seek lands on the sample (in a large file, past
// the frames walked on opening, the length is as the header or the bit rate gives it, and a seek lands where
// the bit rate puts the frame).
class MpegAudioDecoder final : public DecodedStream {
public:
    MpegAudioDecoder(SoundFile file, MpegAudioIndex index, const OutputFormat& out)
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

protected:
    std::optional<Decoded> nextFrame() override
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

    void restartAt(std::int64_t sample) override
    {
        // Layer III frames borrow bits from up to a few frames before them, and the filter bank needs the frame
        // before that: decode a few ahead of the target and discard them.
        const std::int64_t preroll = index_.layer == 3 ? 10 : 2;
        const std::int64_t frame = (sample + index_.skipStart) / index_.samplesPerFrame;
        walker_.restart(std::clamp<std::int64_t>(frame - preroll, 0, index_.frameCount));
        ended_ = false;
        avcodec_flush_buffers(codec_.get());
    }

private:
    SoundFile file_;
    MpegAudioIndex index_;
    MpegFrameWalker walker_;
    CodecContextPtr codec_;
    FramePtr frame_;
    FramePtr silence_;
    PacketPtr packet_;
    bool ended_ = false;  // the file was found cut short: no frame after this until a seek
};

// Everything else, through FFmpeg's demuxer for the format.
class DemuxedDecoder final : public DecodedStream {
public:
    struct Opened {
        FormatContextPtr format;
        int stream = -1;
        int sampleRate = 0;
        std::int64_t length = 0;  // samples
        std::int64_t origin = 0;  // the stream's time stamp of the track's first sample
        std::int64_t dataStart = 0;
        // WAV and AU in fixed-size blocks (PCM, ADPCM) are read block by block here, not through the demuxer:
        // FFmpeg seeks into the middle of ADPCM blocks, and probes 16-bit PCM on its first read (about 12 ms).
        int blockAlign = 0;
        std::int64_t samplesPerBlock = 0;
        std::int64_t dataEnd = 0;
    };

    DemuxedDecoder(std::unique_ptr<FileIo> io, Opened opened, const OutputFormat& out)
        : DecodedStream(out, opened.sampleRate, opened.length),
          io_(std::move(io)),
          format_(std::move(opened.format)),
          stream_(opened.stream),
          origin_(opened.origin),
          start_(opened.origin),
          dataStart_(opened.dataStart),
          blockAlign_(opened.blockAlign),
          samplesPerBlock_(opened.samplesPerBlock),
          dataEnd_(opened.dataEnd),
          nextBlock_(opened.dataStart)
    {
        AVStream* stream = format_->streams[stream_];
        codec_ = openCodec(io_->file(), *stream->codecpar, stream->time_base);
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_)
            throw Failure(io_->file().refusal("out of memory"));
        rate_ = opened.sampleRate;
        // Decoders that hold frames back label their first output with a later packet's time stamp: the first
        // frame decoded is the track's start, and the labels are counted from its label.
        if (samplesPerBlock_ == 0 && receive()) {
            haveFirst_ = true;
            if (plausible(frame_->best_effort_timestamp))
                origin_ = frame_->best_effort_timestamp;
            const AVCodecID id = stream->codecpar->codec_id;
            if ((id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2) && frame_->nb_samples > 0)
                frameLength_ = frame_->nb_samples;
        }
    }

protected:
    std::optional<Decoded> nextFrame() override
    {
        if (haveFirst_) {
            haveFirst_ = false;
            needTimestamp_ = false;
            expected_ = frame_->nb_samples;
            return Decoded{frame_.get(), 0};
        }
        while (receive()) {
            std::int64_t position = expected_;
            // Until the sample sought is reached, each frame's own stamp places it: some demuxers (Ogg) stamp the
            // first packets after a seek wrongly and correct themselves a page later. From there on, frames follow
            // each other without gaps.
            if (anchoring_ && plausible(frame_->best_effort_timestamp)) {
                position = av_rescale_q(frame_->best_effort_timestamp - origin_, format_->streams[stream_]->time_base, AVRational{1, rate_});
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
            if (position + frame_->nb_samples > seekSample_)
                anchoring_ = false;
            expected_ = position + frame_->nb_samples;
            return Decoded{frame_.get(), position};
        }
        return std::nullopt;
    }

    void restartAt(std::int64_t sample) override
    {
        haveFirst_ = false;
        if (samplesPerBlock_ > 0) {
            avcodec_flush_buffers(codec_.get());
            draining_ = false;
            needTimestamp_ = false;
            anchoring_ = false;
            const std::int64_t block = sample / samplesPerBlock_;
            nextBlock_ = dataStart_ + block * blockAlign_;
            expected_ = block * samplesPerBlock_;
            return;
        }
        seekSample_ = sample;
        seekAttempt_ = 0;
        seekBefore(sample, 0);
    }

private:
    // The next decoded frame into frame_; false at the end or at an error it cannot get past.
    bool receive()
    {
        // Bounded, so that a file which keeps failing in the same place ends instead of spinning.
        for (int failures = 0; failures < 1000;) {
            const int received = avcodec_receive_frame(codec_.get(), frame_.get());
            if (received == 0)
                return true;
            if (received != AVERROR(EAGAIN) || draining_)
                return false;
            const int read = samplesPerBlock_ > 0 ? readBlocks() : av_read_frame(format_.get(), packet_.get());
            if (read < 0) {
                if (read != AVERROR_EOF && ++failures < 32)
                    continue;
                draining_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                continue;
            }
            if (packet_->stream_index == stream_ && avcodec_send_packet(codec_.get(), packet_.get()) < 0)
                ++failures;
            av_packet_unref(packet_.get());
        }
        return false;
    }

    // The next few blocks straight from the file, as one packet.
    int readBlocks()
    {
        const std::int64_t blocks = std::min<std::int64_t>((dataEnd_ - nextBlock_) / blockAlign_, std::max(1, 16384 / blockAlign_));
        if (blocks <= 0 || av_new_packet(packet_.get(), static_cast<int>(blocks * blockAlign_)) < 0)
            return AVERROR_EOF;
        const std::size_t got = io_->file().readAt(nextBlock_, {packet_->data, static_cast<std::size_t>(packet_->size)});
        const int whole = static_cast<int>(got / static_cast<std::size_t>(blockAlign_)) * blockAlign_;
        if (whole == 0) {
            av_packet_unref(packet_.get());
            return AVERROR_EOF;
        }
        av_shrink_packet(packet_.get(), whole);
        packet_->stream_index = stream_;
        nextBlock_ += whole;
        return 0;
    }

    // Seeks to a packet well before `sample`, so that the decoder has settled by then: further back on each
    // attempt, from the start of the stream on the last.
    void seekBefore(std::int64_t sample, int attempt)
    {
        avcodec_flush_buffers(codec_.get());
        draining_ = false;
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

private:
    std::unique_ptr<FileIo> io_;
    FormatContextPtr format_;
    int stream_;
    std::int64_t origin_;  // the time stamp that labels the first frame decoded
    std::int64_t start_;   // the stream's own start time
    std::int64_t dataStart_;
    int blockAlign_;
    std::int64_t samplesPerBlock_;
    std::int64_t dataEnd_;
    std::int64_t nextBlock_;
    int rate_ = 0;
    CodecContextPtr codec_;
    FramePtr frame_;
    PacketPtr packet_;
    bool needTimestamp_ = true;
    bool draining_ = false;
    bool haveFirst_ = false;
    bool anchoring_ = false;
    std::int64_t expected_ = 0;
    std::int64_t seekSample_ = 0;
    int seekAttempt_ = 0;
    std::int64_t frameLength_ = 0;  // when every frame has this many samples
};

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
        const int bits = av_get_exact_bits_per_sample(codec.codec_id);
        const int channels = codec.ch_layout.nb_channels;
        std::int64_t perBlock = 0;
        if (codec.codec_id == AV_CODEC_ID_ADPCM_MS || codec.codec_id == AV_CODEC_ID_ADPCM_IMA_WAV) {
            if (codec.extradata_size >= 2)
                perBlock = codec.extradata[0] | (codec.extradata[1] << 8);  // wSamplesPerBlock
        } else if (bits > 0 && channels > 0 && codec.block_align * 8 % (bits * channels) == 0) {
            perBlock = codec.block_align * 8 / (bits * channels);
        }
        if (perBlock > 0) {
            result.blockAlign = codec.block_align;
            result.samplesPerBlock = perBlock;
            const std::int64_t blocks = (length + perBlock - 1) / perBlock;
            result.dataEnd = std::min(file.size(), result.dataStart + blocks * codec.block_align);
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
