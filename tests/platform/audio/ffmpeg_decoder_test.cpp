// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding the generated tones in every format: exact lengths, the right tone where it should be, seeks that
// land, resampling, and an MP3 far longer than what is walked on opening.
#include "ffmpeg_fixture.h"

#include "platform/audio/mpeg_audio_index.h"

#include "support/sound_fixtures.h"
#include "support/tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace tamro::audio {
namespace {

using testing::channel;
using testing::dominantFrequency;
using testing::readFrames;
using testing::readToEnd;
using testing::rms;
using testing::soundFixture;

using fixture::cd;
using fixture::fourSeconds;
using fixture::open;

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

}  // namespace
}  // namespace tamro::audio
