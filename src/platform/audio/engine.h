// SPDX-License-Identifier: GPL-3.0-or-later
// The real MediaPlayer: a decode thread fills a lock-free ring, the output's callback drains it, and the
// position is what the output reports as heard, extrapolated with the clock between callbacks. The device is
// opened when a track starts and closed once the output has been idle. The file the advance would load next
// (expectNext) is started as soon as the current track is all decoded, its frames queued right behind the current one's, and the
// track's end is reported as that file is heard; the advance's load of the same file then takes it over. Without
// one, a track ends a little before its last frame goes to the device, so that the next one is loaded in time to
// follow it in the same device buffer. The callback never waits for either. The application makes one with
// createEngine (engine_factory.h).
//
// Threads: the UI thread calls the MediaPlayer operations; the decode thread decodes, posts the events and
// closes an idle device; the device's callback renders. The callback takes no lock it could wait for (a
// try-lock of the playout's lock, else silence), and wakes the decode thread through a semaphore.
//
// Locks, in the order they are taken (never the other way round):
//   decodeMutex_  the decoder, the track it decodes and the early next track; the ring is written only with it.
//                 Never held while a file is opened or the UI thread is posted to.
//   Playout's     the segments the callback plays and the ring's reset; taken inside decodeMutex_ for a moment,
//                 and by the callback only with a try-lock.
// DeviceLease's lock is held alone, never with these.
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/decoder.h"
#include "platform/audio/device_lease.h"
#include "platform/audio/end_clock.h"
#include "platform/audio/playback_position.h"
#include "platform/audio/playout.h"
#include "platform/audio/ring_buffer.h"
#include "platform/audio/thread_rules.h"
#include "platform/audio/wakeup.h"
#include "platform/media_player.h"

#include <array>
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

class Engine final : public MediaPlayer {
public:
    // Opens a file for the given output format; throws Failure naming the path and the reason.
    using DecoderFactory = std::function<std::unique_ptr<Decoder>(const std::string&, const OutputFormat&)>;
    // Runs a function on the UI thread later. Must be callable from any thread but the device's (the decode
    // thread posts every event).
    using PostToUi = std::function<void(std::function<void()>)>;

    Engine(std::unique_ptr<AudioOutput> output, DecoderFactory openDecoder, PostToUi postToUi);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // MediaPlayer, called on the UI thread. While nothing is loaded, play, stop and setPosition do nothing and
    // length and position are 0. Starting a track (a file name, play, a seek while playing) opens the device
    // if it is closed or lost; when it cannot be opened the operation throws Failure ("Cannot open the audio
    // device: ...") and the track stays stopped, and the next start tries again.
    void setFileName(const std::string& path) override;
    void play() override;
    void stop() override;
    double length() override;
    double position() override;
    void setPosition(double seconds) override;
    void setEndOfTrackHandler(EndOfTrackHandler handler) override;
    Motion motion() override;
    void setMotionHandler(std::function<void()> handler) override;
    void expectNext(const std::string& path) override EXCLUDES(decodeMutex_);
    const std::string& loadedFile() const override { return loadedFile_; }
    bool isPlaying() const override { return playing_; }

    // Called on the UI thread when there is no sound for the user to hear: once when an open device stops
    // working ("The audio device was lost: <reason>"), and on each start of a track that cannot open one, with
    // the description the start throws; so that a start whose failure is not reported still tells the user.
    void setDeviceLostHandler(std::function<void(const std::string&)> handler);

    // Blocks until the decode thread has caught up: a whole turn of it done (the device looked at), the ring full
    // or the file decoded to its end, and every event due by the output's clock posted. False on timeout. Tests
    // and benchmarks use it to pull from a virtual output without underruns.
    bool waitUntilBuffered(std::chrono::milliseconds timeout) EXCLUDES(decodeMutex_);

private:
    // The decode thread's view of the track it decodes (the newest one).
    struct Decoding {
        std::uint64_t id = 0;
        bool active = false;       // playing: a stopped track is decoded once it plays, from where it plays
        std::int64_t startedMicros = 0;  // output clock when it was set to play
        std::int64_t written = 0;  // frames of it written to the ring
        bool done = false;         // the decoder gave all it has
        std::uint64_t mark = EndClock::none;  // its end in the ring, once done
        std::int64_t due = -1;     // when its end is to be posted, by the output's clock; -1: not yet known
        bool endPosted = false;
    };
    // Where the next track started early stands (see expectNext).
    enum class Early {
        none,           // none started, or taken over by the UI thread
        queued,         // queued behind the last frames of the track before it, which has not ended yet
        previousEnded,  // the end of the track before it is posted; it waits for the advance to take it over
    };
    // The file expected next, and the track it is started behind.
    struct NextTrack {
        std::string expected;             // from the UI thread; "" for none
        std::uint64_t triedFor = 0;       // one attempt per track and file
        std::string triedPath;
        Early state = Early::none;
        std::string path;
        std::int64_t length = 0;
        std::uint64_t endingId = 0;       // the track before it, whose end is reported as it is heard
        std::unique_ptr<Decoder> endingDecoder;  // that track's decoder and state, to go back to
        Decoding ending;
    };
    // The expected file to open, unlocked, behind the track of `id`, whose frames end at `end` in the ring.
    struct NextOpening {
        std::uint64_t id = 0;
        std::string path;
        std::uint64_t end = 0;
    };
    // The output's callback: never waits.
    bool render(std::span<float> out);
    // After a render, without the lock: asks the decode thread for what is due (refill, an end, an idle output).
    void signalDecodeThread(bool active, bool nextHeard);

    void decodeLoop() EXCLUDES(decodeMutex_);
    // One turn of the decode thread: fills the ring (taking decodeMutex_ for each step, so that a waiting UI thread
    // gets in between), opens the next file early if one is expected (without the lock), notes what to post;
    // returns the output-clock time at which it must look again (-1: when woken), nullopt once it is to quit.
    std::optional<std::int64_t> decodeTurn(std::vector<std::function<void()>>& posts) EXCLUDES(decodeMutex_);
    // Fills the ring up to the first device buffer and one chunk beyond; false once nothing more is to be done.
    bool fillStep() REQUIRES(decodeMutex_);
    // After filling: the end of the track or of the one before the early track, or the next file to open early.
    std::int64_t afterFill(std::vector<std::function<void()>>& posts, std::optional<NextOpening>& opening)
        REQUIRES(decodeMutex_);
    std::int64_t postEndWhenDue(std::vector<std::function<void()>>& posts) REQUIRES(decodeMutex_);
    // Adds the motion handler if a callback asked for it, and counts the posts in flight; returns `lookAt`.
    std::int64_t collectPosts(std::vector<std::function<void()>>& posts, std::int64_t lookAt) REQUIRES(decodeMutex_);
    void fillRing(std::size_t frames) REQUIRES(decodeMutex_);
    bool caughtUp() REQUIRES(decodeMutex_);

    // Seeks the decoder to `frame` and starts decoding afresh for a new segment.
    void restartDecoding(std::int64_t frame, bool playing) REQUIRES(decodeMutex_);
    // Starts a new stretch of playback at `frame`: flushes the ring and resets the callback's view.
    void beginSegment(std::int64_t frame, bool playing) REQUIRES(decodeMutex_);
    // Queues the newly loaded track behind the last frames of the one that just ended, which keeps playing.
    void queueSegment() REQUIRES(decodeMutex_);
    // Queues a track of `length` frames behind the one being decoded, whose frames are all in the ring; false when
    // the queue is full.
    bool queueBehind(std::int64_t length, bool early) REQUIRES(decodeMutex_);
    // The expected file to open behind the track just decoded to its end, once per track and file.
    std::optional<NextOpening> nextToOpen() REQUIRES(decodeMutex_);
    // Starts `decoder`, opened for `opening`, behind that track unless anything changed meanwhile. True when it did.
    bool startNext(std::unique_ptr<Decoder> decoder, const NextOpening& opening) REQUIRES(decodeMutex_)
       ;
    // Has the UI thread told that the track of `segmentId` ended (dropped there if it was replaced meanwhile).
    void postEnd(std::vector<std::function<void()>>& posts, std::uint64_t segmentId);
    // Reports the end of the track before the early one once that one is heard; returns when to look again.
    std::int64_t announceNext(std::vector<std::function<void()>>& posts) REQUIRES(decodeMutex_);
    // The UI thread: takes the early track over when the advance loads that same file.
    bool takeOverNext(const std::string& path) EXCLUDES(decodeMutex_);
    // Takes the early track back and returns to the track before it; with `unlessHeard`, only if none of it went
    // to the device yet.
    void dropNext(bool unlessHeard) REQUIRES(decodeMutex_);
    // From the UI thread after a start: lets the decode thread put the first buffer in the ring, then opens the
    // device if needed. On failure the track is stopped, the failure reported and thrown.
    void startPlaying(bool waitForFirstBuffer) EXCLUDES(decodeMutex_);
    void onTrackEnded(std::uint64_t segmentId);
    void reportNoSound(const std::string& description);
    std::int64_t periodMicros() const;

    std::unique_ptr<AudioOutput> output_;
    const OutputFormat format_;
    DecoderFactory openDecoder_;
    PostToUi postToUi_;
    // Written by the decode thread only; read by the callback. Emptied (reset) only with decodeMutex_ and
    // the playout's lock both held, while neither side can touch it.
    RingBuffer ring_;
    Wakeup wakeDecoder_;

    // UI thread only.
    EndOfTrackHandler endHandler_;
    std::function<void(const std::string&)> lostHandler_;
    std::function<void()> motionHandler_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // events posted after destruction find false
    bool loaded_ = false;
    std::string loadedFile_;
    bool playing_ = false;
    bool ended_ = false;
    bool advancing_ = false;
    std::string expected_;    // what expectNext last gave  // the end-of-track handler runs: its load may take the early track over
    std::int64_t lengthFrames_ = 0;

    // The decoder and what the decode thread keeps.
    Mutex decodeMutex_;
    std::condition_variable_any buffered_;  // with decodeMutex_: the decode thread finished a turn
    std::unique_ptr<Decoder> decoder_ GUARDED_BY(decodeMutex_);
    Decoding decoding_ GUARDED_BY(decodeMutex_);
    bool quit_ GUARDED_BY(decodeMutex_) = false;
    int postsInFlight_ GUARDED_BY(decodeMutex_) = 0;
    std::uint64_t turns_ GUARDED_BY(decodeMutex_) = 0;  // whole turns of the decode thread, the device looked at
    std::uint64_t turnsBegun_ GUARDED_BY(decodeMutex_) = 0;  // turns that have taken the lock once
    std::vector<float> scratch_ GUARDED_BY(decodeMutex_);
    std::uint64_t segmentId_ GUARDED_BY(decodeMutex_) = 0;
    NextTrack next_ GUARDED_BY(decodeMutex_);
    // When the end of the track being decoded is due.
    EndClock endClock_;

    // The device: opened by the UI thread, closed by the decode thread once idle, or by the destructor.
    DeviceLease lease_;

    // What the callback plays.
    Playout playout_;
    // Output clock of the last callback.
    std::atomic<std::int64_t> lastCallbackMicros_{0};

    // The frame being heard, published by the callback and by the UI thread when it seeks or stops.
    PlaybackPosition position_;
    // Set by a callback whose publish is to be told to the UI thread; the decode thread posts the motion handler.
    std::atomic<bool> motionToPost_{false};

    std::thread decodeThread_;
};

}  // namespace tamro::audio
