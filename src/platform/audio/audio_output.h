// The sound output as the engine sees it: a device that pulls interleaved float frames through a render callback.
#pragma once

#include "platform/audio/decoder.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tamro::audio {

class AudioOutput {
public:
    // Fills the whole span (frames * channels samples) on the output's own thread. Returns false when it has
    // nothing more to hand out (what it handed out before still plays): the output may then rest until wake().
    using Render = std::function<bool(std::span<float> interleaved)>;

    virtual ~AudioOutput() = default;

    // The rate and channel count the device really runs at; decoders produce exactly this.
    virtual OutputFormat format() const = 0;
    // Frames asked for by one render call (the device buffer).
    virtual std::size_t periodFrames() const = 0;
    // Starts pulling through `render`. Called once.
    virtual void start(Render render) = 0;
    // After this returns, render is never called again. Idempotent.
    virtual void halt() = 0;
    // Frames handed to the device and not yet heard, counting the block being rendered. Valid inside render.
    virtual std::int64_t delayFrames() const = 0;
    // A monotonic clock in microseconds, by which the position glides on between render calls.
    virtual std::int64_t clockMicros() const = 0;
    // Whether render may wait a few milliseconds for data (not on a sound server's real-time thread).
    virtual bool renderMayWait() const = 0;
    // The renderer has something to play again: stop resting.
    virtual void wake() = 0;
    // Why the device stopped working, or empty while it works. Callable from any thread.
    virtual std::string lostReason() const = 0;
};

}  // namespace tamro::audio
