// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/playback_position.h"

#include <algorithm>

namespace tamro::audio {
namespace {

// The published word: frame (34 bits: 99 hours at 48 kHz) | moving flag | clock in µs, modulo 2^29 (nine
// minutes; only differences of minutes at most are taken).
constexpr int frameShift = 30;
constexpr std::uint64_t movingBit = std::uint64_t{1} << 29;
constexpr std::uint64_t clockMask = movingBit - 1;
constexpr std::int64_t maxFrame = (std::int64_t{1} << 34) - 1;

std::uint64_t frozenAt(std::int64_t frame)
{
    return static_cast<std::uint64_t>(std::clamp<std::int64_t>(frame, 0, maxFrame)) << frameShift;
}
std::uint64_t movingFrom(std::int64_t frame, std::int64_t clockMicros)
{
    return frozenAt(frame) | movingBit | (static_cast<std::uint64_t>(clockMicros) & clockMask);
}
std::int64_t frameOf(std::uint64_t word) { return static_cast<std::int64_t>(word >> frameShift); }
bool isMoving(std::uint64_t word) { return (word & movingBit) != 0; }

// `later` less `earlier` of two clock fields (words or clocks), in µs, across a wrap of the field: negative
// when `later` is in fact earlier (an extrapolation that starts in the future).
std::int64_t clockDifference(std::uint64_t later, std::uint64_t earlier)
{
    auto d = static_cast<std::int64_t>((later - earlier) & clockMask);
    if (d >= static_cast<std::int64_t>(clockMask >> 1))
        d -= static_cast<std::int64_t>(clockMask) + 1;
    return d;
}
std::int64_t sinceWord(std::int64_t nowMicros, std::uint64_t word)
{
    return clockDifference(static_cast<std::uint64_t>(nowMicros), word);
}

}  // namespace

PlaybackPosition::PlaybackPosition(int sampleRate, std::size_t periodFrames)
    : rate_(sampleRate),
      periodFrames_(static_cast<std::int64_t>(periodFrames)),
      minLimitMicros_(periodFrames * 1'000'000 / static_cast<std::size_t>(sampleRate)),
      limitMicros_(minLimitMicros_)
{
}

std::int64_t PlaybackPosition::micros(std::int64_t frames) const { return (frames * 1'000'000 + rate_ - 1) / rate_; }

std::int64_t PlaybackPosition::framesIn(std::int64_t micros) const { return micros * rate_ / 1'000'000; }

std::int64_t PlaybackPosition::frame() const { return frameOf(word_.load(std::memory_order_relaxed)); }

void PlaybackPosition::freeze(std::int64_t frame) { word_.store(frozenAt(frame), std::memory_order_release); }

std::int64_t PlaybackPosition::frameAt(std::int64_t nowMicros)
{
    const std::uint64_t word = word_.load(std::memory_order_acquire);
    std::int64_t frame = frameOf(word);
    if (!isMoving(word))
        return frame;
    const std::int64_t elapsed = sinceWord(nowMicros, word);
    if (elapsed < 0)
        return frame;  // a track queued behind another's last frames: not heard yet
    const auto limit = static_cast<std::int64_t>(limitMicros_.load(std::memory_order_relaxed));
    frame += framesIn(std::min(elapsed, limit));
    if (elapsed >= limit) {
        std::uint64_t expected = word;
        word_.compare_exchange_strong(expected, frozenAt(frame), std::memory_order_relaxed);
    }
    return frame;
}

MediaPlayer::Motion PlaybackPosition::motionOf(std::uint64_t word, std::int64_t nowMicros) const
{
    if (!isMoving(word))
        return {};
    const std::int64_t elapsed = sinceWord(nowMicros, word);
    if (elapsed < 0)
        return {true, static_cast<double>(-elapsed) / 1e6};
    return {elapsed < static_cast<std::int64_t>(limitMicros_.load(std::memory_order_relaxed)), 0.0};
}

MediaPlayer::Motion PlaybackPosition::motionAt(std::int64_t nowMicros)
{
    const std::uint64_t seen = word_.load();
    plannedFrom_.store(seen, std::memory_order_relaxed);
    const MediaPlayer::Motion now = motionOf(seen, nowMicros);
    if (now.moving)
        return now;
    stillSeen_.store(true);
    const std::uint64_t again = word_.load();
    plannedFrom_.store(again, std::memory_order_relaxed);
    return motionOf(again, nowMicros);
}

std::uint64_t PlaybackPosition::limitOf(const Estimate& e) const
{
    // It runs on until all that was handed out is heard: a callback that comes late finds it where the device
    // is, not stopped. Playing, at least one buffer, as the device may hold more than it says.
    const auto limit = static_cast<std::uint64_t>(micros(e.queuedEnd - e.frame));
    return e.playing ? std::max(limit, minLimitMicros_) : limit;
}

void PlaybackPosition::publishExactly(const Estimate& e, std::uint64_t segment)
{
    const std::uint64_t limit = limitOf(e);
    limitMicros_.store(limit, std::memory_order_relaxed);
    const std::uint64_t word = movingFrom(e.frame, e.fromMicros);
    word_.store(word);
    lastWord_ = word;
    lastSegment_ = segment;
    lastLimit_ = limit;
}

bool PlaybackPosition::publish(Estimate e, std::uint64_t segment, std::int64_t nowMicros)
{
    // The hold: the device calls back unevenly, and its delay is only estimated from when it calls, so an estimate
    // behind the one published before would step the position back. It goes on along that one, as long as it
    // leads by less than half a buffer (more is no longer jitter: the device fell behind the clock).
    const std::uint64_t previous = word_.load(std::memory_order_relaxed);
    if (e.fromMicros == nowMicros && previous == lastWord_ && lastSegment_ == segment && isMoving(previous)) {
        const std::int64_t elapsed = sinceWord(nowMicros, previous);
        if (elapsed >= 0) {
            const std::int64_t ranOn = std::min(elapsed, static_cast<std::int64_t>(lastLimit_));
            const std::int64_t before = std::min(e.queuedEnd, frameOf(previous) + framesIn(ranOn));
            if (before > e.frame && before - e.frame <= periodFrames_ / 2)
                e.frame = before;
        }
    }
    publishExactly(e, segment);
    if (!e.playing && !e.unheard)
        return false;  // the last frames are already heard: nothing moves
    // Loaded plainly first: most callbacks find nobody waiting and need no read-modify-write.
    if (stillSeen_.load() && stillSeen_.exchange(false))
        return true;
    // Ahead of the extrapolation the UI thread planned its next tick from: it would show the next second late.
    std::uint64_t planned = plannedFrom_.load(std::memory_order_relaxed);
    const std::uint64_t word = lastWord_;
    if (!isMoving(planned) || leadMicros(word, planned) <= stepNoticeMicros)
        return false;
    // Told once: the next callback on the same extrapolation finds it planned from.
    return plannedFrom_.compare_exchange_strong(planned, word, std::memory_order_relaxed);
}

std::int64_t PlaybackPosition::leadMicros(std::uint64_t word, std::uint64_t other) const
{
    // Both advance at one second per second: the difference of their frames less that of their clocks.
    return (frameOf(word) - frameOf(other)) * 1'000'000 / rate_ - clockDifference(word, other);
}

}  // namespace tamro::audio
