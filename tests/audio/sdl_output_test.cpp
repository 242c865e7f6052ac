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

// SDL's device thread may run before the unpause and send a buffer of silence ahead of the first sound; the
// device is then replaced by a second one where the driver allows two (a sound server). The dummy driver opens one
// device at a time: the first one must still play.
TEST(SdlOutput, ADeviceThatStartedSilentStillPlaysWhereNoSecondOneOpens)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    int openings = 0;
    // The first time, SDL's thread surely goes first: it finds the device paused and sleeps a buffer (170 ms).
    SdlOutput output(SdlOutput::defaultBufferFrames, [&] {
        if (openings++ == 0)
            std::this_thread::sleep_for(100ms);
    });
    std::mutex mutex;
    std::set<std::thread::id> renderers;
    int renders = 0;
    output.start([&](std::span<float> out) {
        std::fill(out.begin(), out.end(), 0.0f);
        std::lock_guard lock(mutex);
        renderers.insert(std::this_thread::get_id());
        ++renders;
        return true;
    });
    output.open();
    EXPECT_EQ(output.replacedOpenings(), 0);
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(10ms);
        std::lock_guard lock(mutex);
        if (renders >= 2)
            break;
    }
    output.close();
    std::lock_guard lock(mutex);
    EXPECT_GE(renders, 2);
    EXPECT_EQ(renderers.size(), 1u);
}

// At a sound server two devices open: the one that started silent is replaced, and only its successor renders.
// Run by the SdlOutputAtPulseAudio test, beside a private server.
TEST(SdlOutputAtPulseAudio, ADeviceThatStartedSilentIsReplaced)
{
    if (std::getenv("SDL_AUDIODRIVER") == nullptr || std::string(std::getenv("SDL_AUDIODRIVER")) != "pulseaudio")
        GTEST_SKIP() << "needs a PulseAudio server (with_pulse.sh)";
    int openings = 0;
    SdlOutput output(SdlOutput::defaultBufferFrames, [&] {
        if (openings++ == 0)
            std::this_thread::sleep_for(100ms);
    });
    std::mutex mutex;
    std::set<std::thread::id> renderers;
    int renders = 0;
    output.start([&](std::span<float> out) {
        std::fill(out.begin(), out.end(), 0.0f);
        std::lock_guard lock(mutex);
        renderers.insert(std::this_thread::get_id());
        ++renders;
        return true;
    });
    output.open();
    EXPECT_EQ(openings, 2);
    EXPECT_EQ(output.replacedOpenings(), 1);
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(10ms);
        std::lock_guard lock(mutex);
        if (renders >= 4)
            break;
    }
    output.close();
    std::lock_guard lock(mutex);
    EXPECT_GE(renders, 4);
    EXPECT_EQ(renderers.size(), 1u) << "the replaced device renders nothing";
}

// Closing a device takes SDL two buffers (340 ms): a start meanwhile opens a new device at once, and the closing
// one renders nothing once close() has returned.
TEST(SdlOutputAtPulseAudio, AStartWhileTheLastDeviceClosesDoesNotWaitForIt)
{
    if (std::getenv("SDL_AUDIODRIVER") == nullptr || std::string(std::getenv("SDL_AUDIODRIVER")) != "pulseaudio")
        GTEST_SKIP() << "needs a PulseAudio server (with_pulse.sh)";
    SdlOutput output;
    std::mutex mutex;
    std::vector<std::thread::id> renderers;
    output.start([&](std::span<float> out) {
        std::fill(out.begin(), out.end(), 0.0f);
        std::lock_guard lock(mutex);
        renderers.push_back(std::this_thread::get_id());
        return true;
    });
    const auto rendersBy = [&](std::size_t atLeast) {
        for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(5ms)) {
            std::lock_guard lock(mutex);
            if (renderers.size() >= atLeast)
                return true;
        }
        return false;
    };
    output.open();
    ASSERT_TRUE(rendersBy(1));
    output.close();
    std::size_t before = 0;
    {
        std::lock_guard lock(mutex);
        before = renderers.size();
    }
    output.open();
    EXPECT_GE(output.closingDevices(), 1u) << "the start waited for the last device to close";
    ASSERT_TRUE(rendersBy(before + 3));
    output.close();
    std::lock_guard lock(mutex);
    const std::set<std::thread::id> after(renderers.begin() + static_cast<std::ptrdiff_t>(before), renderers.end());
    EXPECT_EQ(after.size(), 1u) << "only the new device renders";
    EXPECT_EQ(after.count(renderers.front()), 0u);
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
