// SPDX-License-Identifier: GPL-3.0-or-later
// The device: lost, missing, and open only while there is something to play.
#include "engine_fixture.h"

namespace tamro::audio {
namespace {

using namespace engine_testing;

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

}  // namespace
}  // namespace tamro::audio
