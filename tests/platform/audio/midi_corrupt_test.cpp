// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "platform/audio/midi_decoder.h"

#include "support/smf_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamro::audio {
namespace {

using testing::Bytes;
using testing::TrackWriter;

constexpr OutputFormat format{48000, 2};

Bytes validFile()
{
    TrackWriter conductor, melody;
    conductor.tempo(0, 400000).text(0, "tempo").tempo(240, 700000).end();
    melody.program(0, 0, 79).raw(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});  // GM System On
    for (int i = 0; i < 4; ++i)
        melody.noteOn(0, 0, 60 + i).raw(60, {0xE0, 0x00, 0x50}).noteOff(60, 0, 60 + i);
    melody.end();
    return testing::smfFile(1, 96, {conductor, melody});
}

Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    testing::appendBigEndian(out, format, 2);
    testing::appendBigEndian(out, tracks, 2);
    testing::appendBigEndian(out, division, 2);
    return out;
}

Bytes withTrack(Bytes file, const Bytes& track, std::uint32_t declaredLength)
{
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    testing::appendBigEndian(file, declaredLength, 4);
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

Bytes withTrack(Bytes file, const Bytes& track)
{
    return withTrack(std::move(file), track, static_cast<std::uint32_t>(track.size()));
}

// Plays a decoder the way the engine might, in bounded time whatever length the file claims: a little from
// the start, then the last second to the end. The reads must stop exactly at the length.
void playThrough(Decoder& decoder)
{
    const std::int64_t length = decoder.lengthFrames();
    ASSERT_GE(length, 0);
    std::vector<float> buffer(2 * 4096);
    std::int64_t head = 0;
    while (head < 24000) {
        const std::size_t n = decoder.read(buffer.data(), 4096);
        if (n == 0)
            break;
        head += static_cast<std::int64_t>(n);
    }
    EXPECT_EQ(head, std::min<std::int64_t>(length, (24000 + 4095) / 4096 * 4096));
    const std::int64_t from = std::max<std::int64_t>(0, length - 48000);
    decoder.seek(from);
    std::int64_t tail = 0;
    while (const std::size_t n = decoder.read(buffer.data(), 4096))
        tail += static_cast<std::int64_t>(n);
    EXPECT_EQ(tail, length - from);
}

struct RefusalCase {
    const char* name;
    Bytes file;
    const char* reason;
};

TEST(MidiCorrupt, FilesWithNothingPlayableAreRefusedWithPathAndReason)
{
    const Bytes note = TrackWriter().noteOn(0, 0, 60).noteOff(96, 0, 60).end().bytes();
    Bytes lyingHeader = header(0, 1, 96);
    lyingHeader[7] = 0xFF;  // header length 255 in a 14-byte header
    const std::vector<RefusalCase> cases = {
        {"an empty file", {}, "not a Standard MIDI File"},
        {"a bare MThd", {'M', 'T', 'h', 'd'}, "not a Standard MIDI File"},
        {"a header longer than the file", withTrack(lyingHeader, note), "header is corrupt"},
        {"zero ticks per quarter", withTrack(header(0, 1, 0), note), "zero ticks"},
        {"23 SMPTE frames per second", withTrack(header(0, 1, testing::smpteDivision(23, 4)), note), "division"},
        {"format 2", withTrack(header(2, 1, 96), note), "format 2"},
        {"an unknown format", withTrack(header(7, 1, 96), note), "unknown MIDI format 7"},
        {"no track chunk", header(1, 3, 96), "no tracks"},
        {"an RMI without data chunk", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, "no MIDI data"},
        {"an RMI holding no MIDI file", testing::rmiFile(Bytes{'R', 'I', 'F', 'F'}), "not a Standard MIDI File"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            openMidiDecoder(c.file, "/music/bad.mid", format);
            ADD_FAILURE() << "opened";
        } catch (const Failure& failure) {
            EXPECT_NE(failure.description().find("/music/bad.mid"), std::string::npos) << failure.description();
            EXPECT_NE(failure.description().find(c.reason), std::string::npos) << failure.description();
        }
    }
}

struct DamagedCase {
    const char* name;
    Bytes file;
    std::int64_t frames;  // what is left to play: up to the last whole event
};

TEST(MidiCorrupt, DamagedTracksPlayUpToTheirLastWholeEvent)
{
    const Bytes note = TrackWriter().noteOn(0, 0, 60).noteOff(96, 0, 60).end().bytes();  // 0.5 s at 96 ppq
    const Bytes noteThenGarbage = [&] {
        Bytes t = TrackWriter().noteOn(0, 0, 60).noteOff(96, 0, 60).bytes();
        t.insert(t.end(), {0x60, 0x40, 0x00});  // running status: one more note-off, at 1 s
        t.insert(t.end(), {0x00, 0xF1, 0x00});  // a MIDI time code byte: meaningless in a file
        t.insert(t.end(), {0x83, 0x00, 0x90, 0x40, 0x40});
        return t;
    }();
    Bytes unknownChunk = header(0, 1, 96);
    unknownChunk.insert(unknownChunk.end(), {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2});
    const Bytes noteWithoutStatus = Bytes{0x00, 0x3C, 0x40};
    const Bytes fiveByteDelta = [&] {
        Bytes t = TrackWriter().noteOn(0, 0, 60).noteOff(96, 0, 60).bytes();
        t.insert(t.end(), {0x81, 0x81, 0x81, 0x81, 0x01, 0x80, 0x3C, 0x00});
        return t;
    }();
    const Bytes lyingSysex = [&] {
        Bytes t = TrackWriter().noteOn(0, 0, 60).noteOff(96, 0, 60).bytes();
        t.insert(t.end(), {0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x01, 0x02});
        return t;
    }();
    const std::vector<DamagedCase> cases = {
        {"a track chunk claiming a gigabyte", withTrack(header(0, 1, 96), note, 1u << 30), 24000},
        {"a track count the file does not hold", withTrack(header(1, 200, 96), note), 24000},
        {"an unknown chunk before the track", withTrack(unknownChunk, note), 24000},
        {"a message that means nothing in a file", withTrack(header(0, 1, 96), noteThenGarbage), 48000},
        {"a first event without status", withTrack(withTrack(header(1, 2, 96), noteWithoutStatus), note), 24000},
        {"a five-byte delta time", withTrack(header(0, 1, 96), fiveByteDelta), 24000},
        {"a System Exclusive longer than the track", withTrack(header(0, 1, 96), lyingSysex), 24000},
    };
    for (const DamagedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoder = openMidiDecoder(c.file, "damaged.mid", format);
        EXPECT_EQ(decoder->lengthFrames(), c.frames);
        playThrough(*decoder);
    }
}

// Every cut of a valid file, plain and as RMI, and every byte of it replaced by a few telling values:
// each is refused with a Failure or plays to its length, without crashing or running away.
TEST(MidiCorrupt, EveryTruncationAndByteDamageIsRefusedOrPlayable)
{
    const Bytes valid = validFile();
    std::vector<Bytes> variants;
    for (const Bytes& whole : {valid, testing::rmiFile(valid)})
        for (std::size_t size = 0; size < whole.size(); ++size)
            variants.emplace_back(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    for (std::size_t i = 0; i < valid.size(); ++i)
        for (const std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            Bytes damaged = valid;
            damaged[i] = value;
            variants.push_back(std::move(damaged));
        }
    int played = 0;
    for (std::size_t i = 0; i < variants.size(); ++i) {
        SCOPED_TRACE(i);
        std::unique_ptr<Decoder> decoder;
        try {
            decoder = openMidiDecoder(variants[i], "cut.mid", format);
        } catch (const Failure&) {
            continue;
        }
        playThrough(*decoder);
        ++played;
    }
    EXPECT_GT(played, 0);
}

}  // namespace
}  // namespace tamro::audio
