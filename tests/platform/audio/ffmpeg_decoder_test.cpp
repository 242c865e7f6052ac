// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding the generated tones in every format: exact lengths, the right tone where it should be, seeks that
// land, refusals with their reasons, and damaged files that never bring the player down.
#include "platform/audio/ffmpeg_decoder.h"

#include "platform/audio/decoded_stream.h"
#include "platform/audio/mpeg_audio_index.h"

#include "base/failure.h"
#include "support/sound_fixtures.h"
#include "support/tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

using testing::channel;
using testing::dominantFrequency;
using testing::readFrames;
using testing::readToEnd;
using testing::rms;
using testing::soundFixture;

constexpr OutputFormat cd{44100, 2};
constexpr std::int64_t fourSeconds = 4 * 44100;

std::unique_ptr<Decoder> open(const std::string& name, const OutputFormat& format = cd)
{
    return openFfmpegDecoder(SoundFile::open(soundFixture(name)), format);
}

// The tone heard in a stretch of `seconds` at the decoder's current position (left channel).
double toneNow(Decoder& decoder, const OutputFormat& format, double seconds = 0.25)
{
    const auto samples = readFrames(decoder, format.channels, static_cast<std::size_t>(seconds * format.sampleRate));
    const auto left = channel(samples, format.channels);
    return dominantFrequency(left, format.sampleRate);
}

struct Tone {
    const char* file;
    std::int64_t minLength;  // in frames at 44100 Hz
    std::int64_t maxLength;
};

// Exact where the file says exactly how long it is; MPEG files without a LAME tag hold whole frames that
// include the codec's delay and padding, and WMA is as long as the ASF header's play duration.
const Tone tones[] = {
    {"tone-pcm_u8.wav", fourSeconds, fourSeconds},
    {"tone-pcm_s16le.wav", fourSeconds, fourSeconds},
    {"tone-pcm_s24le.wav", fourSeconds, fourSeconds},
    {"tone-pcm_s32le.wav", fourSeconds, fourSeconds},
    {"tone-pcm_f32le.wav", fourSeconds, fourSeconds},
    {"tone-pcm_mulaw.wav", fourSeconds, fourSeconds},
    {"tone-pcm_alaw.wav", fourSeconds, fourSeconds},
    {"tone-adpcm_ms.wav", fourSeconds, fourSeconds + 1012},  // the fact chunk counts whole blocks
    {"tone.au", fourSeconds, fourSeconds},
    {"tone.snd", fourSeconds, fourSeconds},
    {"tone.flac", fourSeconds, fourSeconds},
    {"tone.ogg", fourSeconds, fourSeconds},
    {"tone-cbr.mp3", fourSeconds, fourSeconds},
    {"tone-vbr-lame.mp3", fourSeconds, fourSeconds},
    {"tone-vbr-noheader.mp3", fourSeconds, fourSeconds + 3 * 1152},
    {"tone-tagged.mp3", fourSeconds, fourSeconds + 3 * 1152},
    {"tone.mp2", fourSeconds, fourSeconds + 3 * 1152},
    {"tone-wmav1.wma", fourSeconds, fourSeconds + 4410},
    {"tone-wmav2.wma", fourSeconds, fourSeconds + 4410},
};

class EveryFormat : public ::testing::TestWithParam<Tone> {};

TEST_P(EveryFormat, KnowsItsLengthOnOpenAndPlaysExactlyThatMuch)
{
    const Tone& tone = GetParam();
    auto decoder = open(tone.file);
    const std::int64_t length = decoder->lengthFrames();
    EXPECT_GE(length, tone.minLength);
    EXPECT_LE(length, tone.maxLength);
    const auto all = readToEnd(*decoder, cd.channels);
    EXPECT_EQ(static_cast<std::int64_t>(all.size() / 2), length);
    EXPECT_EQ(decoder->read(std::vector<float>(64).data(), 32), 0u);
}

TEST_P(EveryFormat, PlaysTheRightToneAtTheStartInTheMiddleAndAfterASeek)
{
    const Tone& tone = GetParam();
    auto decoder = open(tone.file);
    readFrames(*decoder, 2, 44100 / 5);  // past the codec's fade-in
    EXPECT_NEAR(toneNow(*decoder, cd), 440.0, 3.0) << "at the start";

    readFrames(*decoder, 2, 2 * 44100);  // on into the second half
    EXPECT_NEAR(toneNow(*decoder, cd), 880.0, 3.0) << "in the middle";

    decoder->seek(44100 / 2);
    EXPECT_NEAR(toneNow(*decoder, cd), 440.0, 3.0) << "after a seek back";
    decoder->seek(3 * 44100);
    EXPECT_NEAR(toneNow(*decoder, cd), 880.0, 3.0) << "after a seek forward";
}

TEST_P(EveryFormat, SeekingPastTheEndOrBeforeTheStartIsClamped)
{
    auto decoder = open(GetParam().file);
    decoder->seek(decoder->lengthFrames() + 100000);
    std::vector<float> block(200);
    EXPECT_EQ(decoder->read(block.data(), 100), 0u);
    decoder->seek(-5);
    EXPECT_EQ(decoder->read(block.data(), 100), 100u);
}

INSTANTIATE_TEST_SUITE_P(Tones, EveryFormat, ::testing::ValuesIn(tones), [](const auto& info) {
    std::string name = info.param.file;
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

// A seek must land on the very sample asked for: what follows it is what plain playback gives there.
class ExactSeek : public ::testing::TestWithParam<const char*> {};

TEST_P(ExactSeek, LandsOnTheSampleAskedFor)
{
    auto decoder = open(GetParam());
    const auto all = readToEnd(*decoder, 2);
    for (const std::int64_t target : {std::int64_t{0}, std::int64_t{1}, std::int64_t{12345}, std::int64_t{100003}, fourSeconds - 3000}) {
        decoder->seek(target);
        const auto after = readFrames(*decoder, 2, 2048);
        ASSERT_EQ(after.size(), std::min<std::size_t>(4096, all.size() - static_cast<std::size_t>(target) * 2)) << target;
        float worst = 0;
        for (std::size_t i = 0; i < after.size(); ++i)
            worst = std::max(worst, std::abs(after[i] - all[static_cast<std::size_t>(target) * 2 + i]));
        EXPECT_LT(worst, 1e-3f) << "seek to " << target;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ExactSeek,
                         ::testing::Values("tone-pcm_s16le.wav", "tone-adpcm_ms.wav", "tone.au", "tone.flac", "tone-cbr.mp3",
                                           "tone-vbr-noheader.mp3", "tone.mp2", "tone-wmav1.wma", "tone-wmav2.wma", "tone-tagged.mp3", "tone-pcm_u8.wav"));

TEST(FfmpegDecoder, ResamplesToTheOutputRateKeepingLengthAndPitch)
{
    const OutputFormat dvd{48000, 2};
    for (const char* file : {"tone-pcm_s16le.wav", "tone-cbr.mp3", "tone-wmav2.wma"}) {
        auto decoder = open(file, dvd);
        if (std::string(file).ends_with(".wma"))
            EXPECT_NEAR(decoder->lengthFrames(), 4 * 48000, 4800) << file;
        else
            EXPECT_EQ(decoder->lengthFrames(), 4 * 48000) << file;
        readFrames(*decoder, 2, 4800);
        EXPECT_NEAR(toneNow(*decoder, dvd), 440.0, 3.0) << file;
        decoder->seek(0);
        EXPECT_EQ(static_cast<std::int64_t>(readToEnd(*decoder, 2).size() / 2), decoder->lengthFrames()) << file;
    }
}

TEST(FfmpegDecoder, PlaysMonoAtFullLevelOnBothChannels)
{
    for (const char* file : {"tone-mono.wav", "tone-tagged.mp3"}) {
        auto decoder = open(file);
        readFrames(*decoder, 2, 4410);
        const auto samples = readFrames(*decoder, 2, 44100);
        const auto left = channel(samples, 2, 0);
        const auto right = channel(samples, 2, 1);
        EXPECT_EQ(left, right) << file;
        EXPECT_NEAR(rms(left), 0.5 / std::sqrt(2.0), 0.02) << file;  // the tone's amplitude is 0.5
    }
}

TEST(FfmpegDecoder, VbrMp3WithoutHeaderStartingWithSilenceHasItsTrueLength)
{
    auto decoder = open("silence-vbr.mp3");
    EXPECT_NEAR(static_cast<double>(decoder->lengthFrames()) / 44100.0, 60.0, 0.1);
    readFrames(*decoder, 2, 5 * 44100);
    EXPECT_LT(rms(readFrames(*decoder, 2, 44100)), 1e-3);
    decoder->seek(40 * 44100);
    EXPECT_NEAR(toneNow(*decoder, cd), 440.0, 3.0);
    decoder->seek(decoder->lengthFrames() - 44100);
    EXPECT_EQ(readToEnd(*decoder, 2).size(), 2u * 44100);
}

TEST(FfmpegDecoder, ResynchronisesOnGarbageBetweenFrames)
{
    const auto single = open("tone-vbr-noheader.mp3")->lengthFrames();
    auto decoder = open("junk-in-middle.mp3");
    EXPECT_EQ(decoder->lengthFrames(), 2 * single);
    decoder->seek(single + 44100 / 2);
    EXPECT_NEAR(toneNow(*decoder, cd), 440.0, 3.0);
}

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

}  // namespace
}  // namespace tamro::audio

namespace tamro::audio {
namespace {

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

// An MP3 larger than what is walked on opening: the tone's frames back to back, 72 MiB (about 80 minutes). Its
// length is the copies' whole; a seek past the walked frames lands in the right half of the right copy.
TEST(FfmpegDecoder, ALargeMp3PlaysAndSeeksPastTheFramesWalkedOnOpening)
{
    for (const char* name : {"tone-cbr.mp3", "tone-vbr-noheader.mp3"}) {
        std::ifstream in(soundFixture(name), std::ios::binary);
        const std::string mp3((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const auto read = [&mp3](std::int64_t offset, std::span<std::uint8_t> out) {
            const std::size_t n = std::min(out.size(), mp3.size() - static_cast<std::size_t>(offset));
            std::memcpy(out.data(), mp3.data() + offset, n);
            return n;
        };
        const auto one = indexMpegAudio(static_cast<std::int64_t>(mp3.size()), read);
        ASSERT_TRUE(one) << name;
        const auto begin = static_cast<std::size_t>(one->frames.front().offset);
        const std::string frames = mp3.substr(begin, static_cast<std::size_t>(one->frames.back().offset + one->frames.back().size) - begin);
        const std::int64_t copies = (std::int64_t{72} << 20) / static_cast<std::int64_t>(frames.size());
        const auto path = std::filesystem::temp_directory_path() / ("tamro-large-" + std::to_string(::getpid()) + "-" + name);
        {
            std::string block;
            for (int i = 0; i < 64; ++i)
                block += frames;
            std::ofstream out(path, std::ios::binary);
            for (std::int64_t i = 0; i < copies / 64; ++i)
                out << block;
            for (std::int64_t i = 0; i < copies % 64; ++i)
                out << frames;
        }
        const std::int64_t copyLength = static_cast<std::int64_t>(one->frames.size()) * 1152;
        auto decoder = openFfmpegDecoder(SoundFile::open(path.string()), cd);
        EXPECT_EQ(decoder->lengthFrames(), copies * copyLength) << name;

        for (const std::int64_t copy : {std::int64_t{3}, copies * 19 / 20, copies - 1}) {
            decoder->seek(copy * copyLength + 44100 / 2);
            EXPECT_NEAR(toneNow(*decoder, cd), 440.0, 3.0) << name << ", copy " << copy;
            decoder->seek(copy * copyLength + 3 * 44100);
            EXPECT_NEAR(toneNow(*decoder, cd), 880.0, 3.0) << name << ", copy " << copy;
        }
        decoder->seek(decoder->lengthFrames() - 44100);
        EXPECT_EQ(readToEnd(*decoder, 2).size(), 2u * 44100) << name;
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
