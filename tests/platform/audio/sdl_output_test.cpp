// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/engine.h"
#include "platform/audio/sdl_output.h"

#include "support/sine_decoder.h"
#include "support/tone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <csignal>
#include <signal.h>
#include <unistd.h>

namespace tamro::audio {
namespace {

using namespace std::chrono_literals;

// Through real SDL with the disk driver: the samples written to the file are the track's tone, all of it.
TEST(SdlOutput, TheDiskDriverReceivesTheWholeToneAndTheTrackEnds)
{
    const auto file = std::filesystem::temp_directory_path() / ("tamro-disk-audio-" + std::to_string(getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);

    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    int ends = 0;
    OutputFormat format;
    constexpr double toneSeconds = 0.3;
    {
        auto output = std::make_unique<SdlOutput>(1024);
        format = output->format();
        ASSERT_EQ(format.channels, 2);
        Engine engine(
            std::move(output),
            [](const std::string&, const OutputFormat& f) {
                return std::make_unique<testing::SineDecoder>(440.0, static_cast<std::int64_t>(toneSeconds * f.sampleRate), f);
            },
            [&](std::function<void()> f) {
                std::lock_guard lock(mutex);
                posted.push_back(std::move(f));
            });
        engine.setEndOfTrackHandler([&](std::int32_t) { ++ends; });
        engine.setFileName("tone");
        for (auto deadline = std::chrono::steady_clock::now() + 5s; ends == 0 && std::chrono::steady_clock::now() < deadline;) {
            std::this_thread::sleep_for(10ms);
            std::vector<std::function<void()>> now;
            {
                std::lock_guard lock(mutex);
                now.swap(posted);
            }
            for (auto& f : now)
                f();
        }
        EXPECT_EQ(ends, 1);
        // The end comes as the last frame goes to the device; the position reaches the length as it is heard.
        for (auto deadline = std::chrono::steady_clock::now() + 1s;
             engine.position() < engine.length() && std::chrono::steady_clock::now() < deadline;)
            std::this_thread::sleep_for(1ms);
        EXPECT_DOUBLE_EQ(engine.position(), engine.length());
    }

    std::ifstream in(file, std::ios::binary);
    std::vector<float> samples((std::filesystem::file_size(file)) / sizeof(float));
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(float)));
    std::filesystem::remove(file);
    const auto left = testing::channel(samples, 2);
    const auto first = std::find_if(left.begin(), left.end(), [](float s) { return s != 0.0f; });
    const auto last = std::find_if(left.rbegin(), left.rend(), [](float s) { return s != 0.0f; }).base();
    ASSERT_LT(first, last) << "the disk file holds sound";
    const std::span<const float> tone(&*first, static_cast<std::size_t>(last - first));
    EXPECT_NEAR(static_cast<double>(tone.size()), toneSeconds * format.sampleRate, 2.0) << "every frame, once";
    EXPECT_NEAR(testing::dominantFrequency(tone, format.sampleRate), 440.0, 1.0);
}

// Which threads called render, in order, for a real SDL output.
class RenderLog {
public:
    explicit RenderLog(SdlOutput& output)
    {
        output.start([this](std::span<float> out) {
            std::fill(out.begin(), out.end(), 0.0f);
            std::lock_guard lock(mutex_);
            threads_.push_back(std::this_thread::get_id());
            return true;
        });
    }
    std::size_t size()
    {
        std::lock_guard lock(mutex_);
        return threads_.size();
    }
    // Waits (at most 10 s) until there have been `calls` calls.
    bool reaches(std::size_t calls)
    {
        for (auto deadline = std::chrono::steady_clock::now() + 10s; size() < calls;) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    // The threads that rendered from the call `from` on.
    std::set<std::thread::id> threadsFrom(std::size_t from)
    {
        std::lock_guard lock(mutex_);
        return {threads_.begin() + static_cast<std::ptrdiff_t>(std::min(from, threads_.size())), threads_.end()};
    }
    std::thread::id first()
    {
        std::lock_guard lock(mutex_);
        return threads_.front();
    }

private:
    std::mutex mutex_;
    std::vector<std::thread::id> threads_;
};

bool atPulseAudio()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver != nullptr && std::string(driver) == "pulseaudio";
}

// SDL's device thread may run before the unpause and send a buffer of silence ahead of the first sound. The first
// opening here surely lets it go first: it finds the device paused (the dummy driver then sleeps a buffer, a sound
// server's waits until the server wants more). At a sound server that device is replaced by a second one, and
// only its successor renders; the dummy driver opens one device at a time, and the first one must still play.
void expectASilentStartPlays(bool replaced)
{
    int openings = 0;
    SdlOutput output(SdlOutput::defaultBufferFrames, [&] {
        if (openings++ == 0)
            std::this_thread::sleep_for(100ms);
    });
    RenderLog renders(output);
    output.open();
    EXPECT_EQ(openings, replaced ? 2 : 1);
    EXPECT_EQ(output.replacedOpenings(), replaced ? 1 : 0);
    EXPECT_TRUE(renders.reaches(3));
    output.close();
    EXPECT_EQ(renders.threadsFrom(0).size(), 1u) << "only the device kept renders";
}

TEST(SdlOutput, ADeviceThatStartedSilentStillPlaysWhereNoSecondOneOpens)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    expectASilentStartPlays(false);
}

// Run by the SdlOutputAtPulseAudio test, beside a private server.
TEST(SdlOutputAtPulseAudio, ADeviceThatStartedSilentIsReplaced)
{
    if (!atPulseAudio())
        GTEST_SKIP() << "needs a PulseAudio server (with_pulse.sh)";
    expectASilentStartPlays(true);
}

// Closing a device takes SDL two buffers (340 ms): a start meanwhile opens a new device at once, and the closing
// one renders nothing once close() has returned.
TEST(SdlOutputAtPulseAudio, AStartWhileTheLastDeviceClosesDoesNotWaitForIt)
{
    if (!atPulseAudio())
        GTEST_SKIP() << "needs a PulseAudio server (with_pulse.sh)";
    SdlOutput output;
    RenderLog renders(output);
    output.open();
    ASSERT_TRUE(renders.reaches(1));
    output.close();
    const std::size_t before = renders.size();
    output.open();
    EXPECT_GE(output.closingDevices(), 1u) << "the start waited for the last device to close";
    ASSERT_TRUE(renders.reaches(before + 3));
    output.close();
    const std::set<std::thread::id> after = renders.threadsFrom(before);
    EXPECT_EQ(after.size(), 1u) << "only the new device renders";
    EXPECT_EQ(after.count(renders.first()), 0u);
}

TEST(SdlOutput, LeavesTheTerminationSignalsToTheProgram)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlOutput output(1024);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        sigaction(signal, nullptr, &current);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << "signal " << signal;
    }
}

}  // namespace
}  // namespace tamro::audio
