// Sound output through SDL2 audio: the default device of SDL's chosen driver, float32 stereo, opened once.
#pragma once

#include "platform/audio/audio_output.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tamro::audio {

class SdlOutput final : public AudioOutput {
public:
    // 170 ms at 48 kHz: PulseAudio spends about as much CPU on the player as on mpg123 (1024 frames cost ten
    // times as much; 16384 frames half as much, but SDL then calls back so unevenly that the delay estimate
    // fails). The price: a seek or a new file while a track plays is heard after what the device holds.
    // First sound stays quick because the output rests (stops feeding the device) while idle, so new audio
    // never queues behind old silence.
    static constexpr std::size_t defaultBufferFrames = 8192;

    // Opens the device at its own rate (48 kHz where it has none to tell) or whatever rate it insists on. SDL_AUDIODRIVER selects the driver (disk and
    // dummy for tests). Throws Failure with SDL's reason when there is no usable device.
    explicit SdlOutput(std::size_t bufferFrames = defaultBufferFrames);
    ~SdlOutput() override;
    SdlOutput(const SdlOutput&) = delete;
    SdlOutput& operator=(const SdlOutput&) = delete;

    OutputFormat format() const override { return format_; }
    std::size_t periodFrames() const override { return periodFrames_; }
    void start(Render render) override;
    void halt() override;
    std::int64_t delayFrames() const override;
    std::int64_t clockMicros() const override;
    bool renderMayWait() const override { return mayRest_; }
    void wake() override;
    std::string lostReason() const override;

private:
    // Initialises and shuts down SDL's audio subsystem.
    struct AudioSubsystem {
        AudioSubsystem();
        ~AudioSubsystem();
        AudioSubsystem(const AudioSubsystem&) = delete;
        AudioSubsystem& operator=(const AudioSubsystem&) = delete;
    };

    static void callback(void* self, std::uint8_t* stream, int length);
    void fill(std::span<float> out);
    // Frames the device plays between two moments.
    double framesSince(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) const;

    AudioSubsystem subsystem_;
    std::uint32_t device_ = 0;  // SDL_AudioDeviceID
    OutputFormat format_;
    std::size_t periodFrames_ = 0;
    Render render_;

    // Resting: after render said it has nothing to play, the callback waits here until wake().
    std::mutex restMutex_;
    std::condition_variable restWake_;
    bool resting_ = false;
    bool woken_ = false;
    bool mayRest_ = true;  // false where the callback runs on the sound server's real-time thread
    std::atomic<bool> halted_{false};

    // Callback thread only: the device-delay estimate, taken when the callback starts.
    std::chrono::steady_clock::time_point lastCallback_{};
    std::int64_t aheadFrames_ = 0;   // what the device still held of earlier buffers
    std::int64_t bufferFrames_ = 0;  // the buffer being rendered

};

}  // namespace tamro::audio
