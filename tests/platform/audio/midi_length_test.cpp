// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "platform/audio/midi_decoder.h"

#include "support/smf_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace tamro::audio {
namespace {

using testing::Bytes;
using testing::TrackWriter;

Bytes oneNote(std::uint32_t noteTicks, std::uint32_t endDelta = 0, int division = 480)
{
    TrackWriter t;
    t.noteOn(0, 0, 69).noteOff(noteTicks, 0, 69).end(endDelta);
    return testing::smfFile(0, static_cast<std::uint16_t>(division), {t});
}

// Format 1: tempo 120 bpm for the first quarter, then 60 bpm; the note track plays two quarters.
Bytes tempoChangeInFirstTrack()
{
    TrackWriter conductor, notes;
    conductor.tempo(0, 500000).tempo(480, 1000000).end();
    notes.noteOn(0, 0, 69).noteOff(960, 0, 69).end();
    return testing::smfFile(1, 480, {conductor, notes});
}

// The tempo change sits in the last track but rules the others too.
Bytes tempoChangeInLastTrack()
{
    TrackWriter empty, notes, tempo;
    empty.end();
    notes.noteOn(0, 0, 69).noteOff(960, 0, 69).end();
    tempo.tempo(480, 250000).end();
    return testing::smfFile(1, 480, {empty, notes, tempo});
}

Bytes twoTemposAtOneTick()
{
    TrackWriter t;
    t.tempo(0, 1000000).tempo(0, 2000000).noteOn(0, 0, 69).noteOff(96, 0, 69).end();
    return testing::smfFile(0, 96, {t});
}

Bytes smpte(int fps, int ticksPerFrame, std::uint32_t lastTick)
{
    TrackWriter t;
    t.tempo(0, 1000000).noteOn(0, 0, 69).noteOff(lastTick, 0, 69).end();  // tempo means nothing with SMPTE
    return testing::smfFile(0, testing::smpteDivision(fps, ticksPerFrame), {t});
}

Bytes withoutEndOfTrack()
{
    TrackWriter t;
    t.noteOn(0, 0, 69).noteOff(480, 0, 69);
    return testing::smfFile(0, 480, {t});
}

struct LengthCase {
    const char* name;
    Bytes file;
    int sampleRate;
    std::int64_t frames;
};

TEST(MidiLength, IsTheTempoMapTimeOfTheLastEventToTheSample)
{
    const std::vector<LengthCase> cases = {
        {"one second at the default 120 bpm", oneNote(960), 48000, 48000},
        {"the end-of-track delay counts", oneNote(480, 480), 48000, 48000},
        {"a tempo change halfway in the first track", tempoChangeInFirstTrack(), 48000, 72000},
        {"a tempo change in the last track rules all tracks", tempoChangeInLastTrack(), 44100, 33075},
        {"of two tempos at one tick the later wins", twoTemposAtOneTick(), 48000, 96000},
        {"one tick rounds to the nearest frame", oneNote(1), 44100, 46},
        {"at 22.05 kHz", tempoChangeInFirstTrack(), 22050, 33075},
        {"at 96 kHz", tempoChangeInFirstTrack(), 96000, 144000},
        {"SMPTE 25 fps x 40 ticks", smpte(25, 40, 2500), 48000, 120000},
        {"SMPTE 29.97 drop-frame", smpte(29, 10, 30000), 48000, 4804800},
        {"a track without end-of-track ends at its last event", withoutEndOfTrack(), 48000, 24000},
        {"the same wrapped as RMI", testing::rmiFile(tempoChangeInFirstTrack()), 48000, 72000},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoder = openMidiDecoder(c.file, "case.mid", {c.sampleRate, 2});
        EXPECT_EQ(decoder->lengthFrames(), c.frames);
    }
}

TEST(MidiLength, ReadStopsExactlyAtTheLength)
{
    for (const std::size_t chunk : {std::size_t{1000}, std::size_t{4096}, std::size_t{100000}}) {
        SCOPED_TRACE(chunk);
        const auto decoder = openMidiDecoder(tempoChangeInFirstTrack(), "a.mid", {48000, 2});
        std::vector<float> buffer(chunk * 2);
        std::int64_t total = 0;
        while (const std::size_t n = decoder->read(buffer.data(), chunk)) {
            ASSERT_LE(n, chunk);
            total += static_cast<std::int64_t>(n);
        }
        EXPECT_EQ(total, 72000);
        EXPECT_EQ(decoder->read(buffer.data(), chunk), 0u);
    }
}

TEST(MidiLength, SeekClampsAndReadsTheRestExactly)
{
    const auto decoder = openMidiDecoder(oneNote(960), "a.mid", {48000, 1});
    std::vector<float> buffer(100000);
    const std::vector<std::pair<std::int64_t, std::int64_t>> seeks = {{30000, 18000}, {-5, 48000}, {90000, 0}, {48000, 0}};
    for (const auto& [target, left] : seeks) {
        SCOPED_TRACE(target);
        decoder->seek(target);
        EXPECT_EQ(static_cast<std::int64_t>(decoder->read(buffer.data(), buffer.size())), left);
    }
}

TEST(MidiLength, AnOutputRateFluidSynthCannotRenderIsRefused)
{
    EXPECT_THROW(openMidiDecoder(oneNote(960), "a.mid", {192000, 2}), Failure);
}

TEST(MidiDetect, RecognisesMidiAndRmiHeadsOnly)
{
    const Bytes smf = oneNote(10);
    EXPECT_TRUE(looksLikeMidi(smf));
    EXPECT_TRUE(looksLikeMidi(testing::rmiFile(smf)));
    const Bytes wave{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    EXPECT_FALSE(looksLikeMidi(wave));
    EXPECT_FALSE(looksLikeMidi(Bytes{'M', 'T'}));
    EXPECT_FALSE(looksLikeMidi(Bytes{}));
}

}  // namespace
}  // namespace tamro::audio
