// SPDX-License-Identifier: GPL-3.0-or-later
// WAV and AU in fixed-size blocks (PCM, ADPCM), read block by block straight from the file rather than through
// the demuxer: FFmpeg seeks into the middle of ADPCM blocks, and probes 16-bit PCM on its first read (about
// 12 ms). A seek lands on the block that holds the sample.
#pragma once

#include "platform/audio/decoded_stream.h"
#include "platform/audio/ffmpeg_codec.h"
#include "platform/audio/sound_file.h"

#include <cstdint>

namespace tamro::audio {

class PcmBlockDecoder final : public DecodedStream {
public:
    struct Blocks {
        int sampleRate = 0;
        std::int64_t length = 0;  // samples
        int align = 0;            // bytes in a block
        std::int64_t samplesPerBlock = 0;
        std::int64_t dataStart = 0;  // where the first block starts
        std::int64_t dataEnd = 0;    // where the blocks that hold the length end
    };

    // `parameters` and `timeBase` are the demuxer's for `stream`. Throws Failure as PacketDecoder does.
    PcmBlockDecoder(SoundFile file, const AVCodecParameters& parameters, AVRational timeBase, int stream, Blocks blocks,
                    const OutputFormat& out);

protected:
    std::optional<Decoded> nextFrame() override;
    void restartAt(std::int64_t sample) override;

private:
    int readBlocks(AVPacket& packet);

    SoundFile file_;
    int stream_;
    Blocks blocks_;
    ffmpeg::PacketDecoder decoder_;
    std::int64_t nextBlock_;
    std::int64_t expected_ = 0;  // the next frame's first sample
};

}  // namespace tamro::audio
