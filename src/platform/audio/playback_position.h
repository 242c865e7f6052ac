// SPDX-License-Identifier: GPL-3.0-or-later
// The playback position as heard: the frames written to the device less its delay (the output latency it
// reports), so the frame coming out of the speaker now. The device's callback publishes which frame is heard and
// from which time on the output's clock it advances with that clock (extrapolation), in one word, so that
// position() on the UI thread is one atomic load and no lock. Between two callbacks the extrapolation runs at most
// to what was written to the device. Pure code: the clock is passed in, nothing here starts a thread or waits.
//
// Threads: publish and publishExactly with the engine's playout lock held (the callback, or the UI thread taking
// an early track over); freeze, frame, frameAt and motionAt from any thread.
#pragma once

#include "platform/media_player.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tamro::audio {

class PlaybackPosition {
public:
    // What a callback works out for the segment it plays or has just played to its end.
    struct Estimate {
        std::int64_t frame = 0;         // the frame heard
        std::int64_t fromMicros = 0;    // from when it advances, by the output's clock (later: still queued)
        std::int64_t queuedEnd = 0;     // the frame just after the last one handed to the device
        bool playing = false;           // false: the segment's last frame is out; it runs to queuedEnd and stops
        bool unheard = false;           // some of what was handed out is not heard yet
    };

    PlaybackPosition(int sampleRate, std::size_t periodFrames);

    // The frame heard at `nowMicros`. An extrapolation that has reached its limit is frozen there, so that the
    // clock field may wrap round while the output rests (a callback publishing meanwhile wins).
    std::int64_t frameAt(std::int64_t nowMicros);
    // The frame last published, without extrapolation.
    std::int64_t frame() const;
    // Whether and when the position moves on its own; with the handshake that has the next publish say so when
    // it finds the position still (see publish).
    MediaPlayer::Motion motionAt(std::int64_t nowMicros);
    // The position stands at `frame` (stopped, sought, a track not yet heard).
    void freeze(std::int64_t frame);

    // The callback: publishes `e` for `segment`, held against uneven callbacks (see the .cpp). True when the
    // UI thread is to be told (the motion handler): it found the position still at its last motionAt, or it
    // planned from an extrapolation this one leads by more than stepNoticeMicros.
    bool publish(Estimate e, std::uint64_t segment, std::int64_t nowMicros);
    // Publishes `e` as it is, without the hold or the handshake (an early next track taken over).
    void publishExactly(const Estimate& e, std::uint64_t segment);

    // Frames to microseconds, rounded up.
    std::int64_t micros(std::int64_t frames) const;

    // A step of the position ahead of what the UI thread planned from that is worth a wake-up to plan again.
    static constexpr std::int64_t stepNoticeMicros = 4000;

private:
    std::uint64_t limitOf(const Estimate& e) const;
    std::int64_t framesIn(std::int64_t micros) const;
    // How far ahead of `other` a moving `word` puts the position, in microseconds (negative: behind).
    std::int64_t leadMicros(std::uint64_t word, std::uint64_t other) const;
    MediaPlayer::Motion motionOf(std::uint64_t word, std::int64_t nowMicros) const;

    const std::int64_t rate_;
    const std::int64_t periodFrames_;
    const std::uint64_t minLimitMicros_;  // one device buffer: the least it extrapolates before the next callback

    // The published word: frame | moving | clock (see the .cpp), and how far it may extrapolate, in µs.
    std::atomic<std::uint64_t> word_{0};
    std::atomic<std::uint64_t> limitMicros_;
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    // Set by motionAt when it finds the position still; the next publish that moves clears it and says so. Both
    // sides store, then load the other's word (sequentially consistent), so a publish while motionAt looks is
    // either seen by it or told.
    std::atomic<bool> stillSeen_{false};
    // The word motionAt last found: the UI thread plans its next tick from it.
    std::atomic<std::uint64_t> plannedFrom_{0};
    // Callback only: what it last published, of which segment, and that one's limit (for the hold).
    std::uint64_t lastWord_ = 0;
    std::uint64_t lastSegment_ = 0;
    std::uint64_t lastLimit_ = 0;
};

}  // namespace tamro::audio
