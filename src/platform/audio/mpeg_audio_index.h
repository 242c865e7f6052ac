// The exact frame layout of an MPEG audio (MP1/MP2/MP3) file, found from the frame headers without decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace tamro::audio {

struct MpegFrame {
    std::int64_t offset = 0;
    std::uint32_t size = 0;
};

struct MpegAudioIndex {
    int layer = 3;             // 1, 2 or 3
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    std::vector<MpegFrame> frames;   // the audio frames in file order; a Xing/Info/VBRI frame is not one of them
    std::int64_t skipStart = 0;      // decoded samples before the first one that belongs to the track
    std::int64_t lengthSamples = 0;  // samples that belong to the track, after skipStart
};

// Reads up to out.size() bytes at an offset; returns how many were read.
using ReadAt = std::function<std::size_t(std::int64_t offset, std::span<std::uint8_t> out)>;

// Walks the frame headers from the first frame to the last, skipping ID3v2 tags at the start, ID3v1 and APE
// tags at the end, and resynchronising on anything that is not a frame. The length counts every frame
// (exact also for VBR files without a Xing or VBRI header); where a LAME tag gives the encoder's delay and
// padding, they and the decoder's own delay are left out of it. Empty when no run of frames is found.
std::optional<MpegAudioIndex> indexMpegAudio(std::int64_t fileSize, const ReadAt& read);

}  // namespace tamro::audio
