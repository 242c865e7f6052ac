// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include <array>

namespace tamro::audio {

bool Resampler::configureFor(const AVFrame& frame)
{
    AVChannelLayout layout{};
    if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&frame.ch_layout) == 0)
        av_channel_layout_default(&layout, frame.ch_layout.nb_channels);
    else if (av_channel_layout_copy(&layout, &frame.ch_layout) < 0)
        return false;
    if (swr_ && frame.format == inFormat_ && frame.sample_rate == inRate_ && av_channel_layout_compare(&layout, &inLayout_) == 0) {
        av_channel_layout_uninit(&layout);
        return true;
    }
    swr_.reset();
    av_channel_layout_uninit(&inLayout_);
    inLayout_ = layout;
    inFormat_ = frame.format;
    inRate_ = frame.sample_rate;
    if (layout.nb_channels <= 0 || inRate_ < minInputRate || inRate_ > maxInputRate)
        return false;

    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, out_.channels);
    SwrContext* raw = nullptr;
    const int made = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, out_.sampleRate, &inLayout_,
                                         static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    ffmpeg::ResamplerPtr swr(raw);
    if (made < 0)
        return false;
    // A mono file plays at full level on every front speaker, not 3 dB down as FFmpeg's default mix has it.
    if (layout.nb_channels == 1 && out_.channels > 1) {
        std::array<double, 64> matrix{};
        for (int o = 0; o < out_.channels && o < 64; ++o)
            matrix[static_cast<std::size_t>(o)] = o < 2 ? 1.0 : 0.0;
        if (swr_set_matrix(swr.get(), matrix.data(), 1) < 0)
            return false;
    }
    if (swr_init(swr.get()) < 0)
        return false;
    swr_ = std::move(swr);
    return true;
}

void Resampler::run(const std::uint8_t** in, int count, std::vector<float>& out)
{
    const int room = swr_get_out_samples(swr_.get(), count);
    if (room <= 0)
        return;
    const std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(room) * static_cast<std::size_t>(out_.channels));
    auto* dest = reinterpret_cast<std::uint8_t*>(out.data() + before);
    const int made = swr_convert(swr_.get(), &dest, room, in, count);
    out.resize(before + static_cast<std::size_t>(made > 0 ? made : 0) * static_cast<std::size_t>(out_.channels));
}

bool Resampler::convert(const AVFrame& frame, int first, int count, std::vector<float>& out)
{
    if (count <= 0)
        return true;
    if (!configureFor(frame))
        return false;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int bytes = av_get_bytes_per_sample(format);
    const int channels = frame.ch_layout.nb_channels;
    std::vector<const std::uint8_t*> planes;
    if (av_sample_fmt_is_planar(format)) {
        for (int c = 0; c < channels; ++c)
            planes.push_back(frame.extended_data[c] + static_cast<std::ptrdiff_t>(first) * bytes);
    } else {
        planes.push_back(frame.extended_data[0] + static_cast<std::ptrdiff_t>(first) * bytes * channels);
    }
    run(planes.data(), count, out);
    return true;
}

void Resampler::drain(std::vector<float>& out)
{
    if (swr_)
        run(nullptr, 0, out);
}

void Resampler::reset()
{
    swr_.reset();
    inFormat_ = -1;
    inRate_ = 0;
    av_channel_layout_uninit(&inLayout_);
}

}  // namespace tamro::audio
