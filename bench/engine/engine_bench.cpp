// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the engine's hot paths: position() as the 1 ms timers call it, and one device buffer
// rendered from the ring.
#include "platform/audio/engine.h"
#include "support/sine_decoder.h"
#include "support/virtual_output.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using namespace tamro;

struct Playing {
    testing::VirtualOutput* out = nullptr;
    std::unique_ptr<audio::Engine> engine;

    explicit Playing(std::size_t period)
    {
        auto output = std::make_unique<testing::VirtualOutput>(audio::OutputFormat{48000, 2}, period);
        out = output.get();
        output->latencyFrames = static_cast<std::int64_t>(period);
        engine = std::make_unique<audio::Engine>(
            std::move(output),
            [](const std::string&, const audio::OutputFormat& f) {
                return std::make_unique<testing::SineDecoder>(440.0, 3600LL * f.sampleRate, f);
            },
            [](std::function<void()>) {});
        engine->setFileName("tone");
        engine->waitUntilBuffered(std::chrono::seconds(5));
    }
};

// The UI thread reads the position while the audio thread keeps publishing it.
void BM_Position(benchmark::State& state)
{
    Playing p(512);
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (!done.load()) {
            p.out->pull(512);
            p.engine->waitUntilBuffered(std::chrono::seconds(1));
        }
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(p.engine->position());
    done = true;
    device.join();
}
BENCHMARK(BM_Position);

// One render call of a 4096-frame device buffer (the ring refilled outside the timing).
void BM_RenderBuffer(benchmark::State& state)
{
    Playing p(4096);
    for (auto _ : state) {
        benchmark::DoNotOptimize(p.out->pull(4096));
        state.PauseTiming();
        p.engine->waitUntilBuffered(std::chrono::seconds(1));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_RenderBuffer);

}  // namespace

BENCHMARK_MAIN();
