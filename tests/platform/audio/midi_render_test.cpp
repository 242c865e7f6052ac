// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/midi_decoder.h"

#include "support/smf_writer.h"
#include "support/tone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace tamro::audio {
namespace {

using testing::Bytes;
using testing::TrackWriter;

constexpr int rate = 48000;
constexpr int ocarina = 79;  // a near-sine General MIDI instrument: its fundamental dominates
constexpr double a4 = 440.0;
constexpr double e5 = 659.26;

// Format 1 with a tempo change: A4 eighth notes for one quarter at 120 bpm (0.0-0.5 s), then E5 eighth
// notes for three quarters at 60 bpm (0.5-3.5 s).
Bytes twoPitches()
{
    TrackWriter conductor, melody;
    conductor.tempo(0, 500000).tempo(480, 1000000).end();
    melody.program(0, 0, ocarina);
    for (int i = 0; i < 2; ++i)
        melody.noteOn(0, 0, 69).noteOff(240, 0, 69);
    for (int i = 0; i < 6; ++i)
        melody.noteOn(0, 0, 76).noteOff(240, 0, 76);
    melody.end();
    return testing::smfFile(1, 480, {conductor, melody});
}

std::vector<float> readFrames(Decoder& decoder, std::size_t frames, int channels = 2)
{
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = decoder.read(out.data() + done * static_cast<std::size_t>(channels), frames - done);
        if (n == 0)
            break;
        done += n;
    }
    out.resize(done * static_cast<std::size_t>(channels));
    return out;
}

double pitchOf(const std::vector<float>& interleaved, int channels = 2)
{
    return testing::dominantFrequency(testing::channel(interleaved, channels), rate, 100.0, 2000.0);
}

TEST(MidiRender, PlaysEachNoteAtItsTempoMappedTime)
{
    const auto decoder = openMidiDecoder(twoPitches(), "two.mid", {rate, 2});
    const auto first = readFrames(*decoder, rate / 5);        // 0.0-0.2 s
    readFrames(*decoder, rate * 4 / 10);                       // 0.2-0.6 s
    const auto second = readFrames(*decoder, rate / 5);       // 0.6-0.8 s
    EXPECT_NEAR(pitchOf(first), a4, 3.0);
    EXPECT_NEAR(pitchOf(second), e5, 3.0);
    EXPECT_GT(testing::rms(second), 0.001);
}

TEST(MidiRender, MonoAndFourChannelOutputsCarryTheSameNote)
{
    for (const int channels : {1, 4}) {
        SCOPED_TRACE(channels);
        const auto decoder = openMidiDecoder(twoPitches(), "two.mid", {rate, channels});
        const auto samples = readFrames(*decoder, rate / 5, channels);
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(rate / 5 * channels));
        EXPECT_NEAR(pitchOf(samples, channels), a4, 3.0);
        if (channels == 4) {
            EXPECT_EQ(testing::rms(testing::channel(samples, 4, 3)), 0.0);
        }
    }
}

TEST(MidiRender, RmiSoundsLikeThePlainFile)
{
    const auto plain = openMidiDecoder(twoPitches(), "two.mid", {rate, 2});
    const auto plainSamples = readFrames(*plain, 2 * rate);
    const auto wrapped = openMidiDecoder(testing::rmiFile(twoPitches()), "two.rmi", {rate, 2});
    const auto wrappedSamples = readFrames(*wrapped, 2 * rate);
    ASSERT_EQ(plainSamples.size(), wrappedSamples.size());
    // The chorus runs on free oscillators that no reset rewinds, so the two renderings differ by a trace.
    std::vector<float> difference(plainSamples.size());
    for (std::size_t i = 0; i < difference.size(); ++i)
        difference[i] = plainSamples[i] - wrappedSamples[i];
    EXPECT_LT(testing::rms(difference), testing::rms(plainSamples) / 1000) << testing::rms(difference) << " " << testing::rms(plainSamples);
    EXPECT_GT(testing::rms(plainSamples), 0.001);
}

TEST(MidiRender, SeekLandsOnTheNotesOfTheTarget)
{
    const auto decoder = openMidiDecoder(twoPitches(), "two.mid", {rate, 2});
    readFrames(*decoder, rate / 10);
    decoder->seek(2 * rate);  // forward, into the E5 notes
    EXPECT_NEAR(pitchOf(readFrames(*decoder, rate / 5)), e5, 3.0);
    decoder->seek(rate / 10);  // back, into the A4 notes
    EXPECT_NEAR(pitchOf(readFrames(*decoder, rate / 5)), a4, 3.0);
}

TEST(MidiRender, SeekIntoARestIsSilentFromItsFirstFrame)
{
    TrackWriter t;
    t.program(0, 0, ocarina).noteOn(0, 0, 69).noteOff(480, 0, 69).end(1920);  // 0.5 s of note, 2 s of rest
    const Bytes rest = testing::smfFile(0, 480, {t});
    // Another file first, left with notes sounding at various points: nothing of it may leak either.
    for (const std::size_t before : {0, rate * 6 / 10, rate * 7 / 10, rate * 8 / 10, rate * 9 / 10}) {
        SCOPED_TRACE(before);
        readFrames(*openMidiDecoder(twoPitches(), "before.mid", {rate, 2}), before);
        const auto decoder = openMidiDecoder(rest, "rest.mid", {rate, 2});
        readFrames(*decoder, rate / 4 + 7);  // mid-note, off FluidSynth's block grid
        decoder->seek(2 * rate);
        const auto after = readFrames(*decoder, 256);
        EXPECT_LT(testing::rms(after), 1e-6);  // -120 dB: what is left of cleared reverb and chorus lines
    }
}

// A note held across the seek target is struck again there, unless an all-notes-off ended it before.
TEST(MidiRender, SeekIntoAHeldNoteSoundsIt)
{
    struct Case {
        const char* name;
        std::uint8_t controller;  // sent at 1 s; 7 (volume) leaves the note on
        bool sounds;
    };
    for (const Case c : {Case{"held", 7, true}, Case{"all notes off", 123, false}, Case{"all sound off", 120, false}}) {
        SCOPED_TRACE(c.name);
        TrackWriter t;
        t.program(0, 0, ocarina).noteOn(0, 0, 69).raw(960, {0xB0, c.controller, 100}).noteOff(1920, 0, 69).end();
        const auto decoder = openMidiDecoder(testing::smfFile(0, 480, {t}), "held.mid", {rate, 2});
        decoder->seek(2 * rate);
        const auto after = readFrames(*decoder, rate / 5);
        if (c.sounds) {
            EXPECT_NEAR(pitchOf(after), a4, 3.0);
        } else {
            EXPECT_LT(testing::rms(after), 1e-6);
        }
    }
}

// Two decoders take turns on the one synthesizer, as the engine's old and new track do around a file change:
// each gets its own instrument and notes back.
TEST(MidiRender, DecodersTakingTurnsKeepTheirOwnSound)
{
    const auto first = openMidiDecoder(twoPitches(), "two.mid", {rate, 2});
    TrackWriter other;
    other.program(0, 0, 0).noteOn(0, 0, 57).noteOff(3840, 0, 57).end();  // piano A3 for 4 s
    const auto second = openMidiDecoder(testing::smfFile(0, 480, {other}), "other.mid", {rate, 2});

    readFrames(*first, rate / 10);
    readFrames(*second, rate / 10);
    const auto resumed = readFrames(*first, rate / 10);  // 0.2-0.3 s of the first file
    EXPECT_NEAR(pitchOf(resumed), a4, 3.0);
}

// The engine opens the next file on its UI thread while the decode thread still renders the current one.
TEST(MidiRender, OpeningWhileAnotherRendersIsSafe)
{
    const auto playing = openMidiDecoder(twoPitches(), "two.mid", {rate, 2});
    std::thread decodeThread([&] {
        std::vector<float> buffer(2 * 512);
        while (playing->read(buffer.data(), 512) > 0) {
        }
    });
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(openMidiDecoder(twoPitches(), "next.mid", {rate, 2})->lengthFrames(), 3 * rate + rate / 2);
    decodeThread.join();
}

}  // namespace
}  // namespace tamro::audio
