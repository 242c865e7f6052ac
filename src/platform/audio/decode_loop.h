// SPDX-License-Identifier: GPL-3.0-or-later
// The decode loop: a thread that decodes the track into the ring ahead of the output's callback, reports the
// track's end when it is due by the output's clock (EndClock), starts the next track early behind it (EarlyTrack),
// posts the events to the UI thread and closes an idle device (DeviceLease). It sleeps until the callback, the UI
// thread or a time it has set wakes it: nothing polls while idle.
//
// Threads: the UI operations below from the engine on the UI thread; afterRender on the device's callback, which
// takes no lock and only wakes this thread; the rest on the loop's own thread.
//
// Locks, in the order they are taken (never the other way round):
//   mutex_      the decoder, the track it decodes and the early next track; the ring is written only with it.
//               Never held while a file is opened or the UI thread is posted to.
//   Playout's   the segments the callback plays and the ring's reset; taken inside mutex_ for a moment, and by
//               the callback only with a try-lock.
// DeviceLease's lock is held alone, never with these.
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/device_lease.h"
#include "platform/audio/early_track.h"
#include "platform/audio/end_clock.h"
#include "platform/audio/playout.h"
#include "platform/audio/ring_buffer.h"
#include "platform/audio/thread_rules.h"
#include "platform/audio/track_decoding.h"
#include "platform/audio/wakeup.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tamro::audio {

class DecodeLoop {
public:
    // Opens a file for the given output format; throws Failure naming the path and the reason.
    using DecoderFactory = std::function<std::unique_ptr<Decoder>(const std::string&, const OutputFormat&)>;
    // Runs a function on the UI thread later, from any thread but the device's.
    using PostToUi = std::function<void(std::function<void()>)>;
    struct Events {
        std::function<void(std::uint64_t)> trackEnded;       // posted: the track of that segment ended
        std::function<void()> motion;                        // posted: the position's motion is to be planned again
        std::function<void(const std::string&)> noSound;     // called on the loop's thread: the device was lost
    };

    DecodeLoop(AudioOutput& output, RingBuffer& ring, Playout& playout, DeviceLease& lease,
               DecoderFactory openDecoder, PostToUi postToUi, Events events);
    ~DecodeLoop();
    DecodeLoop(const DecodeLoop&) = delete;
    DecodeLoop& operator=(const DecodeLoop&) = delete;

    void start();
    // Ends the thread (once; the destructor does it too).
    void quit() EXCLUDES(mutex_);

    // --- the UI thread. Each drops an early next track first, and wakes the loop.
    // Plays (or stands at) `frame` of the loaded track of `length` frames afresh: flushes the ring.
    void begin(std::int64_t frame, std::int64_t length, bool playing) EXCLUDES(mutex_);
    // Replaces the decoder with `decoder`, of `length` frames, from its start; with `follow`, queued behind the
    // last frames of the track that just ended, which keep playing. Returns the old decoder, to close unlocked,
    // and whether it was queued (else begun afresh: more tracks within one buffer than the queue holds).
    struct Loaded {
        std::unique_ptr<Decoder> old;
        bool queued = false;
    };
    Loaded load(std::unique_ptr<Decoder> decoder, std::int64_t length, bool follow) EXCLUDES(mutex_);
    // The file the advance would load next ("" for none).
    void expect(const std::string& path) EXCLUDES(mutex_);
    // The advance loads `path`: the early track becomes the loaded one when it is that file.
    std::optional<EarlyTrack::TakenOver> takeOver(const std::string& path) EXCLUDES(mutex_);
    // Whether an end posted for segment `id` still stands (nothing replaced, stopped or sought since).
    bool endStands(std::uint64_t id) EXCLUDES(mutex_);
    // After the advance that followed the end of segment `id`: an early track behind it that was not taken goes.
    void afterAdvance(std::uint64_t id) EXCLUDES(mutex_);
    // Waits (up to 2 s) for the first device buffer of a track set to play, so that the first callback plays it.
    void waitForFirstBuffer() EXCLUDES(mutex_);
    // Blocks until a whole turn that begins after the call is done (the device looked at), the ring full or the
    // file decoded to its end, and every event due by the output's clock posted. False on timeout.
    bool waitUntilBuffered(std::chrono::milliseconds timeout) EXCLUDES(mutex_);
    void wake() { wake_.post(); }

    // --- the device's callback, after it rendered: wakes the loop for what is due. Never waits.
    void afterRender(const Playout::Rendered& rendered);

private:
    // Frames decoded per step; the UI thread waits at most for one step when it seeks or loads.
    static constexpr std::size_t chunkFrames = 4096;

    void run() EXCLUDES(mutex_);
    // One turn: fills the ring (taking mutex_ for each step, so that a waiting UI thread gets in between), opens
    // the next file early if one is expected (unlocked), notes what to post; returns the output-clock time at which
    // to look again (-1: when woken), nullopt once it is to quit.
    std::optional<std::int64_t> turn(std::vector<std::function<void()>>& posts) EXCLUDES(mutex_);
    // Fills the ring up to the first device buffer and one chunk beyond; false once nothing more is to be done.
    bool fillStep() REQUIRES(mutex_);
    void fill(std::size_t frames) REQUIRES(mutex_);
    // After filling: the end of the track or of the one before the early track, or the next file to open early.
    std::int64_t afterFill(std::vector<std::function<void()>>& posts, std::optional<EarlyTrack::Opening>& opening)
        REQUIRES(mutex_);
    std::int64_t postEndWhenDue(std::vector<std::function<void()>>& posts) REQUIRES(mutex_);
    // Reports the end of the track before the early one once that one is heard; returns when to look again.
    std::int64_t announceNext(std::vector<std::function<void()>>& posts) REQUIRES(mutex_);
    void postEnd(std::vector<std::function<void()>>& posts, std::uint64_t id);
    // Adds the motion post if a callback asked for it, and counts the posts in flight; returns `lookAt`.
    std::int64_t collectPosts(std::vector<std::function<void()>>& posts, std::int64_t lookAt) REQUIRES(mutex_);
    bool caughtUp() REQUIRES(mutex_);

    // Seeks the decoder to `frame` and starts decoding afresh for a new segment.
    void restart(std::int64_t frame, bool playing) REQUIRES(mutex_);
    void beginLocked(std::int64_t frame, std::int64_t length, bool playing) REQUIRES(mutex_);
    // Queues a track of `length` frames behind the one being decoded, whose frames are all in the ring; false
    // when the queue is full.
    bool queueBehind(std::int64_t length, bool early) REQUIRES(mutex_);
    // Starts `decoder`, opened for `opening`, behind that track unless anything changed meanwhile.
    bool startNext(std::unique_ptr<Decoder> decoder, const EarlyTrack::Opening& opening) REQUIRES(mutex_);
    // Takes the early track back; with `unlessHeard`, only if none of it went to the device yet.
    void dropNext(bool unlessHeard) REQUIRES(mutex_);

    AudioOutput& output_;
    const OutputFormat format_;
    RingBuffer& ring_;
    Playout& playout_;
    DeviceLease& lease_;
    const DecoderFactory openDecoder_;
    const PostToUi postToUi_;
    const Events events_;
    Wakeup wake_;
    EndClock endClock_;  // of the track being decoded

    Mutex mutex_;
    std::condition_variable_any progressed_;  // with mutex_: a step or a turn done
    DecodedTrack current_ GUARDED_BY(mutex_);
    std::uint64_t segmentId_ GUARDED_BY(mutex_) = 0;  // the newest segment, the one the UI thread knows
    EarlyTrack next_ GUARDED_BY(mutex_);
    std::vector<float> scratch_ GUARDED_BY(mutex_);
    bool quit_ GUARDED_BY(mutex_) = false;
    int postsInFlight_ GUARDED_BY(mutex_) = 0;
    std::uint64_t turns_ GUARDED_BY(mutex_) = 0;       // whole turns, the device looked at
    std::uint64_t turnsBegun_ GUARDED_BY(mutex_) = 0;  // turns that have taken the lock once

    // Set by the callback.
    std::atomic<std::int64_t> lastCallbackMicros_{0};
    std::atomic<bool> motionToPost_{false};

    std::thread thread_;
};

}  // namespace tamro::audio
