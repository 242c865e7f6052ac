// SPDX-License-Identifier: GPL-3.0-or-later
// What the UI thread is told: the position's motion, and nothing once the engine is gone.
#include "engine_fixture.h"

namespace tamro::audio {
namespace {

using namespace engine_testing;

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
