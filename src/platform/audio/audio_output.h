// SPDX-License-Identifier: GPL-3.0-or-later
// The sound output as the engine sees it: a device, opened on demand, that pulls interleaved float frames through
// a render callback.
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
    // Fills the whole span (frames * channels samples) on the device's own thread, which may be a sound server's
    // real-time thread: it must never sleep, block or allocate. Returns false when nothing of a track went into
    // the span and nothing is waiting to follow (what it handed out before still plays).
    using Render = std::function<bool(std::span<float> interleaved)>;

    virtual ~AudioOutput() = default;

    // The rate and channel count render always produces, known before the device is opened and the same for
    // every opening (the output converts where the device runs otherwise); decoders produce exactly this.
    virtual OutputFormat format() const = 0;
    // Frames asked for by one render call (the device buffer).
    virtual std::size_t periodFrames() const = 0;
    // The function the device pulls through while it is open. Called once, before the first open.
    virtual void start(Render render) = 0;
    // Opens the device and lets it pull; throws Failure with the reason ("Cannot open the audio device: ...").
    // Only while closed.
    virtual void open() = 0;
    // Closes the device: after this returns, render is not called until the next open. Idempotent; may take a
    // while (what the device holds is played out first).
    virtual void close() = 0;
    // Whether the device should be closed while nothing plays (a sound server's stream), or kept open (a
    // driver that only records what it gets).
    virtual bool closesWhenIdle() const = 0;
    // Frames handed to the device and not yet heard, counting the block being rendered. Valid inside render.
    virtual std::int64_t delayFrames() const = 0;
    // A monotonic clock in microseconds, by which the position glides on between render calls. Any thread.
    virtual std::int64_t clockMicros() const = 0;
    // Why the open device stopped working, or empty while it works or is closed. Not while open or close runs.
    virtual std::string lostReason() const = 0;
};

}  // namespace tamro::audio
