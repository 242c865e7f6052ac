// SPDX-License-Identifier: GPL-3.0-or-later
// When the end of the track being decoded is to be reported. Once the decode thread has all of the track in the
// ring, it marks where its frames end there (the end mark, an index of the ring's write counter); the device's
// callback, reading the ring, sees the mark come near and sets the time the end is due by the output's clock: a
// quarter of a buffer before the buffer that takes its last frame is asked for (time enough for the advance to load
// the next track behind it), or at once when the last frame is already out. The decode thread posts the end then.
//
// Threads: mark, clear and restore on the decode side (with the engine's decode lock held); onCallback on the
// device's callback only; due from the decode side. The callback never waits: the mark and the due pair are atomics.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tamro::audio {

class EndClock {
public:
    // No end mark: the track is not all in the ring yet.
    static constexpr std::uint64_t none = ~std::uint64_t{0};

    EndClock(std::size_t periodFrames, std::int64_t periodMicros);

    // The decode side. A new mark at `writeIndex`, told to the callback; a mark is tagged with a generation, so that
    // a due time set for an older mark at the same index is not taken for it.
    std::uint64_t mark(std::uint64_t writeIndex);
    void clear();
    // The mark of the track before an early next one again (that one was taken back).
    void restore(std::uint64_t mark);
    static std::uint64_t indexOf(std::uint64_t mark);
    // When a track whose end is marked at `mark`, with `readIndex` read, is due by the decode thread's own count:
    // within the next buffer already (a short track, or a late decoder), as the callback would say it, counting from
    // `lastBufferMicros`; else not yet known (-1).
    std::int64_t dueWhenMarked(std::uint64_t mark, std::uint64_t readIndex, std::int64_t lastBufferMicros) const;
    // The earlier of `ownDue` and the callback's due time for `mark` (-1: neither known).
    std::int64_t due(std::uint64_t mark, std::int64_t ownDue) const;

    // The device's callback, after reading the ring up to `readIndex` at `nowMicros`: sets the due time once the
    // end is within the next buffer, and again once it is out. True when it did (the decode thread is to look).
    bool onCallback(std::uint64_t readIndex, std::int64_t nowMicros);

    // The earlier of two due times, -1 being unknown.
    static std::int64_t earlier(std::int64_t a, std::int64_t b);

private:
    // Due a quarter of a buffer before the buffer after the one asked for at `bufferMicros`.
    std::int64_t dueAfterBuffer(std::int64_t bufferMicros) const;
    static std::uint64_t framesBefore(std::uint64_t mark, std::uint64_t readIndex);

    const std::uint64_t periodFrames_;
    const std::int64_t periodMicros_;
    std::atomic<std::uint64_t> mark_{none};
    std::uint16_t generation_ = 0;  // decode side only
    // Set by the callback: when the end of which mark is due (the mark stored last, released, so that the decode
    // thread that finds its mark there also finds the time).
    std::atomic<std::int64_t> dueMicros_{0};
    std::atomic<std::uint64_t> dueFor_{none};
    // Callback only: the marks it has already set the due time for, near and out.
    std::uint64_t nearSeen_ = none;
    std::uint64_t outSeen_ = none;
};

}  // namespace tamro::audio
