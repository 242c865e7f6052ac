// The real MediaPlayer: a decode thread fills a lock-free ring, the output's callback drains it, and the
// position is what the output reports as heard, gliding on with the clock between callbacks. A track ends
// when its last frame goes to the device, so that the next one can follow it in the same device buffer.
// The application makes one with createEngine (engine_factory.h).
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/decoder.h"
#include "platform/audio/ring_buffer.h"
#include "platform/media_player.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tamro::audio {

class Engine final : public MediaPlayer {
public:
    // Opens a file for the given output format; throws Failure naming the path and the reason.
    using DecoderFactory = std::function<std::unique_ptr<Decoder>(const std::string&, const OutputFormat&)>;
    // Runs a function on the UI thread later. Must be callable from any thread (the audio thread posts the end
    // of a track, the decode thread the loss of the device).
    using PostToUi = std::function<void(std::function<void()>)>;

    Engine(std::unique_ptr<AudioOutput> output, DecoderFactory openDecoder, PostToUi postToUi);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // MediaPlayer, called on the UI thread. While nothing is loaded, play, stop and setPosition do nothing and
    // length and position are 0. Once the device is lost, setFileName, play and setPosition throw.
    void setFileName(const std::string& path) override;
    void play() override;
    void stop() override;
    double length() override;
    double position() override;
    void setPosition(double seconds) override;
    void setEndOfTrackHandler(EndOfTrackHandler handler) override;
    const std::string& loadedFile() const override { return loadedFile_; }
    bool isPlaying() const override { return playing_; }

    // Called once on the UI thread when the audio device stops working (unplugged, server gone), with the
    // description the failing operations carry from then on: "The audio device was lost: <reason>".
    void setDeviceLostHandler(std::function<void(const std::string&)> handler);

    // Blocks until the ring is full or the file is decoded to its end; false on timeout. Tests and benchmarks
    // use it to pull from a virtual output without underruns.
    bool waitUntilBuffered(std::chrono::milliseconds timeout);

private:
    // What the audio callback works on; changed only with stateMutex_ held.
    struct Segment {
        std::uint64_t id = 0;
        std::int64_t base = 0;       // track frame of the first frame in the ring
        std::int64_t end = 0;        // track length in frames
        bool playing = false;        // cleared by the callback once every frame is in the device
        std::int64_t consumed = 0;   // frames taken from the ring since base
        bool handedOut = false;      // every frame of the track went to the device
        std::int64_t lastRealEnd = 0;  // device-timeline index just after the last track frame handed out
    };

    // The output's callback. A track ends when its last frame goes to the device; the callback then waits a
    // little for the advance to load the next one, so that it follows in the same buffer.
    bool render(std::span<float> out);
    // From the callback, stateMutex_ held: reads the playing segment's frames into `out` after the first
    // `filled` frames; returns how many are filled now.
    std::size_t take(std::span<float> out, std::size_t filled);
    // Until the ring holds `frames` of a playing segment (or all of it) or the deadline passes. Without
    // `nextTrack` it gives up at once when nothing plays; with it, it waits for a track to be loaded.
    bool awaitFrames(std::size_t frames, std::chrono::steady_clock::time_point deadline, bool nextTrack);
    // From the callback, stateMutex_ held: publishes the frame being heard of the playing segment, or of the
    // one whose last frames went out in this buffer (`ended`).
    void publishHeard(std::uint64_t ended);
    void postEnd(std::uint64_t segmentId);
    void decodeLoop();
    // Starts a new stretch of playback at `frame`: flushes the ring, resets the callback's view, primes the
    // ring. Needs decodeMutex_ held.
    void beginSegment(std::int64_t frame, bool playing);
    void fillRing(std::size_t frames);
    void onTrackEnded(std::uint64_t segmentId);
    void throwIfDeviceLost() const;

    std::unique_ptr<AudioOutput> output_;
    const OutputFormat format_;
    DecoderFactory openDecoder_;
    PostToUi postToUi_;
    RingBuffer ring_;

    // UI thread only.
    EndOfTrackHandler endHandler_;
    std::function<void(const std::string&)> lostHandler_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // events posted after destruction find false
    bool loaded_ = false;
    std::string loadedFile_;
    bool playing_ = false;
    bool ended_ = false;
    std::int64_t lengthFrames_ = 0;
    std::uint64_t segmentId_ = 0;

    // The decoder and everything the decode thread reads, under decodeMutex_.
    std::mutex decodeMutex_;
    std::condition_variable decodeWake_;
    std::condition_variable buffered_;
    std::unique_ptr<Decoder> decoder_;
    bool wakeDecoder_ = false;
    bool quit_ = false;
    bool lostReported_ = false;
    std::vector<float> scratch_;
    // Set by the decode thread once the decoder is drained into the ring; reset with each segment.
    std::atomic<bool> decoderDone_{false};

    // The callback's state. The callback only try-locks it, so it never waits for the UI thread.
    std::mutex stateMutex_;
    Segment segment_;
    std::atomic<bool> wantsFrames_{false};  // segment_.playing && !segment_.handedOut, readable without the lock
    std::int64_t deviceFrames_ = 0;  // frames ever handed to the device (callback only)

    // The frame being heard, in one word so that position() is a single load: published by the callback (with
    // the output's clock, to glide on from) and by the UI thread when it seeks or stops (frozen).
    std::atomic<std::uint64_t> heard_{0};
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    std::uint64_t glideMicros_ = 0;  // one device buffer: the most the position glides before the next callback
    // How far the published position may glide: one buffer, or the tail still sounding once the output rests.
    std::atomic<std::uint64_t> glideLimitMicros_{0};

    std::thread decodeThread_;
};

}  // namespace tamro::audio
