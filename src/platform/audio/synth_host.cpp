// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/synth_host.h"

#include "base/failure.h"
#include "platform/audio/soft_limit.h"
#include "platform/audio/soundfont.h"

#include <fluidsynth.h>

#include <algorithm>
#include <map>

namespace tamro::audio {
namespace {

constexpr int renderBlock = 4096;  // frames per FluidSynth call, and of the scratch buffer
constexpr int maxFadeBlocks = 16;  // killed voices fade out within a few internal blocks
constexpr float inaudible = 1e-6f;  // -120 dB; FluidSynth's effects keep a floor near 1e-8
constexpr double synthGain = 0.5;

void quietFluidSynth()
{
    // Warnings such as a missing preset would land on the user's terminal for every file.
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

}  // namespace

void SynthHost::Deleters::operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
void SynthHost::Deleters::operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }

SynthHost::SynthHost(const std::filesystem::path& folder, int sampleRate)
    : sampleRate_(sampleRate), scratch_(2 * renderBlock)
{
    quietFluidSynth();
    settings_.reset(new_fluid_settings());
    if (!settings_)
        throw Failure("FluidSynth could not create its settings");
    if (fluid_settings_setnum(settings_.get(), "synth.sample-rate", sampleRate) != FLUID_OK)
        throw Failure("FluidSynth cannot render at " + std::to_string(sampleRate) + " Hz");
    // Every call is made under mutex_, so FluidSynth's own locking would only cost time.
    fluid_settings_setint(settings_.get(), "synth.threadsafe-api", 0);
    // FluidSynth's default gain (0.2) leaves room for every voice at once, and a song of four instruments
    // comes out near -34 dBFS, some 20 dB below an ordinary MP3. 0.5 brings it within a few dB; the rare peak
    // that now goes over is bent by softLimit instead of clipping.
    fluid_settings_setnum(settings_.get(), "synth.gain", synthGain);
    synth_.reset(new_fluid_synth(settings_.get()));
    if (!synth_)
        throw Failure("FluidSynth could not create a synthesizer");
    for (const auto& candidate : soundFontCandidates(folder)) {
        if (fluid_synth_sfload(synth_.get(), candidate.c_str(), 1) != FLUID_FAILED) {
            soundFont_ = candidate;
            return;
        }
    }
    throw Failure(missingSoundFontText(folder));
}

SynthHost::~SynthHost() = default;

std::shared_ptr<SynthHost> SynthHost::load(const std::filesystem::path& folder, int sampleRate)
{
    return std::shared_ptr<SynthHost>(new SynthHost(folder, sampleRate));
}

std::shared_ptr<SynthHost> SynthHost::shared(int sampleRate)
{
    static std::mutex mutex;
    static std::map<int, std::shared_ptr<SynthHost>> hosts;
    std::lock_guard lock(mutex);
    auto& host = hosts[sampleRate];
    if (!host)
        host = load(defaultSoundFontFolder, sampleRate);  // a failure leaves the slot empty for a retry
    return host;
}

SynthHost::Session SynthHost::claim(std::uint64_t client) { return Session(*this, client); }

SynthHost::Session::Session(SynthHost& host, std::uint64_t client) : lock_(host.mutex_), host_(host)
{
    if (host.owner_ != client) {
        host.owner_ = client;
        takenOver_ = true;
    }
}

void SynthHost::Session::reset()
{
    // FluidSynth renders whole internal blocks; what it rendered ahead of the last read belongs to the old
    // state, so it is drained before the reset rather than heard after it.
    fluid_synth_t* synth = host_.synth_.get();
    const int block = std::clamp(fluid_synth_get_internal_bufsize(synth), 1, renderBlock);
    const auto ahead = static_cast<int>((static_cast<std::uint64_t>(block) - host_.framesWritten_ % static_cast<std::uint64_t>(block)) % static_cast<std::uint64_t>(block));
    if (ahead > 0)
        host_.renderStereo(host_.scratch_.data(), ahead, 2);
    // The reset alone lets voices fade through their release; killing them afterwards still leaves a
    // de-click fade of a few blocks, which is rendered away before reverb and chorus are cleared once more.
    fluid_synth_system_reset(synth);
    fluid_synth_all_sounds_off(synth, -1);
    for (int i = 0; i < maxFadeBlocks; ++i) {
        float* scratch = host_.scratch_.data();
        host_.renderStereo(scratch, block, 2);
        const auto [low, high] = std::minmax_element(scratch, scratch + 2 * block);
        if (std::max(-*low, *high) < inaudible)
            break;
    }
    fluid_synth_system_reset(synth);
}

void SynthHost::Session::send(const MidiEvent& event, std::span<const std::uint8_t> sysex, bool withNotes)
{
    fluid_synth_t* synth = host_.synth_.get();
    const int channel = event.status & 0x0F;
    switch (event.status & 0xF0) {
    case 0x80:
        if (withNotes)
            fluid_synth_noteoff(synth, channel, event.data1);
        break;
    case 0x90:
        if (!withNotes)
            break;
        if (event.data2 == 0)
            fluid_synth_noteoff(synth, channel, event.data1);
        else
            fluid_synth_noteon(synth, channel, event.data1, event.data2);
        break;
    case 0xA0:
        if (withNotes)
            fluid_synth_key_pressure(synth, channel, event.data1, event.data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, event.data1, event.data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, event.data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, event.data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, event.data1 | (event.data2 << 7));
        break;
    case 0xF0:
        if (event.status == 0xF0 && !sysex.empty() && sysex.size() <= 0x7FFFFFFF)
            fluid_synth_sysex(synth, reinterpret_cast<const char*>(sysex.data()), static_cast<int>(sysex.size()),
                              nullptr, nullptr, nullptr, 0);
        break;
    default:
        break;
    }
}

void SynthHost::Session::render(float* out, std::size_t frames, int channels)
{
    while (frames > 0) {
        const int n = static_cast<int>(std::min<std::size_t>(frames, renderBlock));
        if (channels == 2) {
            host_.renderStereo(out, n, 2);
        } else if (channels > 2) {
            host_.renderStereo(out, n, channels);
            for (int i = 0; i < n; ++i)
                std::fill_n(out + static_cast<std::ptrdiff_t>(i) * channels + 2, channels - 2, 0.0f);
        } else {
            float* stereo = host_.scratch_.data();
            host_.renderStereo(stereo, n, 2);
            for (int i = 0; i < n; ++i)
                out[i] = 0.5f * (stereo[2 * i] + stereo[2 * i + 1]);
        }
        out += static_cast<std::ptrdiff_t>(n) * channels;
        frames -= static_cast<std::size_t>(n);
    }
}

void SynthHost::renderStereo(float* out, int frames, int stride)
{
    fluid_synth_write_float(synth_.get(), frames, out, 0, stride, out, 1, stride);
    for (int i = 0; i < frames; ++i) {
        float* frame = out + static_cast<std::ptrdiff_t>(i) * stride;
        frame[0] = softLimit(frame[0]);
        frame[1] = softLimit(frame[1]);
    }
    framesWritten_ += static_cast<std::uint64_t>(frames);
}

}  // namespace tamro::audio
