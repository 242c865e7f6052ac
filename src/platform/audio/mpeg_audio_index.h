// SPDX-License-Identifier: GPL-3.0-or-later
// The exact frame layout of an MPEG audio (MP1/MP2/MP3) file, found from the frame headers without decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace tamro::audio {

struct MpegFrame {
    std::int64_t offset = 0;
    std::uint32_t size = 0;
};

struct MpegAudioIndex {
    // Frames kept in an index at most: about 60 hours at 44.1 kHz, 128 MiB. Past them a large file plays on,
    // its frames found as they come.
    static constexpr std::size_t maxFrames = std::size_t{1} << 23;

    int layer = 3;             // 1, 2 or 3
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    std::vector<MpegFrame> frames;   // the audio frames in file order; a Xing/Info/VBRI frame is not one of them
    std::int64_t skipStart = 0;      // decoded samples before the first one that belongs to the track
    std::int64_t lengthSamples = 0;  // samples that belong to the track, after skipStart

    // A large file is walked only so far when it is opened. Then `frames` holds the first frames, and
    // `frameCount` is what a Xing/Info/VBRI header says where it agrees with the size, or else what the bytes up
    // to where the frames stop give at the bit rate: exact for a constant one (its last frames are walked to
    // count them), at the walked frames' mean for a variable one. The rest is found by MpegFrameWalker as it
    // plays; a seek into it lands where the mean bit rate puts the frame.
    bool complete = true;
    std::int64_t frameCount = 0;   // frames in the file: frames.size() when complete
    std::int64_t audioEnd = 0;     // where the frames end, before any tags at the end of the file
    double bytesPerFrame = 0;      // the frames' mean size, from which a frame beyond the walked ones is located
    std::int64_t junkBudget = 0;   // bytes that may still be searched for a frame after junk
};

// Reads up to out.size() bytes at an offset; returns how many were read.
using ReadAt = std::function<std::size_t(std::int64_t offset, std::span<std::uint8_t> out)>;

// Bytes of the file walked frame by frame on opening: 6 to 45 ms on the development machine, the more the
// smaller the frames. Every file up to this size keeps its exact length and seeks.
constexpr std::int64_t defaultWalkLimit = std::int64_t{64} << 20;

// Walks the frame headers from the first frame to the last, skipping ID3v2 tags at the start, ID3v1 and APE
// tags at the end, and resynchronising on anything that is not a frame. The length counts every frame
// (exact also for VBR files without a Xing or VBRI header); where a LAME tag gives the encoder's delay and
// padding, they and the decoder's own delay are left out of it. Empty when no run of frames is found.
// Frames that start at or beyond `walkLimit` are not walked: see MpegAudioIndex::complete.
std::optional<MpegAudioIndex> indexMpegAudio(std::int64_t fileSize, const ReadAt& read,
                                             std::int64_t walkLimit = defaultWalkLimit);

// Hands out the frames of an index in order, from any frame number on. The walked ones come from the index;
// past them, each is found from its header (a bounded search after junk), and the index grows with the
// frames found while it goes on from the last walked one. A restart costs no reading at all: the search for
// a frame located by the average bit rate is done by next(), a frame at a time.
class MpegFrameWalker {
public:
    struct Found {
        std::int64_t number = 0;  // counted from the first audio frame (exact in the walked part, else estimated)
        MpegFrame frame;
    };

    MpegFrameWalker(MpegAudioIndex& index, ReadAt read);
    ~MpegFrameWalker();
    MpegFrameWalker(const MpegFrameWalker&) = delete;
    MpegFrameWalker& operator=(const MpegFrameWalker&) = delete;

    void restart(std::int64_t number);
    std::optional<Found> next();

private:
    struct State;
    MpegAudioIndex& index_;
    ReadAt read_;
    std::unique_ptr<State> state_;
};

}  // namespace tamro::audio
