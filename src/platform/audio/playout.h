// SPDX-License-Identifier: GPL-3.0-or-later
// The playout: what the device's callback plays. The segment playing (a stretch of a track from where it started or
// was sought to) and up to four queued behind its last frames, whose frames follow in the ring and so in the same
// device buffer; the callback renders them and publishes the position as heard.
//
// Threads: render on the device's callback, which only try-locks mutex_ (a buffer of silence when it fails); every
// other operation from the engine with its decode lock held, so that the decode thread does not write the ring
// meanwhile.
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/device_lease.h"
#include "platform/audio/playback_position.h"
#include "platform/audio/ring_buffer.h"
#include "platform/audio/thread_rules.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tamro::audio {

class Playout {
public:
    Playout(AudioOutput& output, RingBuffer& ring, PlaybackPosition& position, DeviceLease& lease);

    struct Rendered {
        bool active = false;      // something of a track went out, or is waiting to follow
        bool tellMotion = false;  // the position's publish is to be told to the UI thread
        bool nextHeard = false;   // the early track's first frame went out: the end before it is to be reported
    };
    // The callback: fills `out`, never waits.
    Rendered render(std::span<float> out) EXCLUDES(mutex_);

    // Plays segment `id` of a track of `length` frames from `frame` (or stands there); empties the ring.
    void begin(std::uint64_t id, std::int64_t frame, std::int64_t length, bool playing) EXCLUDES(mutex_);
    bool queueFull() EXCLUDES(mutex_);
    // Queues segment `id` (`length` frames; `early`: started before the advance loaded it) behind the newest, whose
    // frames, if it is segment `finished`, end after `written` in the ring.
    void queue(std::uint64_t id, std::int64_t length, bool early, std::uint64_t finished, std::int64_t written)
        EXCLUDES(mutex_);
    // The early track becomes the UI thread's: the position is its own from here on.
    void takeOverEarly() EXCLUDES(mutex_);
    enum class Drop {
        cut,      // none of it went out: cut from the ring at `ringEnd`, the segment before it plays to its end
        cleared,  // some of it was heard: nothing plays any more (segment `endingId` stands ended)
        kept,     // heard, and `unlessHeard` asked to keep it
    };
    Drop dropEarly(bool unlessHeard, std::uint64_t ringEnd, std::uint64_t endingId) EXCLUDES(mutex_);

    // The decode side: the decoder of the newest segment gave all it has.
    void setDecoderDone(bool done) { decoderDone_.store(done, std::memory_order_release); }
    bool decoderDone() const { return decoderDone_.load(std::memory_order_acquire); }
    // When the early track's first frame may first be heard, by the output's clock (-1: not yet).
    std::int64_t nextHeardMicros() const { return nextHeardMicros_.load(std::memory_order_acquire); }
    void forgetNextHeard() { nextHeardMicros_.store(-1, std::memory_order_relaxed); }

private:
    struct Segment {
        std::uint64_t id = 0;
        std::int64_t base = 0;         // track frame of the first frame in the ring
        std::int64_t end = 0;          // track length in frames
        std::int64_t limit = 0;        // frames of it the ring will hold (end - base, or fewer if it decoded short)
        bool exact = false;            // limit is known to be what the decoder gave
        bool playing = false;          // cleared by the callback once every frame is in the device
        std::int64_t consumed = 0;     // frames taken from the ring since base
        bool handedOut = false;        // every frame of it went to the device
        std::int64_t lastRealEnd = 0;  // device-timeline index just after the last frame of it handed out
        bool early = false;            // the next track started before the advance loaded it: not yet the UI's
    };

    std::size_t take(std::span<float> out, std::size_t filled) REQUIRES(mutex_);
    // Publishes the frame being heard of the playing segment, or of the one whose last frames went out in this
    // buffer (`ended`). True when the motion handler is to be posted (see PlaybackPosition::publish).
    bool publishPosition(std::uint64_t ended, bool& nextHeard) REQUIRES(mutex_);
    PlaybackPosition::Estimate estimateOf(const Segment& s, std::int64_t heardDevice, std::int64_t now) const;
    // The newest segment: the last one queued, else the current one.
    Segment& newest() REQUIRES(mutex_);
    // The one before it: the one queued before it, else the current one, else the last to leave current_.
    const Segment& beforeNewest() const REQUIRES(mutex_);

    AudioOutput& output_;
    RingBuffer& ring_;
    PlaybackPosition& position_;
    DeviceLease& lease_;
    const std::size_t channels_;

    // Taken last, after the engine's decode lock; the callback only try-locks it. Guards the segments; the ring is
    // emptied only with it and the decode lock held, while neither side can touch it.
    Mutex mutex_;
    Segment current_ GUARDED_BY(mutex_);
    std::array<Segment, 4> queue_ GUARDED_BY(mutex_);  // more than one only for tracks shorter than a buffer
    std::size_t queued_ GUARDED_BY(mutex_) = 0;
    // The last segment to leave current_: the one an early track follows, whose last frames the position shows.
    Segment lastPlayed_ GUARDED_BY(mutex_);
    // The early track's position, for the take-over, and when its first frame may first be heard.
    PlaybackPosition::Estimate nextEstimate_ GUARDED_BY(mutex_);
    std::atomic<std::int64_t> nextHeardMicros_{-1};
    std::atomic<bool> decoderDone_{false};
    std::int64_t deviceFrames_ = 0;  // callback only: frames ever handed to the device
};

}  // namespace tamro::audio
