// SPDX-License-Identifier: GPL-3.0-or-later
// The real engine in a scripted session, run twice: once with Timer1_Timer and Timer2_Timer every virtual
// millisecond, once on the display schedule. A person would see the same slider, clock and failure boxes at every
// millisecond, and a new heard second soon, also when the position steps ahead of the course the display planned.
#include "scripted_session.h"

#include "support/sine_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace tamro::app {
namespace {

using namespace scripted;

// The real engine with three tones; the device is lost near the end.
Recording engineSession(Ticks ticks)
{
    const std::map<std::string, double> seconds{
        {"/music/long.wav", 12.3}, {"/music/middle.wav", 2.26}, {"/music/short.wav", 1.7}};
    auto output = std::make_unique<ClockedOutput>();
    ClockedOutput* device = output.get();
    Session* session = nullptr;
    auto engine = std::make_unique<audio::Engine>(
        std::move(output),
        [&](const std::string& path, const audio::OutputFormat& format) {
            return std::make_unique<testing::SineDecoder>(440.0, std::llround(seconds.at(path) * rate), format);
        },
        [&session](std::function<void()> f) { session->post(std::move(f)); });
    audio::Engine* raw = engine.get();
    Session s(ticks, std::move(engine), device);
    session = &s;
    raw->setDeviceLostHandler([&s](const std::string& why) { s.window.deviceLost(why); });

    const Session::Script script{
        {100, [](Session& s) { s.f().List1.setListIndex(0); s.click(s.f().cmdplay); }},
        {1800, [](Session& s) { QTest::mouseClick(&s.f().Slider1, Qt::LeftButton, {}, QPoint(s.f().Slider1.width() - 8, s.f().Slider1.height() / 2)); }},
        {2600, press}, {2650, [](Session& s) { moveTo(s, 3); }}, {2700, [](Session& s) { moveTo(s, 4); }},
        {2900, [](Session& s) { moveTo(s, 2); }}, {3000, release},
        {3600, [](Session& s) { s.click(s.f().Command2); }},  // Stop
        {4200, [](Session& s) { s.click(s.f().cmdplay); }},
        {5000, [](Session& s) { s.click(s.f().Command3); }},  // Next: the middle track, then the short one
        // The short track is the last: its end stops the advance, and its tail plays out.
        {10500, doubleClickFirst},
        {11000, press}, {11050, [](Session& s) { moveTo(s, 7); }},
        {11100, [](Session& s) { s.click(s.f().Command2); }},  // Stop while seeking
        {11200, [](Session& s) { moveTo(s, 3); }}, {11300, release},
        {11800, [](Session& s) { s.click(s.f().cmdplay); }},
        {12500, openAndCloseAbout},
        {13000, [device](Session& s) {
             device->lose("unplugged");
             s.awaitPost();
         }},
        {13500, [](Session& s) { s.click(s.f().cmdplay); }},
    };
    s.run(script, 14500);
    return {s.shown, s.heard, s.scheduledTicks()};
}

// The real engine playing one long tone on a device that, every 100 ms, says it holds 40 ms less than before
// (as one that calls back early does): each time the position steps ahead of the course the display planned from.
Recording steppingSession()
{
    constexpr std::int64_t step = rate * 40 / 1000;
    auto output = std::make_unique<ClockedOutput>();
    ClockedOutput* device = output.get();
    device->delay = 2 * period + 60 * step;
    Session* session = nullptr;
    auto engine = std::make_unique<audio::Engine>(
        std::move(output),
        [](const std::string&, const audio::OutputFormat& format) {
            return std::make_unique<testing::SineDecoder>(440.0, 30 * rate, format);
        },
        [&session](std::function<void()> f) { session->post(std::move(f)); });
    Session s(Ticks::scheduled, std::move(engine), device);
    session = &s;
    Session::Script script{{100, [](Session& s) { s.f().List1.setListIndex(0); s.click(s.f().cmdplay); }}};
    for (std::int64_t ms = 3150; ms < 8000; ms += 100)
        script.emplace(ms, [device](Session&) { device->delay -= step; });
    s.run(script, 8000);
    return {s.shown, s.heard, s.scheduledTicks()};
}

TEST(DisplaySession, TheScheduleShowsWhatTicksEveryMillisecondShowedWithTheRealEngine)
{
    const Recording reference = engineSession(Ticks::everyMillisecond);
    const Recording scheduled = engineSession(Ticks::scheduled);
    expectSameDisplay(reference, scheduled);
    EXPECT_EQ(reference.heard, scheduled.heard) << "both runs heard the same session";
    EXPECT_LE(longestLag(scheduled), 20) << "ms from a new heard second to the slider";
    // While something plays the schedule wakes about four times a second (the ceiling), not a thousand.
    EXPECT_LT(scheduled.scheduledTicks, 14500 / 50) << scheduled.scheduledTicks;
    std::printf("display lag at most %lld ms; %d scheduled ticks in 14.5 s\n",
                static_cast<long long>(longestLag(scheduled)), scheduled.scheduledTicks);

    // The script did what it says: the slider moved, the clock counted, the lost device was reported.
    EXPECT_EQ(scheduled.shown.back().box, "The audio device was lost: unplugged");
    EXPECT_EQ(scheduled.shown[2000].clock, "00:07") << "the click on the groove sought a page on";
    EXPECT_EQ(scheduled.shown[2950].slider, 2) << "the drag sought";
    EXPECT_EQ(scheduled.shown[9900].clock, "00:02") << "the last track's tail shows its length";
    EXPECT_EQ(scheduled.shown[11250].clock, "00:03") << "sought while stopped";
}

TEST(DisplaySession, APositionThatStepsAheadOfThePlanIsShownWithoutWaitingForThePlannedTick)
{
    const Recording run = steppingSession();
    ASSERT_TRUE(run.heard.back().has_value());
    // 2.42 s of delay said at first, 1.96 s of it taken back in steps; played from 100 ms.
    EXPECT_NEAR(*run.heard.back(), 8.0 - 0.1 - 2.42 + 1.96, 1.0) << "the steps moved the position on";
    EXPECT_LE(longestLag(run), 20) << "ms from a new heard second to the slider";
    std::printf("display lag at most %lld ms with the position stepping ahead; %d scheduled ticks in 8 s\n",
                static_cast<long long>(longestLag(run)), run.scheduledTicks);
}

}  // namespace
}  // namespace tamro::app
