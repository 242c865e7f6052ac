// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's one way in: a path becomes a decoder chosen by the file's content, or a refusal that says why.
#include "platform/audio/open_decoder.h"

#include "base/failure.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tamro::audio {
namespace {

namespace fs = std::filesystem;
using testing::soundFixture;

constexpr OutputFormat output{48000, 2};

std::string refusalOf(const std::string& path)
{
    try {
        openDecoder(path, output);
    } catch (const Failure& failure) {
        return failure.description();
    }
    return "opened";
}

class OpenDecoderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("tamro-open-decoder-" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    fs::path folder;
};

TEST_F(OpenDecoderTest, RefusesEveryEntryThatIsNotAPlayableLocalFile)
{
    ASSERT_EQ(::mkfifo(path("fifo.wav").c_str(), 0600), 0);
    fs::create_directory(path("folder.wma"));
    struct Case {
        std::string entry;
        std::string reason;
    };
    const Case cases[] = {
        {"", "no file name given"},
        {path("missing.mp3"), "no such file"},
        {path("folder.wma"), "it is a folder, not a file"},
        {path("fifo.wav"), "it is a pipe (FIFO), not a file"},
        {"/dev/urandom", "it is a device, not a file"},
        {soundFixture("empty.mp3"), "the file is empty"},
        {soundFixture("random.wav"), "no decoder understands this file"},
        // Protocols and FFmpeg's pseudo-URLs are names of files that do not exist here.
        {"http://127.0.0.1:1/x.mp3", "no such file"},
        {"concat:a.mp3|b.mp3", "no such file"},
        {"pipe:0", "no such file"},
        {"subfile,,start,0,end,0,,:x.wav", "no such file"},
        // Real files whose text points FFmpeg at other files and URLs.
        {soundFixture("hls.mp3"), "it is not a sound file but Apple HTTP Live Streaming"},
        {soundFixture("concat.mp3"), "it is not a sound file but Virtual concatenation script"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(refusalOf(c.entry), "Cannot open '" + c.entry + "': " + c.reason);
}

TEST_F(OpenDecoderTest, ChoosesTheDecoderByContentNotByName)
{
    // A format 0 MIDI file, one quarter note at 120 beats a minute: half a second, plus nothing else.
    const char midi[] = "MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x13\0\xff\x51\3\7\xa1\x20\0\x90\x3c\x64\x60\x80\x3c\0\0\xff\x2f\0";
    std::ofstream(path("song.mp3"), std::ios::binary).write(midi, sizeof midi - 1);
    EXPECT_EQ(openDecoder(path("song.mp3"), output)->lengthFrames(), 24000);

    fs::copy_file(soundFixture("tone-pcm_s16le.wav"), path("tone.mid"));
    EXPECT_EQ(openDecoder(path("tone.mid"), output)->lengthFrames(), 4 * 48000);
}

TEST_F(OpenDecoderTest, RefusesAHugeFileThatStartsLikeMidiWithoutReadingIt)
{
    {
        std::ofstream(path("huge.mid"), std::ios::binary) << "MThd";
    }
    fs::resize_file(path("huge.mid"), 1LL << 32);  // sparse: costs no disk
    EXPECT_EQ(refusalOf(path("huge.mid")), "Cannot open '" + path("huge.mid") + "': it is too large for a MIDI file");
}

// Little-endian fields, as RIFF files hold them.
std::string le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string wav(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint32_t dataBytes)
{
    const std::uint16_t align = static_cast<std::uint16_t>(std::max(1, channels * bits / 8));
    return "RIFF" + le(36 + dataBytes, 4) + "WAVEfmt " + le(16, 4) + le(tag, 2) + le(channels, 2) + le(rate, 4) +
           le(rate * align, 4) + le(align, 2) + le(bits, 2) + "data" + le(dataBytes, 4) + std::string(dataBytes, '\x40');
}

std::string fixtureBytes(const std::string& name)
{
    std::ifstream in(soundFixture(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A format 0 MIDI file of one note lasting `ticks` at the slowest tempo there is, `division` ticks a quarter.
std::string slowMidi(std::uint32_t ticks, std::uint16_t division)
{
    auto vlq = [](std::uint32_t v) {
        std::string out(1, static_cast<char>(v & 0x7F));
        while (v >>= 7)
            out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        return out;
    };
    const std::string track = std::string("\0\xFF\x51\x03\xFF\xFF\xFF\0\x90\x3C\x64", 11) + vlq(ticks) +
                              std::string("\x80\x3C\0\0\xFF\x2F\0", 7);
    auto be = [](std::uint32_t v, int bytes) {
        std::string out;
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    };
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(division, 2) + "MTrk" + be(static_cast<std::uint32_t>(track.size()), 4) + track;
}

// Files built to hurt: each refused on opening, with words that say what is wrong.
TEST_F(OpenDecoderTest, RefusesHostileFilesNamingWhatIsWrong)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;
    };
    const Case cases[] = {
        {"one-hertz.wav", wav(1, 1, 1, 8, 1 << 20), "its sample rate of 1 Hz is below any real sound's (at least 1000 Hz)"},
        {"999-hertz.wav", wav(1, 2, 999, 16, 4000), "its sample rate of 999 Hz is below any real sound's (at least 1000 Hz)"},
        {"one-hertz.flac", fixtureBytes("one-hertz.flac"), "its sample rate of 1 Hz is below any real sound's (at least 1000 Hz)"},
        {"unknown-tag.wav", wav(0x1234, 2, 44100, 16, 4000),
            "its sound is stored in an encoding no decoder here knows (format tag 0x1234, 16 bits per sample)"},
        {"zero-bits.wav", wav(1, 2, 44100, 0, 4000),
            "its sound is stored in an encoding no decoder here knows (format tag 0x0001, 0 bits per sample)"},
        {"centuries.mid", slowMidi(0x0FFFFFFF, 1), "its timing is damaged: it would play for 52124 days"},
    };
    for (const auto& c : cases) {
        std::ofstream(path(c.name), std::ios::binary) << c.bytes;
        EXPECT_EQ(refusalOf(path(c.name)), "Cannot open '" + path(c.name) + "': " + c.reason);
    }
    // Linux opens no path this long: the message says so rather than "name too long".
    const std::string longPath = "/" + std::string(5000, 'a') + ".mp3";
    EXPECT_EQ(refusalOf(longPath), "Cannot open '" + longPath + "': the path is 5005 bytes long, and Linux opens none longer than 4095");
    // A rate just at the floor still plays.
    std::ofstream(path("1000-hertz.wav"), std::ios::binary) << wav(1, 1, 1000, 16, 2000);
    EXPECT_EQ(openDecoder(path("1000-hertz.wav"), output)->lengthFrames(), 48000);
}

TEST_F(OpenDecoderTest, FindsTheMidiDataOfAnRmiWhoseChunkSizeLies)
{
    const std::string midi("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x13\0\xff\x51\3\7\xa1\x20\0\x90\x3c\x64\x60\x80\x3c\0\0\xff\x2f\0", 41);
    const std::string info = "INFOINAM" + le(4, 4) + "Song";
    const std::string rmi = "RIFF" + le(4 + 8 + static_cast<std::uint32_t>(info.size()) + 8 + 41, 4) + "RMID" + "LIST" +
                            le(0x7FFFFFF0, 4) + info + "data" + le(41, 4) + midi;
    std::ofstream(path("lying.rmi"), std::ios::binary) << rmi;
    EXPECT_EQ(openDecoder(path("lying.rmi"), output)->lengthFrames(), 24000);
}

// Gigabytes of zeros around MPEG audio, as sparse files: the search for frames stops at a bound.
TEST_F(OpenDecoderTest, MpegAudioPaddedWithGigabytesOpensAtOnce)
{
    const std::int64_t toneLength = openDecoder(soundFixture("tone-cbr.mp3"), output)->lengthFrames();
    fs::copy_file(soundFixture("tone-cbr.mp3"), path("padded.mp3"));
    fs::resize_file(path("padded.mp3"), 2LL << 30);
    std::ofstream(path("one-header.mp3"), std::ios::binary) << std::string("\xFF\xFB\x90\x64", 4);
    fs::resize_file(path("one-header.mp3"), 2LL << 30);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(openDecoder(path("padded.mp3"), output)->lengthFrames(), toneLength);
    EXPECT_EQ(refusalOf(path("one-header.mp3")),
        "Cannot open '" + path("one-header.mp3") + "': no decoder understands this file (it holds no MPEG audio frames)");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tamro::audio
