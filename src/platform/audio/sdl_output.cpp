#include "platform/audio/sdl_output.h"

#include "base/failure.h"
#include "base/product.h"

#include <SDL.h>

#include <algorithm>
#include <string>

namespace tamro::audio {

SdlOutput::AudioSubsystem::AudioSubsystem()
{
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, productName);
    // Qt runs the process: SDL's own SIGINT/SIGTERM handlers would turn `kill` or the end of the session
    // into an SDL event that nobody reads, and the player would not quit.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw Failure(std::string("Cannot start the sound system: ") + SDL_GetError());
}

SdlOutput::AudioSubsystem::~AudioSubsystem() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

SdlOutput::SdlOutput(std::size_t bufferFrames)
{
    SDL_AudioSpec want{};
    // The default device's own rate where SDL can tell it, so that the sound server need not resample what
    // the decoders already resample; 48 kHz otherwise.
    SDL_AudioSpec native{};
    char* name = nullptr;
    const bool known = SDL_GetDefaultAudioInfo(&name, &native, 0) == 0;
    SDL_free(name);
    want.freq = known && native.freq >= 8000 && native.freq <= 384000 ? native.freq : 48000;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(std::clamp<std::size_t>(bufferFrames, 64, 32768));
    want.callback = &SdlOutput::callback;
    want.userdata = this;
    SDL_AudioSpec got{};
    // Any rate the device prefers (the decoders resample to it), but always float stereo (SDL converts).
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &got, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device_ == 0)
        throw Failure(std::string("Cannot open the audio device: ") + SDL_GetError());
    format_ = OutputFormat{got.freq, 2};
    periodFrames_ = got.samples;
    // PipeWire and JACK call back from their graph's real-time thread, where waiting would stall other
    // programs' sound too: there the output feeds silence while idle instead of resting.
    const std::string driver = SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "";
    mayRest_ = driver != "pipewire" && driver != "jack";
}

SdlOutput::~SdlOutput()
{
    halt();
    SDL_CloseAudioDevice(device_);
}

void SdlOutput::start(Render render)
{
    render_ = std::move(render);
    SDL_PauseAudioDevice(device_, 0);
}

void SdlOutput::halt()
{
    {
        std::lock_guard lock(restMutex_);
        halted_.store(true);
    }
    restWake_.notify_all();
    // Waits for a callback in progress; none runs render after this.
    SDL_LockAudioDevice(device_);
    SDL_UnlockAudioDevice(device_);
}

std::int64_t SdlOutput::clockMicros() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void SdlOutput::wake()
{
    {
        std::lock_guard lock(restMutex_);
        woken_ = true;
    }
    restWake_.notify_all();
}

double SdlOutput::framesSince(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) const
{
    return std::chrono::duration<double>(now - then).count() * format_.sampleRate;
}

std::int64_t SdlOutput::delayFrames() const
{
    // The device plays on while render works (it may wait for the next track): what was ahead drains.
    const auto drained = static_cast<std::int64_t>(framesSince(lastCallback_, std::chrono::steady_clock::now()));
    return bufferFrames_ + std::max<std::int64_t>(aheadFrames_ - drained, 0);
}

std::string SdlOutput::lostReason() const
{
    if (!halted_.load() && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED)
        return "it was disconnected or the sound server stopped";
    return {};
}

void SdlOutput::callback(void* self, std::uint8_t* stream, int length)
{
    static_cast<SdlOutput*>(self)->fill(
        std::span<float>(reinterpret_cast<float*>(stream), static_cast<std::size_t>(length) / sizeof(float)));
}

void SdlOutput::fill(std::span<float> out)
{
    {
        // Resting lets the device run dry, so the server idles and the next sound starts without old silence
        // in front of it.
        std::unique_lock lock(restMutex_);
        if (resting_)
            restWake_.wait(lock, [this] { return woken_ || halted_.load(); });
        resting_ = false;
        woken_ = false;
    }
    if (halted_.load() || !render_) {
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }

    // SDL cannot tell how much the device still holds ahead of this buffer. At the steady period assume a
    // whole buffer (PulseAudio here holds 50-65 ms ahead of an 85 ms one): the position may lag what is heard
    // by a fraction of a buffer but never runs ahead of it. A late callback finds that much less; one after a
    // rest finds the device empty.
    const auto frames = static_cast<std::int64_t>(out.size() / 2);
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = framesSince(lastCallback_, now);
    const auto period = static_cast<double>(frames);
    aheadFrames_ = static_cast<std::int64_t>(std::clamp(2.0 * period - elapsed, 0.0, period));
    lastCallback_ = now;
    bufferFrames_ = frames;

    if (!render_(out)) {
        std::lock_guard lock(restMutex_);
        resting_ = mayRest_ && !woken_;
        woken_ = false;
    }
}

}  // namespace tamro::audio
