// SPDX-License-Identifier: GPL-3.0-or-later
// MP1/MP2/MP3, framed from the index: the length is exact and a seek lands on the sample (in a large file, past
// the frames walked on opening, the length is as the header or the bit rate gives it, and a seek lands where
// the bit rate puts the frame).
#pragma once

#include "platform/audio/decoded_stream.h"
#include "platform/audio/mpeg_audio_index.h"
#include "platform/audio/sound_file.h"

namespace tamro::audio {

class MpegAudioDecoder final : public DecodedStream {
public:
    // Throws Failure when no decoder here plays the layer, or when out of memory.
    MpegAudioDecoder(SoundFile file, MpegAudioIndex index, const OutputFormat& out);

protected:
    std::optional<Decoded> nextFrame() override;
    void restartAt(std::int64_t sample) override;

private:
    SoundFile file_;
    MpegAudioIndex index_;
    MpegFrameWalker walker_;
    ffmpeg::CodecContextPtr codec_;
    ffmpeg::FramePtr frame_;
    ffmpeg::FramePtr silence_;
    ffmpeg::PacketPtr packet_;
    bool ended_ = false;  // the file was found cut short: no frame after this until a seek
};

}  // namespace tamro::audio
