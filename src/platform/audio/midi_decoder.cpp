// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/midi_decoder.h"

#include "base/failure.h"
#include "platform/audio/rmi.h"
#include "platform/audio/smf.h"
#include "platform/audio/sound_file.h"
#include "platform/audio/synth_host.h"
#include "platform/audio/tempo_map.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

namespace tamro::audio {
namespace {

// Plays the parsed event list on the shared synthesizer, each event at its tempo-mapped frame. Seeking and
// taking the synthesizer back from another decoder both rebuild the channels' state (programs, controllers,
// pitch bends, System Exclusive) by replaying every event before the position, and strike the notes held there.
class MidiDecoder final : public Decoder {
public:
    MidiDecoder(MidiSong song, const OutputFormat& format, std::shared_ptr<SynthHost> host)
        : host_(std::move(host)), client_(host_->newClient()), channels_(format.channels)
    {
        events_ = std::move(song.events);
        sysex_ = std::move(song.sysex);
        const TempoMap tempo(song.division, song.tempos, format.sampleRate);
        frames_ = tempo.framesOf(events_);
        length_ = tempo.frameAt(song.lastTick);
        // Tempo and tick values far out of any song's range add up to lengths of centuries, which the slider
        // cannot take: say what is wrong with the file when it is opened instead.
        if (length_ > maxSongDays * 86400 * std::int64_t{format.sampleRate})
            throw MidiFormatError("its timing is damaged: it would play for " +
                                  std::to_string(length_ / format.sampleRate / 86400) + " days");
    }

    std::int64_t lengthFrames() const override { return length_; }

    std::size_t read(float* out, std::size_t frames) override
    {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(std::min<std::size_t>(frames, maxRead)), length_ - position_));
        if (want == 0)
            return 0;
        auto session = host_->claim(client_);
        if (session.takenOver() || stale_) {
            session.reset();
            rebuildState(session);
            stale_ = false;
        }
        std::size_t done = 0;
        while (done < want) {
            while (next_ < events_.size() && frames_[next_] <= position_) {
                session.send(events_[next_], sysexOf(events_[next_]));
                ++next_;
            }
            const std::int64_t until = next_ < events_.size() ? frames_[next_] : length_;
            const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(
                static_cast<std::int64_t>(want - done), until - position_));
            session.render(out + done * static_cast<std::size_t>(channels_), chunk, channels_);
            done += chunk;
            position_ += static_cast<std::int64_t>(chunk);
        }
        return done;
    }

    void seek(std::int64_t frame) override
    {
        position_ = std::clamp<std::int64_t>(frame, 0, length_);
        stale_ = true;
    }

private:
    static constexpr std::size_t maxRead = std::size_t{1} << 24;
    static constexpr std::int64_t maxSongDays = 100;

    std::span<const std::uint8_t> sysexOf(const MidiEvent& event) const
    {
        if (event.status != 0xF0 || event.sysex >= sysex_.size())
            return {};
        return sysex_[event.sysex];
    }

    void rebuildState(SynthHost::Session& session)
    {
        next_ = static_cast<std::size_t>(std::lower_bound(frames_.begin(), frames_.end(), position_) - frames_.begin());
        // Notes still held at the position are struck again there, so that a long chord is heard rather
        // than silence until the next note.
        std::array<std::array<std::uint8_t, 128>, 16> held{};
        for (std::size_t i = 0; i < next_; ++i) {
            const MidiEvent& event = events_[i];
            const int kind = event.status & 0xF0;
            if (kind == 0x90 || kind == 0x80) {
                held[event.status & 0x0F][event.data1] = kind == 0x90 ? event.data2 : 0;
                continue;
            }
            if (kind == 0xB0 && (event.data1 == 120 || event.data1 == 123))  // all sound off, all notes off
                held[event.status & 0x0F].fill(0);
            session.send(event, sysexOf(event), false);
        }
        for (int channel = 0; channel < 16; ++channel)
            for (int key = 0; key < 128; ++key)
                if (const std::uint8_t velocity = held[channel][key])
                    session.send({.status = static_cast<std::uint8_t>(0x90 | channel),
                                  .data1 = static_cast<std::uint8_t>(key), .data2 = velocity},
                                 {});
    }

    std::shared_ptr<SynthHost> host_;
    std::uint64_t client_;
    int channels_;
    std::vector<MidiEvent> events_;
    std::vector<std::int64_t> frames_;  // frame of each event, non-decreasing
    std::vector<std::vector<std::uint8_t>> sysex_;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
    std::size_t next_ = 0;  // first event not yet sent
    bool stale_ = true;     // the synthesizer does not hold this decoder's state at position_
};

}  // namespace

bool looksLikeMidi(std::span<const std::uint8_t> head)
{
    return (head.size() >= 4 && std::memcmp(head.data(), "MThd", 4) == 0) || isRmi(head);
}

std::unique_ptr<Decoder> openMidiDecoder(std::span<const std::uint8_t> fileBytes, const std::string& path,
                                         const OutputFormat& format)
{
    const auto refuse = [&](const std::string& reason) { return Failure(cannotOpen(path, reason)); };
    if (format.channels < 1 || format.sampleRate <= 0)
        throw refuse("the output format is invalid");
    MidiSong song;
    try {
        song = parseSmf(isRmi(fileBytes) ? unwrapRmi(fileBytes) : fileBytes);
    } catch (const MidiFormatError& error) {
        throw refuse(error.what());
    }
    std::shared_ptr<SynthHost> host;
    try {
        host = SynthHost::shared(format.sampleRate);
    } catch (const Failure& error) {
        throw refuse(error.description());
    }
    try {
        return std::make_unique<MidiDecoder>(std::move(song), format, std::move(host));
    } catch (const MidiFormatError& error) {
        throw refuse(error.what());
    }
}

}  // namespace tamro::audio
