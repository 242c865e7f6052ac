// SPDX-License-Identifier: GPL-3.0-or-later
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
Bytes lameFrame(std::uint32_t frameCount, std::uint32_t byteCount = 0)
{
    Bytes frame(36, 0);
    std::copy(std::begin(header), std::end(header), frame.begin());
    const Bytes info = text("Info");
    frame.insert(frame.end(), info.begin(), info.end());
    frame.insert(frame.end(), {0, 0, 0, 0x0F});  // frames, bytes, TOC and quality present
    frame.insert(frame.end(), {static_cast<std::uint8_t>(frameCount >> 24), static_cast<std::uint8_t>(frameCount >> 16),
                               static_cast<std::uint8_t>(frameCount >> 8), static_cast<std::uint8_t>(frameCount)});
    frame.insert(frame.end(), {static_cast<std::uint8_t>(byteCount >> 24), static_cast<std::uint8_t>(byteCount >> 16),
                               static_cast<std::uint8_t>(byteCount >> 8), static_cast<std::uint8_t>(byteCount)});
    frame.resize(frame.size() + 100 + 4, 0);
    Bytes lame = text("LAME3.100");
    lame.resize(21, 0);
    // delay 576 = 0x240, padding 1000 = 0x3E8, twelve bits each
    lame.insert(lame.end(), {0x24, 0x03, 0xE8});
    frame.insert(frame.end(), lame.begin(), lame.end());
    frame.resize(frameSize, 0);
    return frame;
}

ReadAt reader(const Bytes& file)
{
    return [&file](std::int64_t offset, std::span<std::uint8_t> out) {
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(offset, static_cast<std::int64_t>(file.size())));
        const std::size_t n = std::min(out.size(), file.size() - from);
        std::memcpy(out.data(), file.data() + from, n);
        return n;
    };
}

std::optional<MpegAudioIndex> index(const Bytes& file, std::int64_t walkLimit = defaultWalkLimit)
{
    return indexMpegAudio(static_cast<std::int64_t>(file.size()), reader(file), walkLimit);
}

// Constant bit rate as an encoder pads it: 128 kbit/s at 44.1 kHz averages 417.96 bytes, so most frames
// carry the padding byte.
Bytes paddedFrames(int count)
{
    Bytes out;
    const auto ideal = [](std::int64_t frames) { return frames * 144 * 128000 / 44100; };
    for (int i = 0; i < count; ++i) {
        const auto size = static_cast<std::size_t>(ideal(i + 1) - ideal(i));
        out.insert(out.end(), {0xFF, 0xFB, static_cast<std::uint8_t>(size == 418 ? 0x92 : 0x90), 0x44});
        out.resize(out.size() + size - 4, 0x55);
    }
    return out;
}

// Variable bit rate: 64, 128, 160 and 192 kbit/s frames in a fixed pseudo-random order.
Bytes vbrFrames(int count)
{
    static constexpr std::uint8_t rates[] = {0x50, 0x90, 0xA0, 0xB0};
    static constexpr std::size_t sizes[] = {208, 417, 522, 626};
    Bytes out;
    std::uint32_t seed = 12345;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245 + 12345;
        const std::size_t pick = (seed >> 16) % 4;
        out.insert(out.end(), {0xFF, 0xFB, rates[pick], 0x44});
        out.resize(out.size() + sizes[pick] - 4, 0x55);
    }
    return out;
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

// A large file is walked only so far on opening; the rest is counted from a header that fits or from the size.
TEST(MpegAudioIndex, CountsALargeFileFromItsHeaderOrSizeAsAWholeWalkWould)
{
    const Bytes vbr = vbrFrames(3000);
    const auto vbrBytes = static_cast<std::uint32_t>(vbr.size() + frameSize);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"constant bit rate", frames(3000)},
        {"constant bit rate, padded", paddedFrames(3001)},
        {"constant bit rate, truncated last frame", paddedFrames(3001) + Bytes(300, 0x55)},
        {"constant bit rate between tags", id3v2() + paddedFrames(2999) + ape() + id3v1()},
        {"constant bit rate with an Info tag", lameFrame(3000, 3001 * frameSize) + frames(3000)},
        {"variable bit rate with a Xing tag that fits", lameFrame(3000, vbrBytes) + vbr},
        {"variable bit rate with a Xing tag, tags around", id3v2() + lameFrame(3000, vbrBytes) + vbr + id3v1()},
        // Where the frames stop before the end, not at the size.
        {"constant bit rate padded with zeros", paddedFrames(3001) + Bytes(3 << 20, 0)},
        {"variable bit rate with a Xing tag, padded with zeros", lameFrame(3000, vbrBytes) + vbr + Bytes(3 << 20, 0) + id3v1()},
    };
    std::vector<std::pair<std::string, Bytes>> all;
    for (const auto& c : cases)
        all.emplace_back(c.name, c.file);
    // Every phase of the padding at the end, where a count from the size alone is a frame out.
    for (int count = 3001; count < 3024; ++count)
        all.emplace_back("padded, " + std::to_string(count) + " frames", paddedFrames(count));
    for (const auto& [name, file] : all) {
        const auto whole = index(file);
        const auto large = index(file, 64 * 1024);
        ASSERT_TRUE(whole && large) << name;
        EXPECT_TRUE(whole->complete) << name;
        EXPECT_FALSE(large->complete) << name;
        EXPECT_LT(large->frames.size(), whole->frames.size() / 4) << name;
        EXPECT_EQ(large->frameCount, static_cast<std::int64_t>(whole->frames.size())) << name;
        EXPECT_EQ(large->skipStart, whole->skipStart) << name;
        EXPECT_EQ(large->lengthSamples, whole->lengthSamples) << name;
    }
}

// Without a header that fits, a variable bit rate is counted at the mean of the frames walked: near, bounded.
TEST(MpegAudioIndex, EstimatesALargeVariableFileWithoutAFittingHeader)
{
    const Bytes vbr = vbrFrames(4000);
    const auto bytes = static_cast<std::uint32_t>(vbr.size() + frameSize);
    const struct {
        const char* name;
        Bytes file;
    } cases[] = {
        {"no header", vbr},
        {"a Xing tag counting twice the frames", lameFrame(8000, bytes) + vbr},
        {"a Xing tag counting twice the bytes", lameFrame(4000, 2 * bytes) + vbr},
        {"a Xing tag without its count of bytes", lameFrame(4000) + vbr},
    };
    for (const auto& c : cases) {
        const auto large = index(c.file, 256 * 1024);
        ASSERT_TRUE(large) << c.name;
        EXPECT_FALSE(large->complete) << c.name;
        EXPECT_NEAR(static_cast<double>(large->frameCount), 4000.0, 4000.0 * 0.05) << c.name;
        EXPECT_NE(large->frameCount, 8000) << c.name;
        EXPECT_NEAR(static_cast<double>(large->lengthSamples), 4000.0 * 1152, 4000.0 * 1152 * 0.05) << c.name;
    }
}

// Past the frames walked on opening: read in order they are the whole walk's frames, with their numbers; a
// restart lands on the frame asked for where the bit rate is constant, on a real frame near it otherwise.
TEST(MpegAudioIndex, WalkerFindsTheFramesBeyondTheWalkedOnes)
{
    const Bytes cbr = id3v2() + paddedFrames(3001) + id3v1();
    const Bytes vbr = vbrFrames(3000);
    const struct {
        const char* name;
        const Bytes& file;
        bool exactSeek;
    } cases[] = {{"constant", cbr, true}, {"variable", vbr, false}};
    for (const auto& c : cases) {
        const auto whole = index(c.file);
        auto large = index(c.file, 64 * 1024);
        ASSERT_TRUE(whole && large) << c.name;
        const auto walked = static_cast<std::int64_t>(large->frames.size());
        const auto total = static_cast<std::int64_t>(whole->frames.size());
        MpegFrameWalker walker(*large, reader(c.file));

        for (const std::int64_t target : {std::int64_t{0}, walked - 1, walked, walked + 1, total / 2, total - 2, total - 1}) {
            walker.restart(target);
            const auto found = walker.next();
            ASSERT_TRUE(found) << c.name << " " << target;
            const auto at = std::find_if(whole->frames.begin(), whole->frames.end(),
                                         [&](const MpegFrame& f) { return f.offset == found->frame.offset; });
            ASSERT_NE(at, whole->frames.end()) << c.name << " " << target << ": not a frame";
            EXPECT_EQ(at->size, found->frame.size) << c.name << " " << target;
            EXPECT_EQ(found->number, target) << c.name << " " << target;
            if (c.exactSeek || target <= walked)
                EXPECT_EQ(at - whole->frames.begin(), target) << c.name << " " << target;
            else
                EXPECT_NEAR(static_cast<double>(at - whole->frames.begin()), static_cast<double>(target), total * 0.05) << c.name;
        }

        walker.restart(0);
        std::vector<MpegFrame> inOrder;
        while (const auto found = walker.next()) {
            ASSERT_EQ(found->number, static_cast<std::int64_t>(inOrder.size())) << c.name;
            inOrder.push_back(found->frame);
        }
        ASSERT_EQ(inOrder.size(), whole->frames.size()) << c.name;
        for (std::size_t i = 0; i < inOrder.size(); ++i)
            ASSERT_EQ(inOrder[i].offset, whole->frames[i].offset) << c.name << " " << i;
        // Walked on in order, the index has grown to every frame: a later seek back lands exactly.
        EXPECT_EQ(large->frames.size(), whole->frames.size()) << c.name;
    }
}

}  // namespace
}  // namespace tamro::audio
