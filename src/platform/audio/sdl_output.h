// Sound output through SDL2 audio: the default device of SDL's chosen driver, float32 stereo, opened only while
// there is something to play.
#pragma once

#include "platform/audio/audio_output.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

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
    // and dummy for tests). Never throws: with no sound system at all, open() says so.
    explicit SdlOutput(std::size_t bufferFrames = defaultBufferFrames);
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

private:
    static void callback(void* self, std::uint8_t* stream, int length);
    void fill(std::span<float> out);
    // Frames the device plays between two moments.
    double framesSince(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) const;
    // SDL's audio subsystem is started when first needed and stopped after a failure, so that the next opening
    // picks a driver afresh (a sound server started after the player is found).
    bool startSubsystem();
    void stopSubsystem();

    bool subsystem_ = false;
    std::uint32_t device_ = 0;  // SDL_AudioDeviceID, 0 while closed
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
