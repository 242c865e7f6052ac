// SPDX-License-Identifier: GPL-3.0-or-later
// From one track to the next: the track loaded at the end, the file expected next started early, the end's time.
#include "engine_fixture.h"

namespace tamro::audio {
namespace {

using namespace engine_testing;

TEST_F(EngineTest, ATrackLoadedAtTheEndFollowsTheLastFrameWithoutSilence)
{
    // 4800 frames are 9 blocks of 512 and 192 frames: the next track fills the rest of the tenth block.
    struct Case {
        const char* next;
        int ends;
        std::int64_t nextFrames;
    };
    for (const Case c :
         {Case{"/music/b1000.wav", 1, 2 * rate}, Case{"/music/empty.wav", 2, 0}, Case{"/music/tiny.wav", 2, 320}}) {
        SCOPED_TRACE(c.next);
        ends = 0;
        bool loaded = false;
        postAtOnce = true;
        engine->setEndOfTrackHandler([&](std::int32_t) {
            ++ends;
            if (!std::exchange(loaded, true))
                engine->setFileName(c.next);
        });
        out->latencyFrames = 1024;
        engine->setFileName("/music/short.wav");
        // The callback never waits for the advance: the end comes a quarter buffer before the device asks for
        // the block that holds the last frame, and the next track is in the ring by then.
        auto sound = pull(9 * 512);
        EXPECT_EQ(ends, 0) << "not a whole buffer early";
        out->idle(8'000);
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        EXPECT_TRUE(loaded) << "the advance has run";
        const auto rest = pull(512);
        sound.insert(sound.end(), rest.begin(), rest.end());
        EXPECT_EQ(ends, c.ends) << "a next track over within the same buffer ends too";

        std::vector<float> expected(2 * (4800 + 320), 0.0f);
        testing::SineDecoder(440.0, 4800, {rate, 2}).read(expected.data(), 4800);
        testing::SineDecoder(1000.0, c.nextFrames, {rate, 2}).read(expected.data() + 2 * 4800, 320);
        EXPECT_EQ(sound, expected) << "the first track to its last frame, the next one right behind it";
        if (c.ends > 1)
            continue;

        // The device still holds 704 frames of the first track: the next one is heard from then on.
        EXPECT_EQ(engine->position(), 0.0);
        out->idle(14'000);
        EXPECT_EQ(engine->position(), 0.0) << "not before its first frame is due";
        out->idle(6'000);
        EXPECT_NEAR(engine->position(), seconds(960 - 704), 1.0 / rate);
        pull(4 * 512);
        EXPECT_DOUBLE_EQ(engine->position(), seconds(320 + 4 * 512 - 1024));
    }
}

TEST_F(EngineTest, TheFileExpectedNextFollowsTheTailAndTheAdvanceTakesItOverAsItIsHeard)
{
    const auto sine = [](double frequency, std::int64_t length, std::int64_t from, std::int64_t frames) {
        std::vector<float> all(static_cast<std::size_t>(2 * (from + frames)));
        testing::SineDecoder(frequency, length, {rate, 2}).read(all.data(), static_cast<std::size_t>(from + frames));
        return std::vector<float>(all.begin() + 2 * from, all.end());
    };
    struct Case {
        const char* name;
        const char* expectedLater;  // what is expected next once short.wav is all decoded
        const char* advanceLoads;   // nullptr: nothing (the last entry)
        int opens;                  // files opened in all
    };
    for (const Case c : {Case{"the expected file", nullptr, "/music/b1000.wav", 2},
                         Case{"another file", nullptr, "/music/a440.wav", 3},
                         Case{"none", nullptr, nullptr, 2},
                         Case{"expected another file before it was heard", "/music/a440.wav", "/music/a440.wav", 3}}) {
        SCOPED_TRACE(c.name);
        ends = 0;
        opened = 0;
        postAtOnce = true;
        engine->setEndOfTrackHandler([&](std::int32_t) {
            ++ends;
            if (c.advanceLoads)
                engine->setFileName(c.advanceLoads);
            engine->expectNext("");  // the playlist has no further entry
        });
        out->latencyFrames = 1024;
        engine->setFileName("/music/short.wav");
        engine->expectNext("/music/b1000.wav");
        auto sound = pull(9 * 512);
        if (c.expectedLater)
            engine->expectNext(c.expectedLater);
        const std::string next = c.expectedLater ? c.expectedLater : "/music/b1000.wav";
        const double nextFrequency = next == "/music/a440.wav" ? 440.0 : 1000.0;
        const std::int64_t nextLength = files[next].frames;
        // The tenth block holds the last 192 frames and then the next track's first 320: reported once the
        // device may be sounding them, not before.
        const auto tenth = pull(512);
        sound.insert(sound.end(), tenth.begin(), tenth.end());
        EXPECT_EQ(ends, 0);
        EXPECT_DOUBLE_EQ(engine->position(), seconds(10 * 512 - 1024)) << "the tail's, still";
        EXPECT_EQ(engine->loadedFile(), "/music/short.wav");
        out->idle(4'000);
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        EXPECT_EQ(ends, 1);
        auto expected = sine(440.0, 4800, 0, 4800);
        const auto head = sine(nextFrequency, nextLength, 0, 320);
        expected.insert(expected.end(), head.begin(), head.end());
        EXPECT_EQ(sound, expected) << "the first track to its last frame, the expected one right behind it";

        const auto after = pull(4 * 512);
        EXPECT_EQ(opened, c.opens);
        if (!c.advanceLoads) {
            EXPECT_FALSE(engine->isPlaying());
            EXPECT_EQ(after, std::vector<float>(after.size(), 0.0f)) << "nothing after the last track";
            out->idle(100'000);
            EXPECT_DOUBLE_EQ(engine->position(), 0.1);
        } else if (c.advanceLoads == next) {
            EXPECT_TRUE(engine->isPlaying());
            EXPECT_EQ(engine->loadedFile(), next);
            EXPECT_DOUBLE_EQ(engine->length(), seconds(nextLength));
            EXPECT_EQ(after, sine(nextFrequency, nextLength, 320, 4 * 512)) << "taken over, not started again";
            EXPECT_DOUBLE_EQ(engine->position(), seconds(320 + 4 * 512 - 1024));
        } else {
            EXPECT_EQ(engine->loadedFile(), c.advanceLoads);
            EXPECT_EQ(after, sine(440.0, rate, 0, 4 * 512)) << "the loaded file from its start, the early one gone";
        }
        engine->stop();
    }
}

TEST_F(EngineTest, TheEndIsDueAQuarterBufferBeforeTheBufferWithTheLastFrame)
{
    // Tracks ending at different places in a 512-frame buffer: the end comes after the buffer before the last
    // one, once three quarters of a buffer (8 ms) have gone by; not before, whatever the place.
    for (const std::int64_t length : {4608 + 1, 4608 + 256, 4608 + 512}) {
        SCOPED_TRACE(length);
        files["/music/cut.wav"] = {440.0, length};
        ends = 0;
        engine->setFileName("/music/cut.wav");
        pull(9 * 512);
        out->idle(7'900);
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        runEvents();
        EXPECT_EQ(ends, 0);
        out->idle(200);
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        runEvents();
        EXPECT_EQ(ends, 1);
        pull(512);
        runEvents();
        EXPECT_EQ(ends, 1) << "once";
    }
}

}  // namespace
}  // namespace tamro::audio
