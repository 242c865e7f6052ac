// SPDX-License-Identifier: GPL-3.0-or-later
// One FluidSynth synthesizer with a General MIDI SoundFont loaded, shared by the MIDI decoders of one output
// rate and played by one of them at a time: whoever renders claims it, and a new claimant resets it first.
#pragma once

#include "platform/audio/smf.h"

#include <fluidsynth/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <vector>


namespace tamro::audio {

class SynthHost {
public:
    // The process's synthesizer for `sampleRate`, loaded from the default SoundFont folder on first use and
    // kept for the life of the process. Throws Failure (naming the package to install) when no SoundFont
    // loads; a later call tries again.
    static std::shared_ptr<SynthHost> shared(int sampleRate);

    // A synthesizer of its own, loaded from the first SoundFont in `folder` that FluidSynth accepts.
    static std::shared_ptr<SynthHost> load(const std::filesystem::path& folder, int sampleRate);

    ~SynthHost();
    SynthHost(const SynthHost&) = delete;
    SynthHost& operator=(const SynthHost&) = delete;

    int sampleRate() const { return sampleRate_; }
    const std::filesystem::path& soundFont() const { return soundFont_; }

    // A token that tells the users of this synthesizer apart; never handed out twice.
    std::uint64_t newClient() { return ++lastClient_; }

    // Exclusive use of the synthesizer for as long as it lives.
    class Session {
    public:
        // True when another client used the synthesizer since this client's last session: its sound state
        // is gone and must be rebuilt after reset().
        bool takenOver() const { return takenOver_; }
        // Silence at once and return every channel to its power-on state; no earlier sound comes out later.
        void reset();
        // Sends one event (`sysex`: the bytes of a System Exclusive event); notes are left out when
        // `withNotes` is false (rebuilding state only).
        void send(const MidiEvent& event, std::span<const std::uint8_t> sysex, bool withNotes = true);
        // Renders `frames` interleaved frames into `out` (extra channels silent; mono gets the mix).
        void render(float* out, std::size_t frames, int channels);

    private:
        friend class SynthHost;
        Session(SynthHost& host, std::uint64_t client);
        std::unique_lock<std::mutex> lock_;
        SynthHost& host_;
        bool takenOver_ = false;
    };
    Session claim(std::uint64_t client);

private:
    struct Deleters {
        void operator()(fluid_settings_t* settings) const;
        void operator()(fluid_synth_t* synth) const;
    };

    SynthHost(const std::filesystem::path& folder, int sampleRate);
    void renderStereo(float* out, int frames, int stride);

    int sampleRate_;
    std::filesystem::path soundFont_;
    std::unique_ptr<fluid_settings_t, Deleters> settings_;
    std::unique_ptr<fluid_synth_t, Deleters> synth_;  // declared after settings_: destroyed before them
    std::mutex mutex_;
    std::uint64_t owner_ = 0;
    std::uint64_t framesWritten_ = 0;  // to know how much FluidSynth has rendered ahead but not handed out
    std::atomic<std::uint64_t> lastClient_{0};
    std::vector<float> scratch_;
};

}  // namespace tamro::audio
