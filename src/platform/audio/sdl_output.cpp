// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/sdl_output.h"

#include "base/failure.h"
#include "base/product.h"

#include <SDL.h>

#include <algorithm>
#include <string>

namespace tamro::audio {

SdlOutput::SdlOutput(std::size_t bufferFrames, std::function<void()> beforeUnpause)
    : beforeUnpause_(std::move(beforeUnpause))
{
    periodFrames_ = std::clamp<std::size_t>(bufferFrames, 64, 32768);
    int rate = 48000;
    if (startSubsystem()) {
        SDL_AudioSpec native{};
        char* name = nullptr;
        // Asks the driver (PulseAudio: the server's default sink) without opening a stream.
        if (SDL_GetDefaultAudioInfo(&name, &native, 0) == 0 && native.freq >= 8000 && native.freq <= 384000)
            rate = native.freq;
        SDL_free(name);
    }
    format_ = OutputFormat{rate, 2};
}

SdlOutput::~SdlOutput()
{
    close();
    reapClosed(true);
    stopSubsystem();
}

bool SdlOutput::startSubsystem()
{
    if (subsystem_)
        return true;
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, productName);
    // Qt runs the process: SDL's own SIGINT/SIGTERM handlers would turn `kill` or the end of the session
    // into an SDL event that nobody reads, and the player would not quit.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    subsystem_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return subsystem_;
}

void SdlOutput::stopSubsystem()
{
    if (subsystem_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ = false;
}

void SdlOutput::open()
{
    if (device_ != 0)
        return;
    reapClosed(false);
    if (!startSubsystem())
        throw Failure(std::string("Cannot open the audio device: ") + SDL_GetError());
    std::unique_ptr<Opening> opening;
    try {
        opening = openDevice(closing_.empty());
    } catch (const Failure&) {
        if (closing_.empty())
            throw;
        // A driver that opens one device at a time (disk, dummy): once the closing one is gone.
        reapClosed(true);
        opening = openDevice(true);
    }
    if (startedSilent(*opening)) {
        std::unique_ptr<Opening> second;
        try {
            second = openDevice(false);
        } catch (const Failure&) {
        }
        if (second) {
            ++replaced_;
            closeLater(std::move(opening));
            opening = std::move(second);
        } else {
            // A driver that opens one device at a time refuses a second: a device that plays late is better than
            // none.
            opening->silenced.store(false, std::memory_order_release);
        }
    }
    opening_ = std::move(opening);
    device_ = opening_->device;
}

bool SdlOutput::startedSilent(Opening& opening)
{
    // SDL opens a device paused and starts its thread at once; a thread that runs before the unpause sends the
    // sound server a whole buffer of silence (170 ms) ahead of the first sound, in about one start in ten. It
    // then calls back only once the server wants more, half a buffer later, where a thread that found the
    // device unpaused calls back within a few milliseconds. PipeWire and JACK call back from the server's own
    // thread, once per cycle, and have no such race.
    if (driver_ == "pipewire" || driver_ == "jack")
        return false;
    const auto wait = std::min<std::int64_t>(10'000, static_cast<std::int64_t>(periodFrames_) * 250'000 / format_.sampleRate);
    if (!opening.called.load(std::memory_order_acquire))
        opening.firstCall.wait(wait);
    SDL_LockAudioDevice(opening.device);  // no call of its callback in progress: it sees `silenced` from here on
    const bool silent = !opening.called.load(std::memory_order_acquire);
    opening.silenced.store(silent, std::memory_order_release);
    SDL_UnlockAudioDevice(opening.device);
    return silent;
}

std::unique_ptr<SdlOutput::Opening> SdlOutput::openDevice(bool onlyOne)
{
    auto opening = std::make_unique<Opening>();
    opening->output = this;
    SDL_AudioSpec want{};
    want.freq = format_.sampleRate;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(format_.channels);
    want.samples = static_cast<Uint16>(periodFrames_);
    want.callback = &SdlOutput::callback;
    want.userdata = opening.get();
    SDL_AudioSpec got{};
    // No changes allowed: SDL converts to whatever the device runs at, so the engine's format never changes.
    opening->device = SDL_OpenAudioDevice(nullptr, 0, &want, &got, 0);
    if (opening->device == 0) {
        const std::string reason = SDL_GetError();
        if (onlyOne)
            stopSubsystem();  // so that the next opening picks a driver afresh
        throw Failure("Cannot open the audio device: " + reason);
    }
    driver_ = SDL_GetCurrentAudioDriver() ? SDL_GetCurrentAudioDriver() : "";
    lastCallback_ = {};
    aheadFrames_ = 0;
    bufferFrames_ = 0;
    if (beforeUnpause_)
        beforeUnpause_();
    SDL_PauseAudioDevice(opening->device, 0);
    return opening;
}

void SdlOutput::closeLater(std::unique_ptr<Opening> opening)
{
    // SDL lets a closing device play out two buffers before it returns (340 ms): a thread of its own waits for
    // that, so that a start meanwhile is not held up; it opens a device beside the closing one.
    auto closing = std::make_unique<Closing>();
    closing->thread = std::thread([&done = closing->done, opening = std::move(opening)] {
        SDL_CloseAudioDevice(opening->device);
        done.store(true, std::memory_order_release);
    });
    closing_.push_back(std::move(closing));
}

void SdlOutput::reapClosed(bool all)
{
    std::erase_if(closing_, [all](const std::unique_ptr<Closing>& closing) {
        if (!all && !closing->done.load(std::memory_order_acquire))
            return false;
        closing->thread.join();
        return true;
    });
}

void SdlOutput::close()
{
    reapClosed(false);
    if (device_ == 0)
        return;
    std::unique_ptr<Opening> opening = std::move(opening_);
    device_ = 0;
    if (SDL_GetAudioDeviceStatus(opening->device) == SDL_AUDIO_STOPPED) {
        // Lost: the subsystem goes with it, so that the next opening picks a driver afresh; nothing may run
        // beside that.
        reapClosed(true);
        SDL_CloseAudioDevice(opening->device);
        stopSubsystem();
        return;
    }
    SDL_LockAudioDevice(opening->device);  // waits for a callback in progress; none renders after this
    opening->silenced.store(true, std::memory_order_release);
    SDL_UnlockAudioDevice(opening->device);
    closeLater(std::move(opening));
}

bool SdlOutput::closesWhenIdle() const
{
    // The disk driver starts its file afresh at each opening, and a file is nobody's work to idle.
    return driver_ != "disk";
}

std::int64_t SdlOutput::clockMicros() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double SdlOutput::framesSince(std::chrono::steady_clock::time_point then, std::chrono::steady_clock::time_point now) const
{
    return std::chrono::duration<double>(now - then).count() * format_.sampleRate;
}

std::int64_t SdlOutput::delayFrames() const
{
    const auto drained = static_cast<std::int64_t>(framesSince(lastCallback_, std::chrono::steady_clock::now()));
    return bufferFrames_ + std::max<std::int64_t>(aheadFrames_ - drained, 0);
}

std::string SdlOutput::lostReason() const
{
    if (device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED)
        return "it was disconnected or the sound server stopped";
    return {};
}

void SdlOutput::callback(void* opening, std::uint8_t* stream, int length)
{
    auto& o = *static_cast<Opening*>(opening);
    if (o.silenced.load(std::memory_order_acquire)) {
        std::fill_n(stream, length, std::uint8_t{0});
        return;
    }
    o.output->fill(std::span<float>(reinterpret_cast<float*>(stream), static_cast<std::size_t>(length) / sizeof(float)));
    if (!o.called.exchange(true, std::memory_order_acq_rel))
        o.firstCall.post();
}

void SdlOutput::fill(std::span<float> out)
{
    // SDL cannot tell how much the device still holds ahead of this buffer. At the steady period assume a
    // whole buffer (PulseAudio here holds 50-65 ms ahead of an 85 ms one): the position may lag what is heard
    // by a fraction of a buffer but never runs ahead of it. A late callback finds that much less; the first one
    // after an opening finds the device empty.
    const auto frames = static_cast<std::int64_t>(out.size() / 2);
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = framesSince(lastCallback_, now);
    const auto period = static_cast<double>(frames);
    aheadFrames_ = static_cast<std::int64_t>(std::clamp(2.0 * period - elapsed, 0.0, period));
    lastCallback_ = now;
    bufferFrames_ = frames;
    render_(out);
}

}  // namespace tamro::audio
