// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-process figure: time from setting the file name to its first sound at the sound server (the engine
// opening the device on demand), for the engine over SDL and, for reference, for mpg123 started on an MP3.
// Needs a PulseAudio server with a "null" sink (bench/engine/run-pulse-benchmarks). Also checks the position
// against what the server played.
#include "bench/engine/capture.h"
#include "platform/audio/engine.h"
#include "platform/audio/sdl_output.h"
#include "support/sine_decoder.h"
#include "platform/audio/open_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using namespace std::chrono_literals;
using tamro::bench::Clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    std::size_t buffer = tamro::audio::SdlOutput::defaultBufferFrames;
    int runs = 9;
    std::string mp3;
    int settleMs = 2000;
    int restMs = 1500;  // from a Stop to the next start
    std::string track = "tone";  // or a file, opened by the real decoders
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--buffer")
            buffer = std::stoul(argv[i + 1]);
        else if (a == "--runs")
            runs = std::stoi(argv[i + 1]);
        else if (a == "--file")
            track = argv[i + 1];
        else if (a == "--rest")
            restMs = std::stoi(argv[i + 1]);
        else if (a == "--settle")
            settleMs = std::stoi(argv[i + 1]);
        else if (a == "--mpg123")
            mp3 = argv[i + 1];
    }
    constexpr int captureRate = 48000;
    tamro::bench::Capture capture(captureRate);
    std::this_thread::sleep_for(300ms);

    std::vector<double> engineMs, mpgMs, positionErrorMs, switchMs;
    {
        auto output = std::make_unique<tamro::audio::SdlOutput>(buffer);
        const auto* sdl = output.get();
        const int rate = output->format().sampleRate;
        std::printf("track: %s\n", track.c_str());
        std::printf("SDL device: %d Hz, %zu-frame buffer (%.1f ms)\n", rate, output->periodFrames(),
                    1000.0 * static_cast<double>(output->periodFrames()) / rate);
        tamro::audio::Engine engine(
            std::move(output),
            [](const std::string& path, const tamro::audio::OutputFormat& f) -> std::unique_ptr<tamro::audio::Decoder> {
                // "silence" is a track of zeros: playing it keeps the device fed, as a quiet passage would.
                if (path == "silence" || path == "tone")
                    return std::make_unique<tamro::testing::SineDecoder>(path == "silence" ? 0.0 : 440.0, 10LL * f.sampleRate, f);
                return tamro::audio::openDecoder(path, f);
            },
            [](std::function<void()>) {});
        // The player is started well before its first track; the output goes idle meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        for (int r = 0; r < runs; ++r) {
            capture.rearm();
            const auto t0 = Clock::now();
            engine.setFileName(track);
            const auto returned = Clock::now();
            while (engine.position() == 0.0 && Clock::now() - t0 < 2s)
                std::this_thread::yield();
            const auto rendered = Clock::now();  // the first callback after the file name has run
            Clock::time_point heard;
            if (!capture.waitForSound(heard, 2s)) {
                std::printf("engine run %d: no sound within 2 s\n", r);
                continue;
            }
            engineMs.push_back(ms(heard - t0));
            std::printf("  run %d: %.1f ms (setFileName returned after %.1f ms, first callback after %.1f ms)\n", r,
                        engineMs.back(), ms(returned - t0), ms(rendered - t0));
            // After a second of sound, compare the position with what the server played.
            std::this_thread::sleep_for(1s);
            const double played = static_cast<double>(capture.soundFrames()) / captureRate;
            positionErrorMs.push_back(1000.0 * (engine.position() - played));
            engine.stop();
            // By default long enough for the engine to close the rested device: each run opens it on demand, as
            // a start after the player has idled does. With --rest 600 the start meets the closing.
            std::this_thread::sleep_for(std::chrono::milliseconds(restMs));
        }
        std::printf("devices replaced because SDL's thread sent silence before the unpause: %d of %d openings\n",
                    sdl->replacedOpenings(), runs);
        // A new file name while another track plays: its sound queues behind what the device already holds.
        for (int r = 0; r < runs; ++r) {
            engine.setFileName("silence");
            std::this_thread::sleep_for(1s);
            capture.rearm();
            const auto t0 = Clock::now();
            engine.setFileName(track);
            Clock::time_point heard;
            if (capture.waitForSound(heard, 2s))
                switchMs.push_back(ms(heard - t0));
            engine.stop();
            std::this_thread::sleep_for(500ms);
        }
    }
    if (!mp3.empty()) {
        for (int r = 0; r < runs; ++r) {
            capture.rearm();
            const auto t0 = Clock::now();
            const pid_t pid = tamro::bench::spawn({"mpg123", "-q", "-o", "pulse", mp3});
            Clock::time_point heard;
            if (capture.waitForSound(heard, 2s))
                mpgMs.push_back(ms(heard - t0));
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            std::this_thread::sleep_for(500ms);
        }
    }
    std::printf("engine first sound after setFileName: median %.1f ms (min %.1f, max %.1f, %zu runs)\n",
                median(engineMs), engineMs.empty() ? 0 : *std::min_element(engineMs.begin(), engineMs.end()),
                engineMs.empty() ? 0 : *std::max_element(engineMs.begin(), engineMs.end()), engineMs.size());
    std::printf("engine position minus what the server played, after 1 s: median %+.1f ms (min %+.1f, max %+.1f)\n",
                median(positionErrorMs),
                positionErrorMs.empty() ? 0 : *std::min_element(positionErrorMs.begin(), positionErrorMs.end()),
                positionErrorMs.empty() ? 0 : *std::max_element(positionErrorMs.begin(), positionErrorMs.end()));
    std::printf("engine sound of a new file name while another track plays: median %.1f ms (max %.1f)\n",
                median(switchMs), switchMs.empty() ? 0 : *std::max_element(switchMs.begin(), switchMs.end()));
    if (!mp3.empty())
        std::printf("mpg123 first sound after start: median %.1f ms (%zu runs); engine/mpg123 = %.2f\n", median(mpgMs),
                    mpgMs.size(), median(engineMs) / median(mpgMs));
    return engineMs.empty() ? 1 : 0;
}
