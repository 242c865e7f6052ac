// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/pcm_block_decoder.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace tamro::audio {

PcmBlockDecoder::PcmBlockDecoder(SoundFile file, const AVCodecParameters& parameters, AVRational timeBase, int stream,
                                 Blocks blocks, const OutputFormat& out)
    : DecodedStream(out, blocks.sampleRate, blocks.length),
      file_(std::move(file)),
      stream_(stream),
      blocks_(blocks),
      decoder_(file_, parameters, timeBase, stream),
      nextBlock_(blocks.dataStart)
{
}

std::optional<DecodedStream::Decoded> PcmBlockDecoder::nextFrame()
{
    if (!decoder_.receive([this](AVPacket& packet) { return readBlocks(packet); }))
        return std::nullopt;
    const AVFrame& frame = decoder_.frame();
    const std::int64_t position = expected_;
    expected_ = position + frame.nb_samples;
    return Decoded{&frame, position};
}

void PcmBlockDecoder::restartAt(std::int64_t sample)
{
    decoder_.flush();
    const std::int64_t block = sample / blocks_.samplesPerBlock;
    nextBlock_ = blocks_.dataStart + block * blocks_.align;
    expected_ = block * blocks_.samplesPerBlock;
}

// The next few blocks straight from the file, as one packet.
int PcmBlockDecoder::readBlocks(AVPacket& packet)
{
    const int align = blocks_.align;
    const std::int64_t blocks = std::min<std::int64_t>((blocks_.dataEnd - nextBlock_) / align, std::max(1, 16384 / align));
    if (blocks <= 0 || av_new_packet(&packet, static_cast<int>(blocks * align)) < 0)
        return AVERROR_EOF;
    const std::size_t got = file_.readAt(nextBlock_, {packet.data, static_cast<std::size_t>(packet.size)});
    const int whole = static_cast<int>(got / static_cast<std::size_t>(align)) * align;
    if (whole == 0) {
        av_packet_unref(&packet);
        return AVERROR_EOF;
    }
    av_shrink_packet(&packet, whole);
    packet.stream_index = stream_;
    nextBlock_ += whole;
    return 0;
}

}  // namespace tamro::audio
