// SPDX-License-Identifier: GPL-3.0-or-later
// An AudioOutput that hands every call to a real one: tests and benchmarks derive from it to see what is rendered.
#pragma once

#include "platform/audio/audio_output.h"

#include <memory>
#include <utility>

namespace tamro::testing {

class ForwardingOutput : public audio::AudioOutput {
public:
    explicit ForwardingOutput(std::unique_ptr<audio::AudioOutput> device) : device_(std::move(device)) {}

    audio::OutputFormat format() const override { return device_->format(); }
    std::size_t periodFrames() const override { return device_->periodFrames(); }
    void start(Render render) override { device_->start(std::move(render)); }
    void open() override { device_->open(); }
    void close() override { device_->close(); }
    bool closesWhenIdle() const override { return device_->closesWhenIdle(); }
    std::int64_t delayFrames() const override { return device_->delayFrames(); }
    std::int64_t clockMicros() const override { return device_->clockMicros(); }
    std::string lostReason() const override { return device_->lostReason(); }

protected:
    audio::AudioOutput& device() { return *device_; }
    const audio::AudioOutput& device() const { return *device_; }

private:
    std::unique_ptr<audio::AudioOutput> device_;
};

}  // namespace tamro::testing
