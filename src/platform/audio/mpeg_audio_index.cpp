// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_audio_index.h"

#include "platform/audio/mpeg_file_window.h"
#include "platform/audio/mpeg_frame_header.h"
#include "platform/audio/mpeg_frame_search.h"
#include "platform/audio/mpeg_length_estimate.h"
#include "platform/audio/mpeg_tags.h"
#include "platform/audio/mpeg_vbr_header.h"

#include <algorithm>

namespace tamro::audio {

using namespace mpeg;

namespace {

// What every MP3 decoder adds in front of the signal (the synthesis filter bank), on top of the encoder's delay.
constexpr std::int64_t decoderDelay = 529;

}  // namespace

std::optional<MpegAudioIndex> indexMpegAudio(std::int64_t fileSize, const ReadAt& read, std::int64_t walkLimit)
{
    FileWindow w(fileSize, read);
    const std::int64_t end = endBeforeTags(w, fileSize);
    std::int64_t offset = skipId3v2(w, 0);

    // The first frame: the first header followed by a matching one.
    std::int64_t junkBudget = maxJunkBytes;
    std::optional<FrameHeader> first;
    offset = nextConfirmedFrame(w, offset, end, nullptr, junkBudget, &first);
    if (!first)
        return std::nullopt;

    MpegAudioIndex index;
    index.layer = first->layer;
    index.sampleRate = first->sampleRate;
    index.channels = first->mono ? 1 : 2;
    index.samplesPerFrame = first->samplesPerFrame;
    index.audioEnd = end;
    // Grown as frames are found: a file padded with gigabytes of zeros would otherwise reserve for them.
    index.frames.reserve(static_cast<std::size_t>(std::min<std::int64_t>((end - offset) / first->size + 16, 1 << 16)));

    Walked walked;
    walked.audioStart = offset;
    if (isTagFrame(w, offset, *first, walked.gapless))
        offset += first->size;

    int bitrateIndex = 0;  // of every audio frame walked, 0 once they differ
    while (offset + 4 <= end && index.frames.size() < MpegAudioIndex::maxFrames) {
        if (offset >= walkLimit) {
            index.complete = false;
            break;
        }
        const std::uint8_t* p = w.at(offset, 4);
        auto h = p ? parseHeader(p) : std::nullopt;
        if (h && sameStream(*first, *h) && offset + h->size <= end) {
            if (index.frames.empty()) {
                walked.audio = *h;
                bitrateIndex = h->bitrateIndex;
            } else if (bitrateIndex != h->bitrateIndex) {
                bitrateIndex = 0;
            }
            index.frames.push_back({offset, h->size});
            offset += h->size;
            continue;
        }
        // Not a frame where one should start: look for the next confirmed one, within what junk may cost.
        if (junkBudget <= 0)
            break;
        offset = nextConfirmedFrame(w, offset + 1, end, &*first, junkBudget);
    }
    if (index.frames.empty())
        return std::nullopt;
    index.junkBudget = junkBudget;
    index.frameCount = static_cast<std::int64_t>(index.frames.size());
    if (!index.complete) {
        walked.constantBitrate = bitrateIndex != 0;
        estimateRest(index, w, read, walked);
    }

    const Gapless& gapless = walked.gapless;
    const std::int64_t spf = index.samplesPerFrame;
    const std::int64_t total = index.frameCount * spf;
    if (gapless.known) {
        // A large file's tag counts only where it fits the size.
        const bool trusted = index.complete || index.frameCount == gapless.frames;
        const std::int64_t frames = gapless.frames > 0 && trusted ? gapless.frames : index.frameCount;
        index.skipStart = std::min(total, gapless.delay + decoderDelay);
        const std::int64_t endSample = std::min(total, frames * spf - gapless.padding + decoderDelay);
        index.lengthSamples = std::max<std::int64_t>(0, endSample - index.skipStart);
    } else {
        index.lengthSamples = total;
    }
    return index;
}

}  // namespace tamro::audio
