// SPDX-License-Identifier: GPL-3.0-or-later
// Every sound format but MPEG audio and block-aligned WAV/AU, through FFmpeg's demuxer for the format: frames
// placed by their time stamps, seeks that go further back until they land before the sample wanted.
#pragma once

#include "platform/audio/decoded_stream.h"
#include "platform/audio/ffmpeg_codec.h"
#include "platform/audio/ffmpeg_file_io.h"

#include <cstdint>
#include <memory>

namespace tamro::audio {

namespace ffmpeg {

// A time stamp that a damaged file cannot push into overflowing the arithmetic on it.
inline bool plausible(std::int64_t timestamp)
{
    constexpr std::int64_t limit = std::int64_t{1} << 52;
    return timestamp != AV_NOPTS_VALUE && timestamp > -limit && timestamp < limit;
}

}  // namespace ffmpeg

class DemuxedDecoder final : public DecodedStream {
public:
    struct Opened {
        ffmpeg::FormatContextPtr format;  // reading through the FileIo
        int stream = -1;
        int sampleRate = 0;
        std::int64_t length = 0;  // samples
        std::int64_t origin = 0;  // the stream's time stamp of the track's first sample
        std::int64_t dataStart = 0;
    };

    // Decodes the first frame already. Throws Failure as PacketDecoder does.
    DemuxedDecoder(std::unique_ptr<ffmpeg::FileIo> io, Opened opened, const OutputFormat& out);

protected:
    std::optional<Decoded> nextFrame() override;
    void restartAt(std::int64_t sample) override;

private:
    bool receive();
    void seekBefore(std::int64_t sample, int attempt);

    std::unique_ptr<ffmpeg::FileIo> io_;
    ffmpeg::FormatContextPtr format_;
    int stream_;
    std::int64_t origin_;  // the time stamp that labels the first frame decoded
    std::int64_t start_;   // the stream's own start time
    std::int64_t dataStart_;
    int rate_;
    ffmpeg::PacketDecoder decoder_;
    bool needTimestamp_ = true;
    bool haveFirst_ = false;
    bool anchoring_ = false;
    std::int64_t expected_ = 0;
    std::int64_t seekSample_ = 0;
    int seekAttempt_ = 0;
    std::int64_t frameLength_ = 0;  // when every frame has this many samples
};

}  // namespace tamro::audio
