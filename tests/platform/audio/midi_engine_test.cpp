// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "platform/audio/engine.h"
#include "platform/audio/open_decoder.h"

#include "support/smf_writer.h"
#include "support/temp_folder.h"
#include "support/tone.h"
#include "support/virtual_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tamro::audio {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::TrackWriter;

constexpr int rate = 48000;

// Repeated eighth notes of one key on the ocarina (a near-sine instrument), `quarters` long at 120 bpm.
Bytes notes(int key, int quarters)
{
    TrackWriter t;
    t.program(0, 0, 79);
    for (int i = 0; i < 2 * quarters; ++i)
        t.noteOn(0, 0, key).noteOff(240, 0, key);
    t.end();
    return testing::smfFile(0, 480, {t});
}

// The real engine and decoders on a virtual output, with MIDI files on disk.
class MidiEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto output = std::make_unique<testing::VirtualOutput>(OutputFormat{rate, 2}, 512);
        out = output.get();
        engine = std::make_unique<Engine>(std::move(output), openDecoder, [this](std::function<void()> f) {
            std::lock_guard lock(postedMutex);
            posted.push_back(std::move(f));
        });
        engine->setEndOfTrackHandler([this](std::int32_t) { ++ends; });
    }

    std::string write(const std::string& name, const Bytes& bytes)
    {
        testing::writeBytes(folder.file(name), std::string(bytes.begin(), bytes.end()));
        return folder.file(name);
    }

    // The left channel of `frames` frames pulled as the device would, with the UI thread's events run after.
    std::vector<float> pull(std::int64_t frames)
    {
        std::vector<float> left;
        for (std::int64_t done = 0; done < frames; done += 4096) {
            EXPECT_TRUE(engine->waitUntilBuffered(5s));
            const auto block = out->pull(static_cast<std::size_t>(std::min<std::int64_t>(4096, frames - done)));
            const auto channel = testing::channel(block, 2);
            left.insert(left.end(), channel.begin(), channel.end());
        }
        EXPECT_TRUE(engine->waitUntilBuffered(5s));  // the decode thread posts what the pull made due
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(postedMutex);
            now.swap(posted);
        }
        for (auto& f : now)
            f();
        return left;
    }

    static double pitch(const std::vector<float>& samples) { return testing::dominantFrequency(samples, rate, 100, 2000); }

    testing::TempFolder folder;
    testing::VirtualOutput* out = nullptr;
    std::unique_ptr<Engine> engine;
    int ends = 0;
    std::mutex postedMutex;
    std::vector<std::function<void()>> posted;
};

TEST_F(MidiEngineTest, PlaysToTheTempoMapLengthAndEndsOnce)
{
    engine->setFileName(write("a4.mid", notes(69, 3)));
    EXPECT_DOUBLE_EQ(engine->length(), 1.5);
    EXPECT_NEAR(pitch(pull(rate / 2)), 440.0, 3.0);
    pull(rate);  // past the end
    EXPECT_EQ(ends, 1);
    EXPECT_DOUBLE_EQ(engine->position(), 1.5);
}

TEST_F(MidiEngineTest, RmiPlaysLikeTheMidiFile)
{
    engine->setFileName(write("e5.rmi", testing::rmiFile(notes(76, 2))));
    EXPECT_DOUBLE_EQ(engine->length(), 1.0);
    EXPECT_NEAR(pitch(pull(rate / 2)), 659.26, 3.0);
}

// The new track takes over the one synthesizer at once; a refused file changes nothing.
TEST_F(MidiEngineTest, ANewFileSoundsAloneAndARefusedOneLeavesTheOldPlaying)
{
    engine->setFileName(write("a4.mid", notes(69, 8)));
    pull(rate / 4);
    engine->setFileName(write("e5.mid", notes(76, 8)));
    EXPECT_NEAR(pitch(pull(rate / 4)), 659.26, 3.0);
    const Bytes corrupt{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 2, 0, 1, 0, 96};
    EXPECT_THROW(engine->setFileName(write("format2.mid", corrupt)), Failure);
    EXPECT_NEAR(pitch(pull(rate / 4)), 659.26, 3.0);
    EXPECT_DOUBLE_EQ(engine->length(), 4.0);
}

}  // namespace
}  // namespace tamro::audio
