// SPDX-License-Identifier: GPL-3.0-or-later
// Times what MIDI playback costs: loading the SoundFont, opening a file up to a known length, seeking in it
// and rendering it, on generated songs shaped like real General MIDI files.
#include "platform/audio/midi_decoder.h"
#include "platform/audio/soundfont.h"
#include "platform/audio/synth_host.h"

#include "support/smf_writer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

using namespace tamro;
using testing::Bytes;
using testing::TrackWriter;

constexpr audio::OutputFormat format{48000, 2};

// A format 1 song of `minutes` at about 120 bpm: a conductor track with a tempo change every 8 bars and
// `channels` instrument tracks (drums on channel 10) playing eighth notes with controller and pitch-bend
// traffic. All 16 channels make a stress case: long release tails pile up to some 185 voices.
Bytes song(int minutes, int channels = 16)
{
    constexpr int ppq = 480;
    const int eighths = minutes * 60 * 4;
    std::vector<TrackWriter> tracks(static_cast<std::size_t>(channels) + 1);
    for (int bar = 0; bar < eighths / 8; bar += 8)
        tracks[0].tempo(bar == 0 ? 0 : 8 * 4 * ppq, bar % 16 == 0 ? 500000 : 480000);
    tracks[0].end();
    for (int channel = 0; channel < channels; ++channel) {
        TrackWriter& t = tracks[static_cast<std::size_t>(channel) + 1];
        t.program(0, channel, (channel * 8) % 128).raw(0, {static_cast<std::uint8_t>(0xB0 | channel), 7, 100});
        t.raw(0, {static_cast<std::uint8_t>(0xB0 | channel), 10, static_cast<std::uint8_t>(channel * 8)});
        for (int i = 0; i < eighths; ++i) {
            const int key = channel == 9 ? 35 + (i % 12) : 48 + ((i * 7 + channel * 3) % 24);
            t.noteOn(0, channel, key, 70 + (i % 40));
            if (i % 4 == 0)
                t.raw(60, {static_cast<std::uint8_t>(0xE0 | channel), 0, static_cast<std::uint8_t>(64 + (i % 8))})
                    .noteOff(ppq / 2 - 60, channel, key);
            else
                t.noteOff(ppq / 2, channel, key);
        }
        t.end();
    }
    return testing::smfFile(1, ppq, tracks);
}

const Bytes& fiveMinuteSong()
{
    static const Bytes bytes = song(5);
    return bytes;
}

// Runs first: the SoundFont load a process pays once, on its first MIDI file.
void SoundFontFirstLoad(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(audio::SynthHost::shared(format.sampleRate));
}
BENCHMARK(SoundFontFirstLoad)->Iterations(1)->Unit(benchmark::kMillisecond);

// Loading it again into another synthesizer: FluidSynth shares the sample data, the presets are parsed anew.
void SoundFontReload(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(audio::SynthHost::load(audio::defaultSoundFontFolder, format.sampleRate));
}
BENCHMARK(SoundFontReload)->Unit(benchmark::kMillisecond);

// File name set -> length known, with the SoundFont loaded: read the file, parse, tempo-map every event.
void OpenToLength(benchmark::State& state)
{
    const Bytes bytes = song(static_cast<int>(state.range(0)));
    const auto path = std::filesystem::temp_directory_path() / "tamro-midi-bench.mid";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    audio::SynthHost::shared(format.sampleRate);
    for (auto _ : state) {
        std::ifstream in(path, std::ios::binary);
        Bytes file(std::filesystem::file_size(path));
        in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
        benchmark::DoNotOptimize(audio::openMidiDecoder(file, path.string(), format)->lengthFrames());
    }
    state.counters["file_kB"] = static_cast<double>(bytes.size()) / 1000.0;
    std::filesystem::remove(path);
}
BENCHMARK(OpenToLength)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

// A seek in the middle of the five-minute song and the first device buffer after it.
void SeekAndFirstBuffer(benchmark::State& state)
{
    const auto decoder = audio::openMidiDecoder(fiveMinuteSong(), "song.mid", format);
    std::vector<float> buffer(2 * 1024);
    for (auto _ : state) {
        decoder->seek(decoder->lengthFrames() / 2);
        benchmark::DoNotOptimize(decoder->read(buffer.data(), 1024));
    }
}
BENCHMARK(SeekAndFirstBuffer)->Unit(benchmark::kMillisecond);

// Rendering speed, as the engine reads: 4096 frames at a time, for a song of `channels` instruments (a small
// band: 4; the stress case: 16). x_realtime = seconds of sound per second of CPU.
void Render(benchmark::State& state)
{
    const auto decoder = audio::openMidiDecoder(song(5, static_cast<int>(state.range(0))), "song.mid", format);
    std::vector<float> buffer(2 * 4096);
    std::int64_t frames = 0;
    decoder->seek(format.sampleRate * 30);  // well into the song, all voices busy
    for (auto _ : state) {
        std::size_t n = decoder->read(buffer.data(), 4096);
        if (n == 0) {
            decoder->seek(format.sampleRate * 30);
            n = decoder->read(buffer.data(), 4096);
        }
        frames += static_cast<std::int64_t>(n);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / format.sampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(Render)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
