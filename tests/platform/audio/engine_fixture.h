// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's tests: an engine on a virtual output, on a virtual clock, with the UI thread's event queue run by
// hand.
#pragma once

#include "platform/audio/engine.h"

#include "base/failure.h"
#include "support/sine_decoder.h"
#include "support/tone.h"
#include "support/virtual_output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace tamro::audio::engine_testing {

using testing::VirtualOutput;
using namespace std::chrono_literals;

constexpr int rate = 48000;

struct Tone {
    double frequency;
    std::int64_t frames;
    std::int64_t endEarlyAt = -1;
};

// An engine on a virtual output, with the UI thread's event queue run by hand.
class EngineTest : public ::testing::Test {
protected:
    std::map<std::string, Tone> files{
        {"/music/a440.wav", {440.0, rate}},          // 1 s
        {"/music/b1000.wav", {1000.0, 2 * rate}},    // 2 s
        {"/music/short.wav", {440.0, 4800}},         // 0.1 s
        {"/music/corrupt.mp3", {440.0, 9600, 4000}}, // claims 0.2 s, decodes 4000 frames
        {"/music/empty.wav", {440.0, 0}},
        {"/music/tiny.wav", {1000.0, 320}},          // fills the rest of a block behind short.wav
    };
    VirtualOutput* out = nullptr;
    std::unique_ptr<Engine> engine;
    int ends = 0;
    std::atomic<int> opened{0};  // files opened, by the UI thread or the decode thread
    // Runs what the engine posts to the UI thread at once, inside the callback, as if the UI thread answered
    // before the callback's patience ran out.
    bool postAtOnce = false;

    void SetUp() override
    {
        auto output = std::make_unique<VirtualOutput>(OutputFormat{rate, 2}, 512);
        out = output.get();
        engine = std::make_unique<Engine>(
            std::move(output),
            [this](const std::string& path, const OutputFormat& format) -> std::unique_ptr<Decoder> {
                ++opened;
                const auto it = files.find(path);
                if (it == files.end())
                    throw Failure("Cannot open '" + path + "': no such file");
                return std::make_unique<testing::SineDecoder>(it->second.frequency, it->second.frames, format,
                                                              it->second.endEarlyAt);
            },
            [this](std::function<void()> f) {
                if (postAtOnce)
                    return f();
                std::lock_guard lock(postedMutex);
                posted.push_back(std::move(f));
            });
        engine->setEndOfTrackHandler([this](std::int32_t) { ++ends; });
    }

    // Runs what was posted to the UI thread so far.
    void runEvents()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(postedMutex);
            now.swap(posted);
        }
        for (auto& f : now)
            f();
    }

    // Pulls frames as the device would, letting the decode thread keep up in between and post what is due.
    std::vector<float> pull(std::int64_t frames)
    {
        std::vector<float> all;
        while (frames > 0) {
            EXPECT_TRUE(engine->waitUntilBuffered(5s));
            const auto n = std::min<std::int64_t>(frames, 16384);
            auto got = out->pull(static_cast<std::size_t>(n));
            all.insert(all.end(), got.begin(), got.end());
            frames -= n;
        }
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        return all;
    }

    static double seconds(std::int64_t frames) { return static_cast<double>(frames) / rate; }

    std::mutex postedMutex;
    std::vector<std::function<void()>> posted;
};

}  // namespace tamro::audio::engine_testing
