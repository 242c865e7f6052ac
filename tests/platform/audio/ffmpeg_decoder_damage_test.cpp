// SPDX-License-Identifier: GPL-3.0-or-later
// What is no sound, or damaged, or hostile: refusals with their reasons, damaged and shrinking files that play what
// they can, samples out of range, names FFmpeg would take for protocols; none of it brings the player down.
#include "ffmpeg_fixture.h"

#include "platform/audio/decoded_stream.h"

#include "base/failure.h"
#include "support/sound_fixtures.h"
#include "support/tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace tamro::audio {
namespace {

using testing::readFrames;
using testing::readToEnd;
using testing::soundFixture;

using fixture::cd;
using fixture::fourSeconds;
using fixture::open;

struct Refusal {
    const char* file;
    const char* reason;
};

TEST(FfmpegDecoder, RefusesWhatIsNoSoundWithTheReason)
{
    const Refusal refusals[] = {
        {"empty.mp3", "the file is empty"},
        {"empty.wav", "the file is empty"},
        {"random.mp3", "no decoder understands this file"},  // FFmpeg may take it for MPEG audio: no frames
        {"random.wav", "no decoder understands this file"},
        {"random.wma", "no decoder understands this file"},
        {"header-only.wav", "it is damaged or not a sound file"},
        {"absurd-rate.wav", "its sample rate of 536892962 Hz is beyond any sound's (at most 768000 Hz)"},
        // Texts that would have FFmpeg open further files and URLs are not sound files.
        {"hls.mp3", "it is not a sound file"},
        {"hls.m3u8", "it is not a sound file"},
        {"concat.mp3", "it is not a sound file"},
        {"concat.wav", "it is not a sound file"},
    };
    for (const auto& refusal : refusals) {
        const std::string path = soundFixture(refusal.file);
        try {
            open(refusal.file);
            ADD_FAILURE() << refusal.file << " was opened";
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().starts_with("Cannot open '" + path + "': " + refusal.reason)) << failure.description();
        }
    }
}

TEST(FfmpegDecoder, AHeaderClaimingGigabytesCostsNoGigabytes)
{
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    try {
        open("huge-info.wav");
    } catch (const Failure&) {
        // Refused or opened: either is fine, as long as it stays small.
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 200 * 1024) << "peak resident memory grew by this many KiB";
}

TEST(FfmpegDecoder, DamagedFilesPlayWhatTheyCanAndNeverMoreThanTheirLength)
{
    struct Damaged {
        const char* file;
        double minSeconds;
        double maxSeconds;
    };
    const Damaged damaged[] = {
        {"truncated.mp3", 1.9, 2.1},
        {"truncated.wav", 1.9, 2.1},
        {"truncated.wma", 0.0, 4.1},
    };
    for (const auto& file : damaged) {
        auto decoder = open(file.file);
        const auto all = readToEnd(*decoder, 2);
        const double seconds = static_cast<double>(all.size() / 2) / 44100.0;
        EXPECT_GE(seconds, file.minSeconds) << file.file;
        EXPECT_LE(seconds, file.maxSeconds) << file.file;
        EXPECT_LE(static_cast<std::int64_t>(all.size() / 2), decoder->lengthFrames()) << file.file;
        decoder->seek(decoder->lengthFrames() / 2);
        readToEnd(*decoder, 2);
    }
}

// Entries are local paths and nothing else: a name that FFmpeg would take for a protocol is a file name.
TEST(FfmpegDecoder, ProtocolLikeNamesAreLocalFileNames)
{
    for (const char* name : {"http://127.0.0.1:1/x.mp3", "concat:a.mp3|b.mp3", "pipe:0", "subfile,,start,0,end,0,,:x.wav", "file:x.wav"}) {
        try {
            openFfmpegDecoder(SoundFile::open(name), cd);
            ADD_FAILURE() << name << " was opened";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.description(), "Cannot open '" + std::string(name) + "': no such file");
        }
    }
    // The same names as real files in the current folder play those files.
    const auto folder = std::filesystem::temp_directory_path() / ("tamro-protocol-names-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    for (const char* name : {"pipe:0", "concat:a.mp3|b.mp3", "file:x.wav"}) {
        std::filesystem::copy_file(soundFixture("tone-pcm_s16le.wav"), name);
        auto decoder = openFfmpegDecoder(SoundFile::open(name), cd);
        EXPECT_EQ(decoder->lengthFrames(), fourSeconds) << name;
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}

// A float WAV file of `frames` stereo frames, every one of them `value`.
std::string floatWav(const std::string& path, float value, std::uint32_t frames)
{
    auto le = [](std::string& s, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::uint32_t dataBytes = frames * 8;
    std::string wav = "RIFF";
    le(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    le(wav, 16, 4);
    le(wav, 3, 2);  // IEEE float
    le(wav, 2, 2);
    le(wav, 44100, 4);
    le(wav, 44100 * 8, 4);
    le(wav, 8, 2);
    le(wav, 32, 2);
    wav += "data";
    le(wav, dataBytes, 4);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    for (std::uint32_t i = 0; i < frames * 2; ++i)
        le(wav, bits, 4);
    std::ofstream(path, std::ios::binary) << wav;
    return path;
}

TEST(FfmpegDecoder, SamplesBeyondFullScaleAreClampedToIt)
{
    const auto path = std::filesystem::temp_directory_path() / ("tamro-loud-" + std::to_string(::getpid()) + ".wav");
    const struct {
        float stored;
        float played;
    } cases[] = {{1e30f, 1.0f}, {-1e30f, -1.0f}, {2.0f, 1.0f}, {-1.5f, -1.0f}, {0.5f, 0.5f}, {-1.0f, -1.0f}};
    for (const auto& c : cases) {
        auto decoder = openFfmpegDecoder(SoundFile::open(floatWav(path.string(), c.stored, 4410)), cd);
        const auto all = readToEnd(*decoder, 2);
        ASSERT_EQ(all.size(), 2u * 4410);
        EXPECT_TRUE(std::all_of(all.begin(), all.end(), [&](float x) { return x == c.played; })) << c.stored;
    }
    std::filesystem::remove(path);
}

// A file cut short while it plays (a download overwritten, a file truncated) ends where its data ends.
TEST(FfmpegDecoder, AFileThatShrinksWhilePlayingEndsWhereItsDataEnds)
{
    for (const char* name : {"tone-cbr.mp3", "tone.mp2", "tone-pcm_s16le.wav"}) {
        const auto path = std::filesystem::temp_directory_path() / ("tamro-shrinking-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::copy_file(soundFixture(name), path, std::filesystem::copy_options::overwrite_existing);
        auto decoder = openFfmpegDecoder(SoundFile::open(path.string()), cd);
        const std::int64_t length = decoder->lengthFrames();
        readFrames(*decoder, 2, 44100 / 2);
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
        const auto rest = readToEnd(*decoder, 2);
        const double played = 0.5 + static_cast<double>(rest.size() / 2) / 44100.0;
        EXPECT_GT(played, 1.5) << name;
        EXPECT_LT(played, 0.6 * static_cast<double>(length) / 44100.0) << name;
        std::filesystem::remove(path);
    }
}

// The decode thread must never see an exception: running out of memory ends the track.
TEST(DecodedStream, RunningOutOfMemoryEndsTheTrackWithoutThrowing)
{
    class Exhausted final : public DecodedStream {
    public:
        Exhausted() : DecodedStream(cd, 44100, 44100) {}

    protected:
        std::optional<Decoded> nextFrame() override { throw std::bad_alloc(); }
        void restartAt(std::int64_t) override {}
    };
    Exhausted decoder;
    std::vector<float> block(2000);
    std::size_t got = 1;
    EXPECT_NO_THROW(got = decoder.read(block.data(), 1000));
    EXPECT_EQ(got, 0u);
}

TEST(FfmpegDecoder, NonFiniteSamplesPlayAsSilence)
{
    const auto path = std::filesystem::temp_directory_path() / ("tamro-nonfinite-" + std::to_string(::getpid()) + ".wav");
    for (const float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()}) {
        auto decoder = openFfmpegDecoder(SoundFile::open(floatWav(path.string(), value, 4410)), cd);
        const auto all = readToEnd(*decoder, 2);
        EXPECT_EQ(all.size(), 2u * 4410);
        EXPECT_TRUE(std::all_of(all.begin(), all.end(), [](float x) { return x == 0.0f; })) << value;
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace tamro::audio
