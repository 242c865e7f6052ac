// The engine's one way in: a path becomes a decoder chosen by the file's content, or a refusal that says why.
#include "platform/audio/open_decoder.h"

#include "base/failure.h"
#include "support/sound_fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

}  // namespace
}  // namespace tamro::audio
