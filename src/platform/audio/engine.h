// SPDX-License-Identifier: GPL-3.0-or-later
// The real MediaPlayer: the decode loop fills a lock-free ring, the output's callback drains it, and the
// position is what the output reports as heard, extrapolated with the clock between callbacks. The device is
// opened when a track starts and closed once the output has been idle. The file the advance would load next
// (expectNext) is started early behind the current track (EarlyTrack), and its end reported as that file is heard;
// the advance's load of the same file then takes it over. Without one, a track ends a little before its last frame
// goes to the device, so that the next one is loaded in time to follow it in the same device buffer. The callback
// never waits for either. The application makes one with createEngine (engine_factory.h).
//
// Threads: the UI thread calls the MediaPlayer operations; the decode loop's thread decodes, posts the events and
// closes an idle device (decode_loop.h, which also gives the order of the locks); the device's callback renders
// (Playout) and wakes the decode loop, and takes no lock it could wait for.
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/decode_loop.h"
#include "platform/audio/decoder.h"
#include "platform/audio/device_lease.h"
#include "platform/audio/playback_position.h"
#include "platform/audio/playout.h"
#include "platform/audio/ring_buffer.h"
#include "platform/media_player.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tamro::audio {

class Engine final : public MediaPlayer {
public:
    // Opens a file for the given output format; throws Failure naming the path and the reason.
    using DecoderFactory = DecodeLoop::DecoderFactory;
    // Runs a function on the UI thread later. Must be callable from any thread but the device's (the decode
    // loop posts every event).
    using PostToUi = DecodeLoop::PostToUi;

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
    void expectNext(const std::string& path) override;
    const std::string& loadedFile() const override { return loadedFile_; }
    bool isPlaying() const override { return playing_; }

    // Called on the UI thread when there is no sound for the user to hear: once when an open device stops
    // working ("The audio device was lost: <reason>"), and on each start of a track that cannot open one, with
    // the description the start throws; so that a start whose failure is not reported still tells the user.
    void setDeviceLostHandler(std::function<void(const std::string&)> handler);

    // Blocks until the decode thread has caught up: a whole turn of it done (the device looked at), the ring full
    // or the file decoded to its end, and every event due by the output's clock posted. False on timeout. Tests
    // and benchmarks use it to pull from a virtual output without underruns.
    bool waitUntilBuffered(std::chrono::milliseconds timeout) { return loop_.waitUntilBuffered(timeout); }

private:
    // The output's callback: never waits.
    bool render(std::span<float> out);
    // After a start: lets the decode loop put the first buffer in the ring, then opens the device if needed. On
    // failure the track is stopped, the failure reported and thrown.
    void startPlaying(bool waitForFirstBuffer);
    // The end of the track of `segmentId`, posted by the decode loop.
    void onTrackEnded(std::uint64_t segmentId);
    void reportNoSound(const std::string& description);
    DecodeLoop::Events events();

    std::unique_ptr<AudioOutput> output_;
    const OutputFormat format_;
    DecoderFactory openDecoder_;
    PostToUi postToUi_;
    // Written by the decode loop only, read by the callback; emptied only while neither can touch it (Playout).
    RingBuffer ring_;

    // UI thread only.
    EndOfTrackHandler endHandler_;
    std::function<void(const std::string&)> lostHandler_;
    std::function<void()> motionHandler_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // events posted after destruction find false
    bool loaded_ = false;
    std::string loadedFile_;
    bool playing_ = false;
    bool ended_ = false;
    bool advancing_ = false;  // the end-of-track handler runs: its load may take the early track over
    std::string expected_;    // what expectNext last gave
    std::int64_t lengthFrames_ = 0;

    // The device: opened by the UI thread, closed by the decode loop once idle, or by the destructor.
    DeviceLease lease_;
    // The frame being heard, published by the callback and by the UI thread when it seeks or stops.
    PlaybackPosition position_;
    // What the callback plays.
    Playout playout_;
    DecodeLoop loop_;
};

}  // namespace tamro::audio
