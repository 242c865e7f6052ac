// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/early_track.h"

#include <utility>

namespace tamro::audio {

bool EarlyTrack::expect(const std::string& path)
{
    expected_ = path;
    return started() && path_ != path;
}

std::optional<EarlyTrack::Opening> EarlyTrack::toOpen(const TrackDecoding& current, std::uint64_t end,
                                                     std::uint64_t readIndex)
{
    Opening opening{current.id, expected_, end};
    if (opening.path.empty() || (triedFor_ == opening.id && triedPath_ == opening.path) || readIndex >= end)
        return std::nullopt;
    triedFor_ = opening.id;
    triedPath_ = opening.path;
    return opening;
}

bool EarlyTrack::mayStart(const Opening& opening, const TrackDecoding& current, std::uint64_t readIndex) const
{
    return current.id == opening.id && !current.endPosted && expected_ == opening.path && readIndex < opening.end;
}

void EarlyTrack::start(const Opening& opening, std::int64_t length, DecodedTrack before)
{
    path_ = opening.path;
    length_ = length;
    before_ = std::move(before);
    state_ = State::queued;
}

DecodedTrack EarlyTrack::takeBack()
{
    DecodedTrack before = std::move(before_);
    if (state_ == State::previousEnded)
        before.at.endPosted = true;
    state_ = State::none;
    return before;
}

std::optional<EarlyTrack::TakenOver> EarlyTrack::takeOver(const std::string& path)
{
    if (!started() || path_ != path)
        return std::nullopt;
    state_ = State::none;
    return TakenOver{length_, std::move(before_.decoder)};
}

}  // namespace tamro::audio
