// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/mpeg_length_estimate.h"

#include "platform/audio/mpeg_frame_search.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace tamro::audio::mpeg {

namespace {

// Bytes searched for a frame at each step of the search for where the frames of a large file stop.
constexpr std::int64_t probeBytes = 64 * 1024;

// Frames before the end from which the end of a large file is walked to count its frames exactly.
constexpr std::int64_t tailFrames = 8;

// Whether a header's count of bytes fits the size of the audio and its count of frames the bytes after the
// `walked` ones, at a mean frame size not far from theirs: a header left over from an edit or a join does not.
bool headerFits(const Gapless& g, std::int64_t audioBytes, std::int64_t walked, double walkedMean, std::int64_t restBytes,
                const FrameHeader& h)
{
    if (g.headerFrames <= walked || g.headerBytes <= 0)
        return false;
    if (std::abs(g.headerBytes - audioBytes) > audioBytes / 100)
        return false;
    const auto [smallest, largest] = frameSizeRange(h);
    const auto rest = static_cast<double>(g.headerFrames - walked);
    const double restMean = static_cast<double>(restBytes) / rest;
    return restMean >= smallest - 1 && restMean <= largest && restMean >= walkedMean / 1.5 && restMean <= walkedMean * 1.5;
}

// Where the frames after `from` stop. They normally run up to the tags at the end; where the last bytes hold none
// (a file padded with zeros), the stretch between a place with frames and one without is halved until it is
// small, and the frames are walked from there.
std::int64_t framesEnd(FileWindow& w, std::int64_t from, std::int64_t end, const FrameHeader& stream)
{
    const auto framesAt = [&](std::int64_t offset) {
        std::int64_t budget = probeBytes;
        return nextConfirmedFrame(w, offset, end, &stream, budget);
    };
    std::int64_t none = std::max(from, end - probeBytes);
    if (framesAt(none) < end)
        return end;
    std::int64_t some = from;
    while (none - some > probeBytes) {
        const std::int64_t middle = some + (none - some) / 2;
        if (framesAt(middle) < end)
            some = middle;
        else
            none = middle;
    }
    std::int64_t at = framesAt(some);
    while (at + 4 <= end) {
        const std::uint8_t* p = w.at(at, 4);
        const auto h = p ? parseHeader(p) : std::nullopt;
        if (!h || !sameStream(stream, *h) || at + h->size > end)
            break;
        at += h->size;
    }
    return std::min(at, end);
}

}  // namespace

void estimateRest(MpegAudioIndex& index, FileWindow& w, const ReadAt& read, const Walked& walked)
{
    const auto walkedFrames = static_cast<std::int64_t>(index.frames.size());
    const std::int64_t restStart = index.frames.back().offset + index.frames.back().size;
    index.audioEnd = framesEnd(w, restStart, index.audioEnd, walked.audio);
    index.complete = index.audioEnd - restStart < 4;
    if (index.complete)
        return;

    // The rest, from the size: as the header counts it where one fits, at the one bit rate of a constant
    // stream, or at the walked frames' mean.
    const Gapless& gapless = walked.gapless;
    const FrameHeader& audio = walked.audio;
    const std::int64_t restBytes = index.audioEnd - restStart;
    const std::int64_t spf = index.samplesPerFrame;
    const double walkedMean = static_cast<double>(restStart - index.frames.front().offset) / static_cast<double>(walkedFrames);
    const double nominal = static_cast<double>(spf) * audio.bitrate / 8.0 / audio.sampleRate;
    if (headerFits(gapless, index.audioEnd - walked.audioStart, walkedFrames, walkedMean, restBytes, audio)) {
        index.frameCount = gapless.headerFrames;
        index.bytesPerFrame = static_cast<double>(restBytes) / static_cast<double>(gapless.headerFrames - walkedFrames);
        return;
    }
    if (walked.constantBitrate) {
        // An encoder pads frames so that their sizes add up to the nominal bit rate's within a byte: then
        // that mean locates a frame to the byte however far it is. A stream that does not pad has its own.
        const bool padded = std::abs(walkedMean - nominal) * static_cast<double>(walkedFrames) <= 2;
        index.bytesPerFrame = padded ? nominal : walkedMean;
        index.frameCount = walkedFrames + static_cast<std::int64_t>(static_cast<double>(restBytes) / index.bytesPerFrame);
    } else {
        index.bytesPerFrame = walkedMean;
        index.frameCount = walkedFrames + std::llround(static_cast<double>(restBytes) / index.bytesPerFrame);
    }
    // The last frames, walked from where the count puts them, say where the count really ends.
    MpegFrameWalker tail(index, read);
    tail.restart(index.frameCount - tailFrames);
    std::int64_t lastNumber = -1;
    std::optional<MpegFrameWalker::Found> found;
    for (int steps = 0; steps <= 4 * tailFrames && (found = tail.next()); ++steps)
        lastNumber = found->number;
    if (!found && lastNumber >= walkedFrames)
        index.frameCount = lastNumber + 1;
    index.frames.resize(static_cast<std::size_t>(walkedFrames));
}

}  // namespace tamro::audio::mpeg
