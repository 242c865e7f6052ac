// SPDX-License-Identifier: GPL-3.0-or-later
// The decode loop's own thread: each turn fills the ring, posts what is due and looks at the device.
#include "platform/audio/decode_loop.h"

#include <algorithm>
#include <utility>

namespace tamro::audio {
void DecodeLoop::run()
{
    for (;;) {
        std::vector<std::function<void()>> posts;
        const std::optional<std::int64_t> next = turn(posts);
        if (!next)
            return;
        std::int64_t lookAt = *next;
        // Unlocked: a test may run what is posted at once, and it calls back into the engine.
        for (auto& post : posts)
            postToUi_(std::move(post));
        {
            Lock lock(mutex_);
            postsInFlight_ -= static_cast<int>(posts.size());
        }
        progressed_.notify_all();

        const DeviceLease::Check device = lease_.closeIfIdle();
        if (!device.lost.empty())
            events_.noSound(device.lost);
        {
            Lock lock(mutex_);
            ++turns_;
        }
        progressed_.notify_all();
        if (device.lookAt >= 0 && (lookAt < 0 || device.lookAt < lookAt))
            lookAt = device.lookAt;
        // Nothing to do until the callback, the UI thread or that time asks: no polling while idle.
        const std::int64_t micros =
            lookAt < 0 ? -1 : std::clamp<std::int64_t>(lookAt - output_.clockMicros(), 0, 1'000'000);
        wake_.wait(micros);
    }
}

std::optional<std::int64_t> DecodeLoop::turn(std::vector<std::function<void()>>& posts)
{
    for (bool first = true;; first = false) {
        {
            Lock lock(mutex_);
            if (quit_)
                return std::nullopt;
            if (first)
                ++turnsBegun_;
            if (!fillStep())
                break;
        }
        // Let a waiting UI thread in between steps, and tell it about the first buffer.
        progressed_.notify_all();
        std::this_thread::yield();
    }
    std::optional<EarlyTrack::Opening> opening;
    {
        Lock lock(mutex_);
        if (quit_)
            return std::nullopt;
        const std::int64_t lookAt = afterFill(posts, opening);
        if (!opening)
            return collectPosts(posts, lookAt);
    }
    // A file that takes long to open (a SoundFont to load) keeps neither the UI thread nor the ring waiting.
    std::unique_ptr<Decoder> decoder;
    try {
        decoder = openDecoder_(opening->path, format_);
    } catch (const std::exception&) {
        // Not started early: the advance's own load meets the same failure and reports it as it does.
    }
    Lock lock(mutex_);  // released before a decoder not started closes
    if (quit_)
        return std::nullopt;
    if (startNext(std::move(decoder), *opening))
        return collectPosts(posts, output_.clockMicros());  // fill the ring with it, then look again
    // Another track meanwhile: look at it at once.
    return collectPosts(posts, current_.at.id == opening->id ? postEndWhenDue(posts) : output_.clockMicros());
}

bool DecodeLoop::fillStep()
{
    while (current_.decoder && current_.at.active && !current_.at.done && ring_.writable() > 0) {
        fill(chunkFrames);
        // A track's first device buffer in one go: the callback starts a track only once that much is there.
        if (current_.at.written >= static_cast<std::int64_t>(output_.periodFrames()))
            return true;
    }
    return false;
}

void DecodeLoop::fill(std::size_t frames)
{
    while (frames > 0 && !current_.at.done) {
        const std::size_t want = std::min({frames, ring_.writable(), chunkFrames});
        if (want == 0)
            return;
        const std::size_t got = current_.decoder->read(scratch_.data(), want);
        if (got == 0) {
            current_.at.done = true;
            playout_.setDecoderDone(true);
            return;
        }
        ring_.write(std::span<const float>(scratch_.data(), got * static_cast<std::size_t>(format_.channels)));
        current_.at.written += static_cast<std::int64_t>(got);
        frames -= std::min(frames, got);
    }
}

std::int64_t DecodeLoop::afterFill(std::vector<std::function<void()>>& posts,
                                   std::optional<EarlyTrack::Opening>& opening)
{
    if (next_.started())
        return announceNext(posts);  // the early track's own end waits until the UI thread has taken it over
    TrackDecoding& at = current_.at;
    if (!at.active || !at.done || at.endPosted)
        return -1;
    if (at.mark == EndClock::none) {
        // All of it is in the ring: from now on the callback can tell when its end is near. Already within the
        // next buffer, it is due counting from the callback's last call, or from the start of the track if none
        // came since.
        at.mark = endClock_.mark(ring_.writeIndex());
        at.due = endClock_.dueWhenMarked(at.mark, ring_.readIndex(),
                                         std::max(lastCallbackMicros_.load(std::memory_order_relaxed), at.startedMicros));
    }
    opening = next_.toOpen(at, EndClock::indexOf(at.mark), ring_.readIndex());
    if (opening)
        return -1;
    return postEndWhenDue(posts);
}

std::int64_t DecodeLoop::postEndWhenDue(std::vector<std::function<void()>>& posts)
{
    TrackDecoding& at = current_.at;
    at.due = endClock_.due(at.mark, at.due);
    if (at.due < 0)
        return -1;  // the callback wakes this thread when the end comes near
    if (output_.clockMicros() < at.due)
        return at.due;
    at.endPosted = true;
    postEnd(posts, at.id);
    return -1;
}

std::int64_t DecodeLoop::announceNext(std::vector<std::function<void()>>& posts)
{
    if (next_.state() == EarlyTrack::State::previousEnded)
        return -1;
    const std::int64_t heardAt = playout_.nextHeardMicros();
    if (heardAt < 0)
        return -1;  // the callback wakes this thread once the early track's first frame is out
    if (output_.clockMicros() < heardAt)
        return heardAt;
    next_.previousEnded();
    postEnd(posts, next_.beforeId());
    return -1;
}

void DecodeLoop::postEnd(std::vector<std::function<void()>>& posts, std::uint64_t id)
{
    posts.push_back([ended = events_.trackEnded, id] { ended(id); });
}

std::int64_t DecodeLoop::collectPosts(std::vector<std::function<void()>>& posts, std::int64_t lookAt)
{
    if (motionToPost_.exchange(false, std::memory_order_acq_rel))
        posts.push_back(events_.motion);
    postsInFlight_ += static_cast<int>(posts.size());
    return lookAt;
}

bool DecodeLoop::caughtUp()
{
    const TrackDecoding& at = current_.at;
    const bool filled = !current_.decoder || !at.active || at.done || ring_.writable() == 0;
    const std::int64_t due = endClock_.due(at.mark, at.due);
    const std::int64_t nextHeard = playout_.nextHeardMicros();
    const std::int64_t now = output_.clockMicros();
    const bool endWaiting =
        next_.started()
            ? next_.state() == EarlyTrack::State::queued && nextHeard >= 0 && now >= nextHeard
            : at.active && at.done && !at.endPosted && (at.mark == EndClock::none || (due >= 0 && now >= due));
    return filled && !endWaiting && postsInFlight_ == 0 && !motionToPost_.load(std::memory_order_acquire);
}

}  // namespace tamro::audio
