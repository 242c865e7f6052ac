// Plays one file (or a test tone) to its end through the engine and SDL, as the player would: the
// whole-process CPU benchmark runs this beside mpg123.
#include "platform/audio/engine.h"
#include "platform/audio/sdl_output.h"
#include "support/sine_decoder.h"
#include "platform/audio/open_decoder.h"

#include <condition_variable>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

int main(int argc, char** argv)
{
    std::size_t buffer = tamro::audio::SdlOutput::defaultBufferFrames;
    double toneSeconds = 0.0;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--buffer" && i + 1 < argc)
            buffer = std::stoul(argv[++i]);
        else if (a == "--tone" && i + 1 < argc)
            toneSeconds = std::stod(argv[++i]);
        else
            path = a;
    }
    if (path.empty() && toneSeconds <= 0.0) {
        std::fprintf(stderr, "usage: engine_play [--buffer FRAMES] (FILE | --tone SECONDS)\n");
        return 2;
    }

    // The UI thread's event queue.
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> events;
    auto post = [&](std::function<void()> f) {
        {
            std::lock_guard lock(mutex);
            events.push_back(std::move(f));
        }
        posted.notify_one();
    };
    tamro::audio::Engine::DecoderFactory open = [toneSeconds](const std::string& p, const tamro::audio::OutputFormat& f)
        -> std::unique_ptr<tamro::audio::Decoder> {
        if (toneSeconds > 0.0)
            return std::make_unique<tamro::testing::SineDecoder>(440.0, static_cast<std::int64_t>(toneSeconds * f.sampleRate), f);
        return tamro::audio::openDecoder(p, f);
    };
    try {
        tamro::audio::Engine engine(std::make_unique<tamro::audio::SdlOutput>(buffer), open, post);
        bool ended = false;
        engine.setEndOfTrackHandler([&](std::int32_t) { ended = true; });
        engine.setDeviceLostHandler([](const std::string& why) {
            std::fprintf(stderr, "engine_play: %s\n", why.c_str());
            std::exit(1);
        });
        engine.setFileName(path.empty() ? "tone" : path);
        while (!ended) {
            std::unique_lock lock(mutex);
            posted.wait(lock, [&] { return !events.empty(); });
            auto f = std::move(events.front());
            events.pop_front();
            lock.unlock();
            f();
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_play: %s\n", e.what());
        return 1;
    }
    return 0;
}
