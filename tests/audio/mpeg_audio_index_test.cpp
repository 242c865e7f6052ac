// Finding MPEG audio frames from their headers: tags at both ends, garbage, truncation and the LAME tag.
#include "platform/audio/mpeg_audio_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace tamro::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes a frame.
constexpr std::uint8_t header[] = {0xFF, 0xFB, 0x90, 0x44};
constexpr std::size_t frameSize = 417;

// Sized once and filled in place: growing a vector from a 4-byte header makes GCC 12 at -O3 warn of overflows
// that cannot happen (-Wstringop-overflow, -Warray-bounds).
Bytes frames(int count)
{
    Bytes out(static_cast<std::size_t>(count) * frameSize, 0x55);
    for (std::size_t at = 0; at < out.size(); at += frameSize)
        std::copy(std::begin(header), std::end(header), out.begin() + static_cast<std::ptrdiff_t>(at));
    return out;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// An ID3v2 tag whose body looks like frames, to show it is skipped and not read as audio.
Bytes id3v2()
{
    const Bytes body = frames(3);
    const auto size = body.size();
    Bytes tag = text("ID3");
    tag.insert(tag.end(), {4, 0, 0, static_cast<std::uint8_t>((size >> 21) & 0x7F), static_cast<std::uint8_t>((size >> 14) & 0x7F),
                           static_cast<std::uint8_t>((size >> 7) & 0x7F), static_cast<std::uint8_t>(size & 0x7F)});
    return tag + body;
}

Bytes id3v1()
{
    Bytes tag = text("TAG");
    tag.resize(128, ' ');
    return tag;
}

// An APEv2 tag (footer only) whose items look like two frames.
Bytes ape()
{
    Bytes items = frames(2);
    Bytes footer = text("APETAGEX");
    const auto size = static_cast<std::uint32_t>(items.size() + 32);
    footer.insert(footer.end(), {0xD0, 0x07, 0, 0});  // version 2000
    footer.insert(footer.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size >> 16),
                                 static_cast<std::uint8_t>(size >> 24)});
    footer.resize(32, 0);
    return items + footer;
}

// A first frame carrying an "Info" tag with a LAME tag: 576 samples of encoder delay, 1000 of padding.
Bytes lameFrame(std::uint32_t frameCount)
{
    Bytes frame(36, 0);
    std::copy(std::begin(header), std::end(header), frame.begin());
    const Bytes info = text("Info");
    frame.insert(frame.end(), info.begin(), info.end());
    frame.insert(frame.end(), {0, 0, 0, 0x0F});  // frames, bytes, TOC and quality present
    frame.insert(frame.end(), {static_cast<std::uint8_t>(frameCount >> 24), static_cast<std::uint8_t>(frameCount >> 16),
                               static_cast<std::uint8_t>(frameCount >> 8), static_cast<std::uint8_t>(frameCount)});
    frame.resize(frame.size() + 4 + 100 + 4, 0);
    Bytes lame = text("LAME3.100");
    lame.resize(21, 0);
    // delay 576 = 0x240, padding 1000 = 0x3E8, twelve bits each
    lame.insert(lame.end(), {0x24, 0x03, 0xE8});
    frame.insert(frame.end(), lame.begin(), lame.end());
    frame.resize(frameSize, 0);
    return frame;
}

std::optional<MpegAudioIndex> index(const Bytes& file)
{
    return indexMpegAudio(static_cast<std::int64_t>(file.size()), [&file](std::int64_t offset, std::span<std::uint8_t> out) {
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(offset, static_cast<std::int64_t>(file.size())));
        const std::size_t n = std::min(out.size(), file.size() - from);
        std::memcpy(out.data(), file.data() + from, n);
        return n;
    });
}

struct Case {
    const char* name;
    Bytes file;
    std::size_t frames;
    std::int64_t firstOffset;
    std::int64_t skipStart;
    std::int64_t length;
};

TEST(MpegAudioIndex, CountsEveryFrameAndOnlyFrames)
{
    Bytes truncated = frames(10) + frames(1);
    truncated.erase(truncated.end() - 200, truncated.end());
    Bytes junk(300);
    for (std::size_t i = 0; i < junk.size(); ++i)
        junk[i] = i % 2 ? 0xFF : 0xFB;
    const Bytes otherStream = {0xFF, 0xF3, 0x90, 0x44};  // MPEG-2 within an MPEG-1 stream: not the same stream

    const Case cases[] = {
        {"plain frames", frames(10), 10, 0, 0, 10 * 1152},
        {"one frame", frames(1), 1, 0, 0, 1152},
        {"ID3v2 tag in front", id3v2() + frames(10), 10, static_cast<std::int64_t>(id3v2().size()), 0, 10 * 1152},
        {"ID3v1 tag at the end", frames(10) + id3v1(), 10, 0, 0, 10 * 1152},
        {"APE and ID3v1 tags at the end", frames(10) + ape() + id3v1(), 10, 0, 0, 10 * 1152},
        {"garbage between frames", frames(4) + junk + frames(6), 10, 0, 0, 10 * 1152},
        {"garbage before the first frame", junk + frames(10), 10, 300, 0, 10 * 1152},
        {"a truncated last frame", truncated, 10, 0, 0, 10 * 1152},
        {"a header of another stream", frames(5) + otherStream + frames(5), 10, 0, 0, 10 * 1152},
        // The tag frame is not audio; the track is the frames less delay and padding, less the decoder's 529.
        {"a LAME tag", lameFrame(10) + frames(10), 10, frameSize, 576 + 529, 10 * 1152 - 576 - 1000},
    };
    for (const auto& c : cases) {
        const auto found = index(c.file);
        ASSERT_TRUE(found) << c.name;
        EXPECT_EQ(found->frames.size(), c.frames) << c.name;
        EXPECT_EQ(found->frames.front().offset, c.firstOffset) << c.name;
        EXPECT_EQ(found->skipStart, c.skipStart) << c.name;
        EXPECT_EQ(found->lengthSamples, c.length) << c.name;
        EXPECT_EQ(found->sampleRate, 44100) << c.name;
        EXPECT_EQ(found->channels, 2) << c.name;
        EXPECT_EQ(found->layer, 3) << c.name;
    }
}

TEST(MpegAudioIndex, FindsNothingInWhatHoldsNoFrames)
{
    Bytes lonelyHeader(header, header + 4);
    lonelyHeader.resize(1000, 0);
    const Bytes none[] = {{}, text("RIFF....WAVEfmt "), id3v2(), id3v1(), lonelyHeader, {0xFF, 0xFB, 0x90}};
    for (const auto& file : none)
        EXPECT_FALSE(index(file)) << file.size();
}

}  // namespace
}  // namespace tamro::audio
