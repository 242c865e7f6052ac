// An AudioOutput on a virtual clock: the test pulls frames by hand, so no engine test waits in real time.
#pragma once

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
    // Makes the device count as lost. Locked: the engine's decode thread asks while the test sets it.
    void lose(std::string reason)
    {
        std::lock_guard lock(lostMutex_);
        lost_ = std::move(reason);
    }

    // Pulls `frames` frames, one period at a time as a device would; returns them, interleaved.
    std::vector<float> pull(std::size_t frames)
    {
        std::vector<float> out(frames * static_cast<std::size_t>(format_.channels));
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(period_, frames - done);
            auto block = std::span<float>(out).subspan(done * static_cast<std::size_t>(format_.channels),
                                                         n * static_cast<std::size_t>(format_.channels));
            pulled += static_cast<std::int64_t>(n);  // the device clock runs on as it takes each block
            if (render_ && !halted_)
                lastActive = render_(block);
            done += n;
        }
        return out;
    }

    // Lets time pass without a pull, as between two device callbacks.
    void idle(std::int64_t micros) { idleMicros_ += micros; }

    // Atomic: the engine's decode thread reads the clock while the test pulls.
    std::atomic<std::int64_t> pulled{0};  // frames pulled so far
    bool lastActive = false;    // what the last render call answered
    int wakes = 0;

    audio::OutputFormat format() const override { return format_; }
    std::size_t periodFrames() const override { return period_; }
    void start(Render render) override { render_ = std::move(render); }
    void halt() override { halted_ = true; }
    std::int64_t delayFrames() const override { return latencyFrames; }
    std::int64_t clockMicros() const override { return pulled * 1'000'000 / format_.sampleRate + idleMicros_; }
    bool renderMayWait() const override { return true; }
    void wake() override { ++wakes; }
    std::string lostReason() const override
    {
        std::lock_guard lock(lostMutex_);
        return lost_;
    }

private:
    audio::OutputFormat format_;
    std::size_t period_;
    Render render_;
    bool halted_ = false;
    std::atomic<std::int64_t> idleMicros_{0};
    mutable std::mutex lostMutex_;
    std::string lost_;
};

}  // namespace tamro::testing
