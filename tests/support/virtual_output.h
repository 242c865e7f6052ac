// SPDX-License-Identifier: GPL-3.0-or-later
// An AudioOutput on a virtual clock: the test pulls frames by hand, so no engine test waits in real time.
#pragma once

#include "base/failure.h"
#include "platform/audio/audio_output.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tamro::testing {

class VirtualOutput final : public audio::AudioOutput {
public:
    explicit VirtualOutput(audio::OutputFormat format = {}, std::size_t periodFrames = 512)
        : format_(format), period_(periodFrames)
    {
    }

    // What the device holds and has not played: the delay it reports.
    std::int64_t latencyFrames = 0;
    // Makes the open device count as lost. Locked: the engine's decode thread asks while the test sets it.
    void lose(std::string reason)
    {
        std::lock_guard lock(lostMutex_);
        lost_ = std::move(reason);
    }
    // While not empty, opening fails with this reason (no sound server); cleared, the next opening works.
    void refuseOpening(std::string reason)
    {
        std::lock_guard lock(lostMutex_);
        refusal_ = std::move(reason);
    }
    // Whether the engine wants the device closed while idle. Atomic: the decode thread asks while a test sets it.
    std::atomic<bool> closeWhenIdle{true};

    // Pulls `frames` frames, one period at a time as a device would; returns them, interleaved.
    std::vector<float> pull(std::size_t frames)
    {
        std::vector<float> out(frames * static_cast<std::size_t>(format_.channels));
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(period_, frames - done);
            auto block = std::span<float>(out).subspan(done * static_cast<std::size_t>(format_.channels),
                                                         n * static_cast<std::size_t>(format_.channels));
            pulled += static_cast<std::int64_t>(n);  // the device clock runs on as it takes each block
            std::lock_guard lock(renderMutex_);  // close() waits for a render in progress
            if (render_ && open_)
                lastActive = render_(block);
            else
                lastActive = false;
            done += n;
        }
        return out;
    }

    // Lets time pass without a pull, as between two device callbacks.
    void idle(std::int64_t micros) { idleMicros_ += micros; }

    // Atomic: the engine's decode thread reads the clock while the test pulls.
    std::atomic<std::int64_t> pulled{0};  // frames pulled so far
    bool lastActive = false;    // what the last render call answered (false too while the device is closed)
    // Atomic: the engine's decode thread closes the device while the test reads them.
    std::atomic<int> opens{0}, closes{0};
    bool isOpen() const { return open_; }

    audio::OutputFormat format() const override { return format_; }
    std::size_t periodFrames() const override { return period_; }
    void start(Render render) override { render_ = std::move(render); }
    void open() override
    {
        std::lock_guard lock(lostMutex_);
        if (!refusal_.empty())
            throw Failure("Cannot open the audio device: " + refusal_);
        lost_.clear();  // a device opened afresh works
        open_ = true;
        ++opens;
    }
    void close() override
    {
        std::lock_guard lock(renderMutex_);
        if (open_.exchange(false))
            ++closes;
    }
    bool closesWhenIdle() const override { return closeWhenIdle; }
    std::int64_t delayFrames() const override { return latencyFrames; }
    std::int64_t clockMicros() const override { return pulled * 1'000'000 / format_.sampleRate + idleMicros_; }
    std::string lostReason() const override
    {
        std::lock_guard lock(lostMutex_);
        return open_ ? lost_ : std::string();
    }

private:
    audio::OutputFormat format_;
    std::size_t period_;
    Render render_;
    std::atomic<bool> open_{false};
    std::mutex renderMutex_;
    std::atomic<std::int64_t> idleMicros_{0};
    mutable std::mutex lostMutex_;
    std::string lost_;
    std::string refusal_;
};

}  // namespace tamro::testing
