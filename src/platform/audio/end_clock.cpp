// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/end_clock.h"

#include <algorithm>

namespace tamro::audio {
namespace {

// A mark: a ring index (48 bits: 185 years at 48 kHz) tagged with a 16-bit generation.
constexpr std::uint64_t indexMask = (std::uint64_t{1} << 48) - 1;

}  // namespace

EndClock::EndClock(std::size_t periodFrames, std::int64_t periodMicros)
    : periodFrames_(periodFrames), periodMicros_(periodMicros)
{
}

std::uint64_t EndClock::indexOf(std::uint64_t mark) { return mark & indexMask; }

std::uint64_t EndClock::framesBefore(std::uint64_t mark, std::uint64_t readIndex)
{
    const std::uint64_t end = indexOf(mark);
    return end - std::min(end, readIndex);
}

std::int64_t EndClock::dueAfterBuffer(std::int64_t bufferMicros) const
{
    return bufferMicros + periodMicros_ - periodMicros_ / 4;
}

std::int64_t EndClock::earlier(std::int64_t a, std::int64_t b) { return a < 0 ? b : b < 0 ? a : std::min(a, b); }

std::uint64_t EndClock::mark(std::uint64_t writeIndex)
{
    const std::uint64_t m = (std::uint64_t{++generation_} << 48) | (writeIndex & indexMask);
    mark_.store(m, std::memory_order_release);
    return m;
}

void EndClock::clear() { mark_.store(none, std::memory_order_relaxed); }

void EndClock::restore(std::uint64_t mark) { mark_.store(mark, std::memory_order_release); }

std::int64_t EndClock::dueWhenMarked(std::uint64_t mark, std::uint64_t readIndex, std::int64_t lastBufferMicros) const
{
    return framesBefore(mark, readIndex) <= periodFrames_ ? dueAfterBuffer(lastBufferMicros) : -1;
}

std::int64_t EndClock::due(std::uint64_t mark, std::int64_t ownDue) const
{
    if (mark == none || dueFor_.load(std::memory_order_acquire) != mark)
        return ownDue;
    return earlier(ownDue, dueMicros_.load(std::memory_order_relaxed));
}

bool EndClock::onCallback(std::uint64_t readIndex, std::int64_t nowMicros)
{
    const std::uint64_t m = mark_.load(std::memory_order_acquire);
    if (m == none)
        return false;
    const std::uint64_t left = framesBefore(m, readIndex);
    std::int64_t at = -1;
    if (left == 0 && outSeen_ != m) {
        outSeen_ = nearSeen_ = m;
        at = nowMicros;
    } else if (left > 0 && left <= periodFrames_ && nearSeen_ != m) {
        nearSeen_ = m;
        at = dueAfterBuffer(nowMicros);
    }
    if (at < 0)
        return false;
    dueMicros_.store(at, std::memory_order_relaxed);
    dueFor_.store(m, std::memory_order_release);
    return true;
}

}  // namespace tamro::audio
