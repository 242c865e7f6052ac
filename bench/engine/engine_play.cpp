// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one file (or a test tone) to its end through the engine and SDL, as the player would: the
// whole-process CPU benchmark runs this beside mpg123.
#include "bench/engine/ui_events.h"
#include "platform/audio/engine.h"
#include "platform/audio/sdl_output.h"
#include "support/sine_decoder.h"
#include "platform/audio/open_decoder.h"

#include <cstdlib>
#include <cstdio>
#include <functional>
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

    tamro::bench::UiEvents ui;
    tamro::audio::Engine::DecoderFactory open = [toneSeconds](const std::string& p, const tamro::audio::OutputFormat& f)
        -> std::unique_ptr<tamro::audio::Decoder> {
        if (toneSeconds > 0.0)
            return std::make_unique<tamro::testing::SineDecoder>(440.0, static_cast<std::int64_t>(toneSeconds * f.sampleRate), f);
        return tamro::audio::openDecoder(p, f);
    };
    try {
        tamro::audio::Engine engine(std::make_unique<tamro::audio::SdlOutput>(buffer), open, ui.poster());
        bool ended = false;
        engine.setEndOfTrackHandler([&](std::int32_t) { ended = true; });
        engine.setDeviceLostHandler([](const std::string& why) {
            std::fprintf(stderr, "engine_play: %s\n", why.c_str());
            std::exit(1);
        });
        engine.setFileName(path.empty() ? "tone" : path);
        ui.runUntil([&] { return ended; });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine_play: %s\n", e.what());
        return 1;
    }
    return 0;
}
