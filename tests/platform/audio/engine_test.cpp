// SPDX-License-Identifier: GPL-3.0-or-later
// Playing one track: length, position as heard, seeks, the end, stop and play.
#include "engine_fixture.h"

namespace tamro::audio {
namespace {

using namespace engine_testing;

TEST_F(EngineTest, LengthIsKnownAsSoonAsTheFileNameIsSetAndPlayStartsFromZero)
{
    engine->setFileName("/music/b1000.wav");
    EXPECT_DOUBLE_EQ(engine->length(), 2.0);
    EXPECT_DOUBLE_EQ(engine->position(), 0.0);
    EXPECT_EQ(out->opens, 1) << "the device is opened for the track";
}

TEST_F(EngineTest, PositionIsFramesPulledLessTheDeviceDelay)
{
    struct Case {
        std::int64_t latency, pulled;
    };
    for (const Case c : {Case{0, 4800}, Case{0, 24000}, Case{1024, 24000}, Case{4096, 48000}, Case{4096, 2048}}) {
        SCOPED_TRACE("latency " + std::to_string(c.latency) + ", pulled " + std::to_string(c.pulled));
        out->latencyFrames = c.latency;
        engine->setFileName("/music/b1000.wav");
        pull(c.pulled);
        EXPECT_DOUBLE_EQ(engine->position(), seconds(std::max<std::int64_t>(c.pulled - c.latency, 0)));
    }
}

TEST_F(EngineTest, BetweenCallbacksThePositionGlidesWithTheClockUntilWhatWasHandedOutIsHeard)
{
    struct Case {
        std::int64_t latency;
        std::int64_t glidesFrames;  // the furthest it goes without a callback
    };
    // A callback that comes late finds the position still gliding while the device holds frames; with less than
    // a buffer said to be held, it still glides one buffer.
    for (const Case c : {Case{1024, 1024}, Case{4096, 4096}, Case{256, 512}, Case{0, 512}}) {
        SCOPED_TRACE("latency " + std::to_string(c.latency));
        out->latencyFrames = c.latency;
        engine->setFileName("/music/b1000.wav");
        pull(24000);
        const double atCallback = seconds(24000 - c.latency);
        EXPECT_DOUBLE_EQ(engine->position(), atCallback);
        out->idle(5000);
        EXPECT_NEAR(engine->position(), atCallback + 0.005, 1.0 / rate);
        EXPECT_TRUE(engine->motion().moving);
        out->idle(1'000'000);
        EXPECT_NEAR(engine->position(), atCallback + seconds(c.glidesFrames), 2.0 / rate)
            << "no further than the device was given";
        EXPECT_FALSE(engine->motion().moving);
    }
    engine->stop();
    out->idle(5000);
    EXPECT_EQ(engine->position(), 0.0) << "a stopped position does not move";
}

TEST_F(EngineTest, UnevenCallbacksNeverStepThePositionBack)
{
    struct Callback {
        std::int64_t lateMicros;  // after the one before
        std::int64_t latency;     // what the device then says it holds
    };
    // The delay is estimated from when the device calls: a callback that comes late while the device says it
    // holds as much as ever, taken alone, would put the position back by the lateness; the next one, holding
    // less, puts it where the clock says again.
    const Callback callbacks[] = {{0, 1024}, {3000, 1024}, {0, 880}, {5000, 880}, {0, 640},
                                  {2000, 640}, {0, 544}, {0, 544}};
    out->latencyFrames = 1024;
    engine->setFileName("/music/b1000.wav");
    pull(4096);
    double last = engine->position();
    std::int64_t idled = 0, pulled = 4096;
    for (const Callback& c : callbacks) {
        SCOPED_TRACE("late " + std::to_string(c.lateMicros) + " us, latency " + std::to_string(c.latency));
        out->idle(c.lateMicros);
        idled += c.lateMicros;
        EXPECT_GE(engine->position(), last);
        out->latencyFrames = c.latency;
        pull(512);
        pulled += 512;
        last = engine->position();
        EXPECT_NEAR(last, seconds(pulled - 1024) + static_cast<double>(idled) / 1e6, 1.0 / rate)
            << "the callback leaves it on its course, with the clock";
    }
}

TEST_F(EngineTest, SeekingLandsClampedAndPlaybackGoesOnFromThere)
{
    struct Case {
        double to, lands;
    };
    for (const Case c : {Case{0.5, 0.5}, Case{1.25, 1.25}, Case{-3.0, 0.0}, Case{std::nan(""), 0.0}}) {
        SCOPED_TRACE(c.to);
        engine->setFileName("/music/b1000.wav");
        pull(rate / 10);
        engine->setPosition(c.to);
        EXPECT_DOUBLE_EQ(engine->position(), c.lands) << "right after the seek";
        pull(rate / 4);
        EXPECT_DOUBLE_EQ(engine->position(), c.lands + 0.25) << "and it plays on from there";
    }
}

TEST_F(EngineTest, SeekPastTheEndClampsToTheLengthAndEndsTheTrack)
{
    engine->setFileName("/music/a440.wav");
    engine->setPosition(99.0);
    EXPECT_DOUBLE_EQ(engine->position(), 1.0);
    pull(512);
    runEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_DOUBLE_EQ(engine->position(), 1.0);
}

TEST_F(EngineTest, SeekWhileStoppedMovesThePositionWithoutPlaying)
{
    engine->setFileName("/music/a440.wav");
    engine->stop();
    engine->setPosition(0.5);
    const auto sound = pull(rate / 10);
    EXPECT_DOUBLE_EQ(engine->position(), 0.5);
    EXPECT_EQ(testing::rms(sound), 0.0);
    engine->play();
    pull(rate / 10);
    EXPECT_DOUBLE_EQ(engine->position(), 0.6) << "play goes on from the sought position";
}

TEST_F(EngineTest, EndOfTrackComesOnceWhenTheLastFrameGoesToTheDevice)
{
    out->latencyFrames = 256;
    engine->setFileName("/music/short.wav");
    pull(4800 - 1);
    runEvents();
    EXPECT_EQ(ends, 0) << "not while a frame is still to go";
    pull(1);
    runEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_DOUBLE_EQ(engine->position(), seconds(4800 - 256)) << "the tail in the device is not heard yet";
    EXPECT_FALSE(out->lastActive) << "the output may rest: nothing follows";
    pull(rate);
    runEvents();
    EXPECT_EQ(ends, 1) << "exactly once";
}

TEST_F(EngineTest, BehindTheLastFrameThePositionGlidesThroughTheTailToTheLengthAndStaysThere)
{
    // The block that hands out the last frame ends at 4864; the device then holds 2048 frames, 1984 of them the
    // track's: its last frame is heard 41.3 ms later by the output's clock, with no callback in between.
    out->latencyFrames = 2048;
    engine->setFileName("/music/short.wav");
    pull(4800 + 64);
    runEvents();
    EXPECT_EQ(ends, 1);
    out->idle(40'000);
    EXPECT_NEAR(engine->position(), seconds(4800 - 1984) + 0.040, 1.0 / rate)
        << "further than one buffer, as the output rests";
    out->idle(1'000);
    EXPECT_LE(engine->position(), 0.1) << "but not past the last frame";
    out->idle(2'000);
    EXPECT_DOUBLE_EQ(engine->position(), 0.1);
    out->idle(300'000'000);
    EXPECT_DOUBLE_EQ(engine->position(), 0.1) << "still there after minutes of rest";
}

TEST_F(EngineTest, AnEndOnItsWayIsDroppedWhenTheTrackIsStoppedReplacedOrSought)
{
    const std::map<std::string, std::function<void(Engine&)>> actions{
        {"stop", [](Engine& e) { e.stop(); }},
        {"new file name", [](Engine& e) { e.setFileName("/music/a440.wav"); }},
        {"same file name again", [](Engine& e) { e.setFileName("/music/short.wav"); }},
        {"seek", [](Engine& e) { e.setPosition(0.05); }},
    };
    for (const auto& [name, action] : actions) {
        SCOPED_TRACE(name);
        ends = 0;
        engine->setFileName("/music/short.wav");
        pull(4800);  // the end is posted, not yet delivered
        action(*engine);
        runEvents();
        EXPECT_EQ(ends, 0);
    }
}

TEST_F(EngineTest, NoEndForATrackHaltedByStop)
{
    engine->setFileName("/music/short.wav");
    pull(1000);
    engine->stop();
    EXPECT_DOUBLE_EQ(engine->position(), 0.0) << "stop rewinds";
    const auto sound = pull(rate);
    runEvents();
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(testing::rms(sound), 0.0) << "stop halts";
    EXPECT_DOUBLE_EQ(engine->position(), 0.0);
}

TEST_F(EngineTest, PlayRestartsOnlyAfterTheEndOrAStop)
{
    engine->setFileName("/music/a440.wav");
    pull(rate / 10);
    engine->play();
    EXPECT_DOUBLE_EQ(engine->position(), 0.1) << "no restart while playing";

    engine->setPosition(0.9);
    pull(rate / 10);
    runEvents();
    ASSERT_EQ(ends, 1);
    engine->play();
    EXPECT_DOUBLE_EQ(engine->position(), 0.0) << "after the end, from the start";
    pull(rate / 5);
    EXPECT_DOUBLE_EQ(engine->position(), 0.2);

    engine->stop();
    engine->play();
    pull(rate / 10);
    EXPECT_DOUBLE_EQ(engine->position(), 0.1) << "after stop, from the start";
}

TEST_F(EngineTest, ARefusedFileLeavesThePlayingTrackUntouched)
{
    engine->setFileName("/music/b1000.wav");
    pull(rate / 2);
    EXPECT_THAT([&] { engine->setFileName("/music/missing.wav"); },
                ::testing::ThrowsMessage<Failure>(::testing::HasSubstr("'/music/missing.wav'")));
    EXPECT_DOUBLE_EQ(engine->length(), 2.0);
    EXPECT_DOUBLE_EQ(engine->position(), 0.5);
    const auto sound = pull(rate / 2);
    EXPECT_DOUBLE_EQ(engine->position(), 1.0) << "still playing";
    EXPECT_NEAR(testing::dominantFrequency(testing::channel(sound, 2), rate), 1000.0, 1.0);
}

TEST_F(EngineTest, TheFilesToneComesOut)
{
    for (const auto& [path, frequency] : {std::pair{"/music/a440.wav", 440.0}, {"/music/b1000.wav", 1000.0}}) {
        SCOPED_TRACE(path);
        engine->setFileName(path);
        const auto sound = pull(rate / 2);
        EXPECT_NEAR(testing::dominantFrequency(testing::channel(sound, 2), rate), frequency, 1.0);
        EXPECT_NEAR(testing::rms(sound), 0.5 / std::sqrt(2.0), 0.01);
    }
}

TEST_F(EngineTest, ATrackThatDecodesShortStillEndsOnceAtItsLength)
{
    engine->setFileName("/music/corrupt.mp3");
    const auto sound = pull(9600);
    runEvents();
    EXPECT_EQ(ends, 1);
    EXPECT_DOUBLE_EQ(engine->position(), 0.2);
    EXPECT_GT(testing::rms(std::span(sound).first(4000 * 2)), 0.3);
    EXPECT_EQ(testing::rms(std::span(sound).subspan(4000 * 2)), 0.0) << "nothing made up after the decoded part";
}

TEST_F(EngineTest, AnEmptyTrackEndsAtOnce)
{
    engine->setFileName("/music/empty.wav");
    EXPECT_DOUBLE_EQ(engine->length(), 0.0);
    pull(512);
    runEvents();
    EXPECT_EQ(ends, 1);
}

TEST_F(EngineTest, NothingLoadedIsQuietAndHarmless)
{
    engine->play();
    engine->stop();
    engine->setPosition(3.0);
    EXPECT_EQ(engine->length(), 0.0);
    EXPECT_EQ(engine->position(), 0.0);
    EXPECT_EQ(testing::rms(pull(rate / 10)), 0.0);
    EXPECT_FALSE(out->lastActive);
}

}  // namespace
}  // namespace tamro::audio
