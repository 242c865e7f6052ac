// SPDX-License-Identifier: GPL-3.0-or-later
// Sound output through SDL2 audio: the default device of SDL's chosen driver, float32 stereo, opened only while
// there is something to play.
#pragma once

#include "platform/audio/audio_output.h"

#include "platform/audio/wakeup.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tamro::audio {

class SdlOutput final : public AudioOutput {
public:
    // 170 ms at 48 kHz: PulseAudio spends about as much CPU on the player as on mpg123 (1024 frames cost ten
    // times as much; 16384 frames half as much, but SDL then calls back so unevenly that the delay estimate
    // fails). The price: a seek or a new file while a track plays is heard after what the device holds.
    static constexpr std::size_t defaultBufferFrames = 8192;

    // Chooses the format without opening anything: the default device's own rate where SDL can tell it (so that
    // the sound server need not resample what the decoders already resample), 48 kHz otherwise, float stereo.
    // Every later opening asks for exactly that and lets SDL convert. SDL_AUDIODRIVER selects the driver (disk
    // and dummy for tests). Never throws: with no sound system at all, open() says so. `beforeUnpause` runs
    // between opening a device and unpausing it (tests use it to let SDL's device thread go first).
    explicit SdlOutput(std::size_t bufferFrames = defaultBufferFrames, std::function<void()> beforeUnpause = {});
    ~SdlOutput() override;
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    OutputFormat format() const override { return format_; }
    std::size_t periodFrames() const override { return periodFrames_; }
    void start(Render render) override { render_ = std::move(render); }
    void open() override;
    void close() override;
    bool closesWhenIdle() const override;
    std::int64_t delayFrames() const override;
    std::int64_t clockMicros() const override;
    std::string lostReason() const override;

    // Openings that started behind a buffer of silence and were replaced by a second one (see open()).
    int replacedOpenings() const { return replaced_; }
    // Devices still playing out their last buffers on a thread of their own (see close()).
    std::size_t closingDevices() const { return closing_.size(); }

private:
    // One SDL device and what its callback needs. It stays alive until its device is closed; once silenced (being
    // closed, or replaced) its callback only writes silence.
    struct Opening {
        SdlOutput* output = nullptr;
        std::uint32_t device = 0;
        std::atomic<bool> silenced{false};
        std::atomic<bool> called{false};
        Wakeup firstCall;
    };
    // A device being closed on a thread of its own.
    struct Closing {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    static void callback(void* opening, std::uint8_t* stream, int length);
    // Opens and unpauses one device; throws Failure, after stopping the subsystem if `onlyOne` (no other device
    // of ours is open).
    std::unique_ptr<Opening> openDevice(bool onlyOne);
    // Whether the device's thread wrote its first buffer before the unpause (then its callback stays silent from
    // here on).
    bool startedSilent(Opening& opening);
    // Closes a silenced device on a thread of its own.
    void closeLater(std::unique_ptr<Opening> opening);
    // Joins the closings that are over, or all of them.
    void reapClosed(bool all);
    void fill(std::span<float> out);
    // Frames the device plays between two moments.
    double framesSince(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) const;
    // SDL's audio subsystem is started when first needed and stopped after a failure, so that the next opening
    // picks a driver afresh (a sound server started after the player is found).
    bool startSubsystem();
    void stopSubsystem();

    bool subsystem_ = false;
    std::function<void()> beforeUnpause_;
    std::unique_ptr<Opening> opening_;  // the device, while open
    std::uint32_t device_ = 0;  // SDL_AudioDeviceID, 0 while closed
    std::vector<std::unique_ptr<Closing>> closing_;  // opened and closed by one thread at a time (the engine's lock)
    int replaced_ = 0;
    OutputFormat format_;
    std::size_t periodFrames_ = 0;
    Render render_;
    std::string driver_;  // of the last opening

    // Callback thread only: the device-delay estimate, taken when the callback starts.
    std::chrono::steady_clock::time_point lastCallback_{};
    std::int64_t aheadFrames_ = 0;   // what the device still held of earlier buffers
    std::int64_t bufferFrames_ = 0;  // the buffer being rendered
};

}  // namespace tamro::audio
