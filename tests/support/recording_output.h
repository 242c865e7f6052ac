// SPDX-License-Identifier: GPL-3.0-or-later
// Wraps a real AudioOutput and keeps every rendered block with the moment it was rendered, so a test can tell
// how long the listener waited between two sounds, including time the device spent resting.
#pragma once

#include "support/forwarding_output.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tamro::testing {

class RecordingOutput final : public ForwardingOutput {
public:
    using Clock = std::chrono::steady_clock;

    struct Block {
        Clock::time_point renderedAt;
        std::int64_t firstFrame;  // index in the recording
        std::int64_t frames;
    };

    explicit RecordingOutput(std::unique_ptr<audio::AudioOutput> device) : ForwardingOutput(std::move(device)) {}

    void start(Render render) override
    {
        device().start([this, render = std::move(render)](std::span<float> out) {
            const auto at = Clock::now();
            const bool active = render(out);
            std::lock_guard lock(mutex_);
            const auto channels = static_cast<std::size_t>(format().channels);
            blocks_.push_back({at, static_cast<std::int64_t>(samples_.size() / channels),
                               static_cast<std::int64_t>(out.size() / channels)});
            samples_.insert(samples_.end(), out.begin(), out.end());
            return active;
        });
    }

    std::vector<float> samples() const
    {
        std::lock_guard lock(mutex_);
        return samples_;
    }
    std::vector<Block> blocks() const
    {
        std::lock_guard lock(mutex_);
        return blocks_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<float> samples_;
    std::vector<Block> blocks_;
};

// When a recorded frame was rendered: its block's moment plus its offset at the device's rate.
inline RecordingOutput::Clock::time_point renderedAt(const std::vector<RecordingOutput::Block>& blocks,
                                                     std::int64_t frame, int sampleRate)
{
    for (const auto& b : blocks)
        if (frame >= b.firstFrame && frame < b.firstFrame + b.frames)
            return b.renderedAt
                   + std::chrono::duration_cast<RecordingOutput::Clock::duration>(
                       std::chrono::duration<double>(static_cast<double>(frame - b.firstFrame) / sampleRate));
    return {};
}

}  // namespace tamro::testing
