// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/engine.h"

#include "base/failure.h"
#include "support/sine_decoder.h"
#include "support/tone.h"
#include "support/virtual_output.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace tamro::audio {
namespace {

using testing::VirtualOutput;
using namespace std::chrono_literals;

constexpr int rate = 48000;

struct Tone {
    double frequency;
    std::int64_t frames;
    std::int64_t endEarlyAt = -1;
};

// An engine on a virtual output, with the UI thread's event queue run by hand.
class EngineTest : public ::testing::Test {
protected:
    std::map<std::string, Tone> files{
        {"/music/a440.wav", {440.0, rate}},          // 1 s
        {"/music/b1000.wav", {1000.0, 2 * rate}},    // 2 s
        {"/music/short.wav", {440.0, 4800}},         // 0.1 s
        {"/music/corrupt.mp3", {440.0, 9600, 4000}}, // claims 0.2 s, decodes 4000 frames
        {"/music/empty.wav", {440.0, 0}},
        {"/music/tiny.wav", {1000.0, 320}},          // fills the rest of a block behind short.wav
    };
    VirtualOutput* out = nullptr;
    std::unique_ptr<Engine> engine;
    int ends = 0;
    std::atomic<int> opened{0};  // files opened, by the UI thread or the decode thread
    // Runs what the engine posts to the UI thread at once, inside the callback, as if the UI thread answered
    // before the callback's patience ran out.
    bool postAtOnce = false;

    void SetUp() override
    {
        auto output = std::make_unique<VirtualOutput>(OutputFormat{rate, 2}, 512);
        out = output.get();
        engine = std::make_unique<Engine>(
            std::move(output),
            [this](const std::string& path, const OutputFormat& format) -> std::unique_ptr<Decoder> {
                ++opened;
                const auto it = files.find(path);
                if (it == files.end())
                    throw Failure("Cannot open '" + path + "': no such file");
                return std::make_unique<testing::SineDecoder>(it->second.frequency, it->second.frames, format,
                                                              it->second.endEarlyAt);
            },
            [this](std::function<void()> f) {
                if (postAtOnce)
                    return f();
                std::lock_guard lock(postedMutex);
                posted.push_back(std::move(f));
            });
        engine->setEndOfTrackHandler([this](std::int32_t) { ++ends; });
    }

    // Runs what was posted to the UI thread so far.
    void runEvents()
    {
        std::vector<std::function<void()>> now;
        {
            std::lock_guard lock(postedMutex);
            now.swap(posted);
        }
        for (auto& f : now)
            f();
    }

    // Pulls frames as the device would, letting the decode thread keep up in between and post what is due.
    std::vector<float> pull(std::int64_t frames)
    {
        std::vector<float> all;
        while (frames > 0) {
            EXPECT_TRUE(engine->waitUntilBuffered(5s));
            const auto n = std::min<std::int64_t>(frames, 16384);
            auto got = out->pull(static_cast<std::size_t>(n));
            all.insert(all.end(), got.begin(), got.end());
            frames -= n;
        }
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        return all;
    }

    static double seconds(std::int64_t frames) { return static_cast<double>(frames) / rate; }

    std::mutex postedMutex;
    std::vector<std::function<void()>> posted;
};

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

TEST_F(EngineTest, ALostDeviceIsReportedOnceAndTheNextStartOpensItAgain)
{
    std::vector<std::string> reports;
    engine->setDeviceLostHandler([&](const std::string& why) { reports.push_back(why); });
    engine->setFileName("/music/a440.wav");
    pull(512);
    out->lose("unplugged");
    for (auto deadline = std::chrono::steady_clock::now() + 5s; reports.empty() && std::chrono::steady_clock::now() < deadline;) {
        pull(4096);  // the device goes on calling back, as SDL's does
        runEvents();
    }
    pull(4096);
    runEvents();
    EXPECT_EQ(reports, std::vector<std::string>{"The audio device was lost: unplugged"}) << "once";

    for (const auto& [name, action] : std::map<std::string, std::function<void()>>{
             {"file name", [&] { engine->setFileName("/music/b1000.wav"); }},
             {"play", [&] { engine->play(); }},
             {"seek while playing", [&] { engine->setPosition(0.5); }}}) {
        SCOPED_TRACE(name);
        out->lose("unplugged");
        const int opens = out->opens;
        EXPECT_NO_THROW(action());
        EXPECT_EQ(out->opens, opens + 1) << "the lost device is closed and opened afresh";
        EXPECT_GT(testing::rms(pull(rate / 10)), 0.3) << "and heard";
    }
    EXPECT_NO_THROW(engine->stop());
}

TEST_F(EngineTest, WithNoDeviceAStartFailsReportedAndStoppedAndTheNextStartTriesAgain)
{
    std::vector<std::string> reports;
    engine->setDeviceLostHandler([&](const std::string& why) { reports.push_back(why); });
    const std::string refusal = "Cannot open the audio device: no sound server";
    out->refuseOpening("no sound server");
    struct Case {
        const char* name;
        std::function<void()> action;
        bool needsDevice;
    };
    const Case cases[] = {
        {"file name", [&] { engine->setFileName("/music/b1000.wav"); }, true},
        {"play", [&] { engine->play(); }, true},
        {"seek while stopped", [&] { engine->setPosition(0.5); }, false},
        {"stop", [&] { engine->stop(); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reports.clear();
        if (c.needsDevice)
            EXPECT_THAT(c.action, ::testing::ThrowsMessage<Failure>(::testing::StrEq(refusal)));
        else
            EXPECT_NO_THROW(c.action());
        runEvents();
        EXPECT_EQ(reports, c.needsDevice ? std::vector<std::string>{refusal} : std::vector<std::string>{})
            << "said also where the caller stays silent";
        EXPECT_FALSE(out->isOpen());
    }
    EXPECT_DOUBLE_EQ(engine->length(), 2.0) << "the file is loaded, only not heard";
    out->idle(1'000'000);
    EXPECT_DOUBLE_EQ(engine->position(), 0.0) << "and it does not move";

    out->refuseOpening("");
    engine->play();
    EXPECT_TRUE(out->isOpen()) << "the next start tries again";
    pull(rate / 4);
    EXPECT_DOUBLE_EQ(engine->position(), 0.25);
}

TEST_F(EngineTest, TheDeviceIsOpenOnlyWhileThereIsSomethingToPlay)
{
    struct Case {
        const char* name;
        std::function<void()> rest;
        bool closesWhenIdle;
        bool closed;
    };
    const Case cases[] = {
        {"after the last track", [&] { pull(4800 + 512); }, true, true},
        {"after Stop", [&] { pull(512); engine->stop(); pull(512); }, true, true},
        {"a driver that only records", [&] { pull(4800 + 512); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        out->closeWhenIdle = c.closesWhenIdle;
        engine->setFileName("/music/short.wav");
        EXPECT_TRUE(out->isOpen());
        c.rest();
        out->idle(400'000);
        EXPECT_TRUE(engine->waitUntilBuffered(5s));
        EXPECT_TRUE(out->isOpen()) << "not at once: a Play right after a Stop reuses it";
        out->idle(200'000);
        for (auto deadline = std::chrono::steady_clock::now() + 5s;
             out->isOpen() == c.closed && std::chrono::steady_clock::now() < deadline;)
            engine->waitUntilBuffered(5s);
        EXPECT_EQ(out->isOpen(), !c.closed);
        const int opens = out->opens;
        engine->setFileName("/music/a440.wav");
        EXPECT_EQ(out->opens, opens + (c.closed ? 1 : 0)) << "a new start opens it again";
        EXPECT_GT(testing::rms(pull(rate / 10)), 0.3);
        engine->stop();
        pull(512);
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

TEST_F(EngineTest, MotionSaysWhetherAndWhenThePositionMovesOnItsOwn)
{
    struct Step {
        const char* what;
        std::function<void()> action;
        bool moving;
        double startsIn;
        std::int64_t latency = 1024;
    };
    postAtOnce = true;  // the advance loads the next track as soon as the end is posted
    bool queueNext = false;
    engine->setEndOfTrackHandler([&](std::int32_t) {
        if (std::exchange(queueNext, false))
            engine->setFileName("/music/b1000.wav");
    });
    const std::vector<Step> steps{
        {"nothing loaded", [] {}, false, 0.0},
        {"loaded, before the first callback", [&] { engine->setFileName("/music/b1000.wav"); }, false, 0.0},
        {"playing", [&] { pull(24000); }, true, 0.0},
        {"between two callbacks", [&] { out->idle(5000); }, true, 0.0},
        {"a callback later than one buffer", [&] { out->idle(20000); }, false, 0.0},
        {"the callback comes", [&] { pull(512); }, true, 0.0},
        {"sought while playing", [&] { engine->setPosition(1.0); }, false, 0.0},
        // The device still sounds a block from before the seek.
        {"the next callback", [&] { pull(512); }, true, 512.0 / rate},
        {"stopped", [&] { engine->stop(); }, false, 0.0},
        {"callbacks while stopped", [&] { pull(2048); }, false, 0.0},
        {"the last frame goes out, the tail sounds on", [&] {
             engine->setFileName("/music/short.wav");
             pull(4864);
         }, true, 0.0, 2048},
        {"inside the tail", [&] { out->idle(40'000); }, true, 0.0},
        {"the tail has sounded", [&] { out->idle(2'000); }, false, 0.0},
        // 4800 frames and 320 of the next track: the device still holds 704 frames of the first.
        {"a track queued behind the tail", [&] {
             queueNext = true;
             engine->setFileName("/music/short.wav");
             pull(9 * 512);
             out->idle(8'000);  // the end is due, and the advance runs, before the block with the last frame
             engine->waitUntilBuffered(5s);
             pull(512);
         }, true, 704.0 / rate},
        {"its first frame nearly due", [&] { out->idle(14'000); }, true, 704.0 / rate - 0.014},
        {"its first frame heard", [&] { out->idle(1'000); }, true, 0.0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        out->latencyFrames = step.latency;
        step.action();
        const auto motion = engine->motion();
        EXPECT_EQ(motion.moving, step.moving);
        EXPECT_NEAR(motion.startsIn, step.startsIn, 2e-6);
    }
}

TEST_F(EngineTest, TheUiThreadHearsOnceWhenAPositionItSawStillStartsToMove)
{
    struct Case {
        const char* what;
        std::function<void()> before;
        bool looks;  // the UI thread asks motion() in between
        std::function<void()> after;
        int notices;
    };
    const std::vector<Case> cases{
        {"the first buffer of a new track", [&] { engine->setFileName("/music/b1000.wav"); }, true,
         [&] { pull(2048); }, 1},
        {"nobody looked while it was still", [&] { engine->setFileName("/music/b1000.wav"); }, false,
         [&] { pull(2048); }, 0},
        {"seen moving: nothing to tell", [&] { engine->setFileName("/music/b1000.wav"); pull(512); }, true,
         [&] { pull(2048); }, 0},
        {"the device fell behind, then called again", [&] {
             engine->setFileName("/music/b1000.wav");
             pull(512);
             out->idle(50'000);
         }, true, [&] { pull(512); }, 1},
        {"stopped: callbacks bring no motion", [&] { engine->setFileName("/music/b1000.wav"); engine->stop(); },
         true, [&] { pull(2048); }, 0},
        {"play after stop", [&] { engine->setFileName("/music/b1000.wav"); engine->stop(); }, true,
         [&] { engine->play(); pull(512); }, 1},
    };
    int notices = 0;
    engine->setMotionHandler([&] { ++notices; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.before();
        runEvents();
        notices = 0;
        if (c.looks)
            engine->motion();
        c.after();
        runEvents();
        EXPECT_EQ(notices, c.notices);
        if (c.notices > 0) {
            EXPECT_TRUE(engine->motion().moving) << "told once it moves";
        }
    }
}

TEST_F(EngineTest, AnEndDeliveredAfterTheEngineIsGoneIsIgnored)
{
    engine->setFileName("/music/short.wav");
    pull(4800);
    engine.reset();
    runEvents();
    EXPECT_EQ(ends, 0);
}

}  // namespace
}  // namespace tamro::audio
