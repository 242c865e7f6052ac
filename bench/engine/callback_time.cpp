// SPDX-License-Identifier: GPL-3.0-or-later
// How long the device callback runs: the duration of every render call while the engine plays one long file,
// or a list of files one after another as the advance would (the next one loaded when the end comes). Prints
// the count, median, 99th and 99.9th percentile and maximum in microseconds. Built also against older engines
// (the output interface they had), so that one run can compare them.
#include "bench/engine/ui_events.h"
#include "platform/audio/engine.h"
#include "platform/audio/open_decoder.h"
#include "platform/audio/sdl_output.h"

#include <algorithm>
#include <ctime>
#include <exception>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tamro::audio::AudioOutput;

double threadCpuMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Wraps the real output and times each render call on the device's thread, into storage reserved up front.
class TimingOutput final : public AudioOutput {
public:
    explicit TimingOutput(std::unique_ptr<AudioOutput> device) : device_(std::move(device))
    {
        micros.reserve(1 << 20);
        cpuMicros.reserve(1 << 20);
    }

    tamro::audio::OutputFormat format() const override { return device_->format(); }
    std::size_t periodFrames() const override { return device_->periodFrames(); }
    void start(Render render) override
    {
        device_->start([this, render = std::move(render)](std::span<float> out) {
            const auto t0 = Clock::now();
            const double cpu0 = threadCpuMicros();
            const bool active = render(out);
            if (recording && micros.size() < micros.capacity()) {
                micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
                cpuMicros.push_back(threadCpuMicros() - cpu0);
            }
            return active;
        });
    }
    std::int64_t delayFrames() const override { return device_->delayFrames(); }
    std::int64_t clockMicros() const override { return device_->clockMicros(); }
    std::string lostReason() const override { return device_->lostReason(); }
#if __has_include("platform/audio/thread_rules.h")
    void open() override { device_->open(); }
    void close() override { device_->close(); }
    bool closesWhenIdle() const override { return device_->closesWhenIdle(); }
#else
    void halt() override { device_->halt(); }
    bool renderMayWait() const override { return device_->renderMayWait(); }
    void wake() override { device_->wake(); }
#endif

    // Wall time and the device thread's own CPU time of each call (the difference is time the thread was not
    // running: waiting, or preempted on a busy machine). Written by the device's thread only, read once
    // recording has stopped.
    std::vector<double> micros;
    std::vector<double> cpuMicros;
    std::atomic<bool> recording{true};

private:
    std::unique_ptr<AudioOutput> device_;
};

double at(const std::vector<double>& sorted, double fraction)
{
    if (sorted.empty())
        return 0.0;
    const auto i = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(i, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files(argv + 1, argv + argc);
    if (files.empty()) {
        std::fprintf(stderr, "usage: engine_callback_time FILE...   (played one after another to the end)\n");
        return 2;
    }
    tamro::bench::UiEvents ui;
    std::vector<double> micros, cpuMicros;
    try {
        auto timing = std::make_unique<TimingOutput>(std::make_unique<tamro::audio::SdlOutput>());
        TimingOutput* output = timing.get();
        tamro::audio::Engine engine(std::move(timing), &tamro::audio::openDecoder, ui.poster());
        std::size_t next = 0;
        bool over = false;
        // As the window does: after each start, the engine is told which file comes next.
        const auto expectNext = [&] { engine.expectNext(next < files.size() ? files[next] : std::string()); };
        engine.setEndOfTrackHandler([&](std::int32_t) {
            if (next < files.size())
                engine.setFileName(files[next++]);
            else
                over = true;
            expectNext();
        });
        engine.setFileName(files[next++]);
        expectNext();
        ui.runUntil([&] { return over; });
        // Let the tail play out, then stop recording; the device may still call back while it is open.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        output->recording = false;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        micros = output->micros;
        cpuMicros = output->cpuMicros;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_callback_time: %s\n", e.what());
        return 1;
    }
    // Which call was the slowest: the first after an opening pays for memory touched for the first time.
    if (!cpuMicros.empty())
        std::printf("slowest call: number %td of %zu\n",
                    std::max_element(cpuMicros.begin(), cpuMicros.end()) - cpuMicros.begin() + 1, cpuMicros.size());
    for (auto* v : {&micros, &cpuMicros}) {
        std::sort(v->begin(), v->end());
        std::printf("%s: %zu render calls; median %.1f us, p99 %.1f us, p99.9 %.1f us, max %.1f us\n",
                    v == &micros ? "wall" : "thread CPU", v->size(), at(*v, 0.5), at(*v, 0.99), at(*v, 0.999),
                    v->empty() ? 0.0 : v->back());
    }
    return 0;
}
