// SPDX-License-Identifier: GPL-3.0-or-later
// MpegFrameWalker (declared with the index it walks, in mpeg_audio_index.h).
#include "platform/audio/mpeg_audio_index.h"

#include "platform/audio/mpeg_file_window.h"
#include "platform/audio/mpeg_frame_header.h"
#include "platform/audio/mpeg_frame_search.h"

#include <algorithm>
#include <utility>

namespace tamro::audio {

using namespace mpeg;

namespace {

// Bytes searched for a frame located by the average bit rate (after a seek into the part not walked yet).
constexpr std::int64_t locateBytes = std::int64_t{1} << 20;

}  // namespace

struct MpegFrameWalker::State {
    State(std::int64_t fileSize, const ReadAt& read) : window(fileSize, read) {}
    FileWindow window;
    FrameHeader stream;
    std::int64_t number = 0;
    std::int64_t offset = 0;  // where frame `number` starts, or where the search for it starts
    bool walkedOn = true;     // frame `number` follows the walked ones: found, it joins the index
    bool locating = false;    // `offset` is where the average bit rate puts it: search from there
    std::int64_t junkBudget = maxJunkBytes;
};

MpegFrameWalker::MpegFrameWalker(MpegAudioIndex& index, ReadAt read)
    : index_(index), read_(std::move(read)), state_(std::make_unique<State>(index.audioEnd, read_))
{
    if (!index_.frames.empty()) {
        if (const std::uint8_t* p = state_->window.at(index_.frames.front().offset, 4))
            state_->stream = parseHeader(p).value_or(FrameHeader{});
    }
    restart(0);
}

MpegFrameWalker::~MpegFrameWalker() = default;

void MpegFrameWalker::restart(std::int64_t number)
{
    State& s = *state_;
    s.number = std::max<std::int64_t>(number, 0);
    s.junkBudget = index_.junkBudget;
    s.locating = false;
    s.walkedOn = true;
    const auto known = static_cast<std::int64_t>(index_.frames.size());
    if (s.number < known || index_.complete || known == 0)
        return;
    const MpegFrame& last = index_.frames.back();
    const std::int64_t base = last.offset + last.size;
    const std::int64_t beyond = s.number - known;
    s.offset = base;
    if (beyond > 0) {
        // A frame may start a byte before or after where the mean puts it: search from just before.
        const auto estimate = base + static_cast<std::int64_t>(static_cast<double>(beyond) * index_.bytesPerFrame) - 2;
        s.offset = std::clamp(estimate, base, index_.audioEnd);
        s.locating = true;
        s.walkedOn = false;
    }
}

std::optional<MpegFrameWalker::Found> MpegFrameWalker::next()
{
    State& s = *state_;
    auto& frames = index_.frames;
    if (s.number < static_cast<std::int64_t>(frames.size())) {
        const MpegFrame frame = frames[static_cast<std::size_t>(s.number)];
        s.offset = frame.offset + frame.size;
        s.walkedOn = true;
        s.locating = false;
        return Found{s.number++, frame};
    }
    if (index_.complete || s.stream.layer == 0)
        return std::nullopt;
    const std::int64_t end = index_.audioEnd;
    if (s.locating) {
        s.locating = false;
        std::int64_t budget = locateBytes;
        s.offset = nextConfirmedFrame(s.window, s.offset, end, &s.stream, budget);
    }
    for (;;) {
        if (s.offset + 4 > end)
            return std::nullopt;
        const std::uint8_t* p = s.window.at(s.offset, 4);
        auto h = p ? parseHeader(p) : std::nullopt;
        if (h && sameStream(s.stream, *h) && s.offset + h->size <= end) {
            const Found found{s.number, {s.offset, h->size}};
            if (s.walkedOn && s.number == static_cast<std::int64_t>(frames.size()) && frames.size() < MpegAudioIndex::maxFrames)
                frames.push_back(found.frame);
            ++s.number;
            s.offset += h->size;
            return found;
        }
        if (s.junkBudget <= 0)
            return std::nullopt;
        s.offset = nextConfirmedFrame(s.window, s.offset + 1, end, &s.stream, s.junkBudget);
    }
}

}  // namespace tamro::audio
