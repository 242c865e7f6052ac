// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/playout.h"

#include <algorithm>

namespace tamro::audio {

Playout::Playout(AudioOutput& output, RingBuffer& ring, PlaybackPosition& position, DeviceLease& lease)
    : output_(output),
      ring_(ring),
      position_(position),
      lease_(lease),
      channels_(static_cast<std::size_t>(output.format().channels))
{
}

void Playout::begin(std::uint64_t id, std::int64_t frame, std::int64_t length, bool playing)
{
    Lock lock(mutex_);
    ring_.reset();
    current_ = Segment{};
    current_.id = id;
    current_.base = frame;
    current_.end = length;
    current_.limit = length - frame;
    current_.playing = playing;
    queued_ = 0;
    lease_.setWanted(playing);
    position_.freeze(frame);
}

bool Playout::queueFull()
{
    // Only the callback takes from the queue meanwhile, and anyone adding to it holds the decode lock.
    Lock lock(mutex_);
    return queued_ == queue_.size();
}

void Playout::queue(std::uint64_t id, std::int64_t length, bool early, std::uint64_t finished, std::int64_t written)
{
    Lock lock(mutex_);
    // The track that ended is all in the ring by now: from here on the ring also holds the next one, so the
    // callback must know exactly where the first one stops.
    Segment& last = newest();
    if (last.id == finished && !last.exact) {
        last.limit = std::min(last.limit, written);
        last.exact = true;
    }
    Segment& s = queue_[queued_++];
    s = Segment{};
    s.id = id;
    s.end = length;
    s.limit = length;
    s.playing = true;
    s.early = early;
    lease_.setWanted(true);
}

void Playout::takeOverEarly()
{
    Lock lock(mutex_);
    Segment& s = newest();  // the early track, queued or playing
    s.early = false;
    // From here on the position is the new track's: where the callbacks have it, once it is heard.
    if (s.consumed > 0)
        position_.publishExactly(nextEstimate_, s.id);
    else
        position_.freeze(0);
}

Playout::Drop Playout::dropEarly(bool unlessHeard, std::uint64_t ringEnd, std::uint64_t endingId)
{
    Lock lock(mutex_);
    Drop drop = Drop::cut;
    if (queued_ > 0 && newest().early && newest().consumed == 0) {
        // Nothing of it went out: the ring ends with the track before it again, as if it had never come.
        --queued_;
        ring_.truncate(ringEnd);
        decoderDone_.store(true, std::memory_order_release);
    } else if (unlessHeard) {
        return Drop::kept;
    } else {
        // Some of it was heard: the track before it has all gone out, and nothing plays after it.
        ring_.reset();
        current_ = Segment{};
        current_.id = endingId;
        queued_ = 0;
        drop = Drop::cleared;
    }
    lease_.setWanted(current_.playing || queued_ > 0);
    forgetNextHeard();
    return drop;
}

Playout::Rendered Playout::render(std::span<float> out)
{
    const std::size_t channels = channels_;
    const std::size_t frames = out.size() / channels;
    if (!mutex_.try_lock()) {
        // The UI thread is switching segments this very moment: a buffer of silence, and on.
        std::fill(out.begin(), out.end(), 0.0f);
        deviceFrames_ += static_cast<std::int64_t>(frames);
        return {true, false, false};
    }
    std::size_t filled = 0;
    std::uint64_t ended = 0;  // the track whose last frames went out in this buffer
    for (;;) {
        filled = take(out, filled);
        if (current_.playing && current_.handedOut) {
            // Every frame of it is in the device: it has played to its end as far as the engine is concerned.
            current_.playing = false;
            ended = current_.id;
        }
        if (current_.playing || queued_ == 0 || filled == frames)
            break;
        // The next track's frames follow the last ones of the track before in the ring, and so in this buffer.
        lastPlayed_ = current_;
        current_ = queue_[0];
        std::move(queue_.begin() + 1, queue_.begin() + static_cast<std::ptrdiff_t>(queued_), queue_.begin());
        --queued_;
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(filled * channels), out.end(), 0.0f);
    deviceFrames_ += static_cast<std::int64_t>(frames);
    Rendered r;
    r.tellMotion = publishPosition(ended, r.nextHeard);
    r.active = current_.playing || queued_ > 0;
    lease_.setWanted(r.active);
    mutex_.unlock();
    return r;
}

std::size_t Playout::take(std::span<float> out, std::size_t filled)
{
    Segment& s = current_;
    if (!s.playing || s.handedOut)
        return filled;
    const std::size_t channels = channels_;
    const std::size_t frames = out.size() / channels;
    const std::size_t want =
        std::min(frames - filled, static_cast<std::size_t>(std::max<std::int64_t>(s.limit - s.consumed, 0)));
    const bool done = s.exact || decoderDone_.load(std::memory_order_acquire);
    // A track starts only once the ring holds what this buffer has room for, so that its start has no hole.
    if (s.consumed == 0 && want > 0 && ring_.readable() < want && !done)
        return filled;
    const std::size_t got = ring_.read(out.subspan(filled * channels, want * channels));
    s.consumed += static_cast<std::int64_t>(got);
    filled += got;
    if (got > 0)
        s.lastRealEnd = deviceFrames_ + static_cast<std::int64_t>(filled);
    // Done when the limit is reached, or when the decoder ended early (a corrupt tail) and all it gave is out.
    if (s.consumed >= s.limit || (!s.exact && got < want && done && ring_.readable() == 0))
        s.handedOut = true;
    return filled;
}

Playout::Segment& Playout::newest() { return queued_ > 0 ? queue_[queued_ - 1] : current_; }

const Playout::Segment& Playout::beforeNewest() const
{
    return queued_ > 1 ? queue_[queued_ - 2] : queued_ == 1 ? current_ : lastPlayed_;
}

PlaybackPosition::Estimate Playout::estimateOf(const Segment& s, std::int64_t heardDevice, std::int64_t now) const
{
    // Track frames handed out after the point being heard now; more than were handed out while the device
    // still sounds what came before them (the previous track's last frames).
    const std::int64_t ahead = s.lastRealEnd - heardDevice;
    const std::int64_t unheard = std::clamp<std::int64_t>(ahead, 0, s.consumed);
    // Playing, it advances once the track's first frame is due. No callback may come until the next track once
    // the last frame is out: then it runs through what the device still holds to the length (rounded up to whole
    // microseconds, which still gives less than one frame more); a track that decoded short ends at its length
    // all the same.
    PlaybackPosition::Estimate e;
    e.frame = s.playing ? s.base + s.consumed - unheard : s.end - unheard;
    e.fromMicros = s.playing ? now + position_.micros(std::max<std::int64_t>(ahead - s.consumed, 0)) : now;
    e.queuedEnd = s.playing ? s.base + s.consumed : s.end;
    e.playing = s.playing;
    e.unheard = unheard > 0;
    return e;
}

bool Playout::publishPosition(std::uint64_t ended, bool& nextHeard)
{
    // A track queued behind another reads its start until its first frame is handed out.
    const Segment* queuedOrCurrent = &newest();
    const std::int64_t heardDevice = deviceFrames_ - output_.delayFrames();
    const std::int64_t now = output_.clockMicros();
    if (queuedOrCurrent->early) {
        // Started before the advance loaded it: its estimate waits for the take-over, and the UI thread goes on
        // seeing the track before it. The end of that one is reported as this one's first frame is heard.
        const Segment& early = *queuedOrCurrent;
        if (early.consumed > 0) {
            nextEstimate_ = estimateOf(early, heardDevice, now);
            if (nextHeardMicros_.load(std::memory_order_relaxed) < 0) {
                // Its first frame went out in this buffer, behind the last ones of the track before. The device may hold more
                // before this buffer than it tells (at PulseAudio it says too much, by up to a buffer): the end
                // is reported as if it held nothing, the earliest the new track can be heard, and so never after
                // it and at most what the device holds before it.
                const std::int64_t bufferStart = deviceFrames_ - static_cast<std::int64_t>(output_.periodFrames());
                const std::int64_t before = std::max<std::int64_t>(early.lastRealEnd - early.consumed - bufferStart, 0);
                nextHeardMicros_.store(now + position_.micros(before), std::memory_order_release);
                nextHeard = true;
            }
        }
        queuedOrCurrent = &beforeNewest();
    }
    const Segment& s = *queuedOrCurrent;
    if (!s.playing && s.id != ended)
        return false;  // stopped, sought while stopped, or over: the UI thread or an earlier callback published it
    if (s.playing && s.consumed == 0) {
        position_.freeze(s.base);  // nothing of it is in the device yet
        return false;
    }
    return position_.publish(estimateOf(s, heardDevice, now), s.id, now);
}

}  // namespace tamro::audio
