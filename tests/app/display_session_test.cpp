// SPDX-License-Identifier: GPL-3.0-or-later
// One scripted session on a virtual clock, run twice: once with Timer1_Timer and Timer2_Timer every virtual
// millisecond, as the two 1 ms timers ran them, and once on the display schedule. A person would see the same
// slider, clock and failure boxes at every millisecond.
#include "app/player_window.h"

#include "base/failure.h"
#include "base/numbers.h"
#include "platform/audio/engine.h"
#include "support/fake_media_player.h"
#include "support/sine_decoder.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace tamro::app {
namespace {

using namespace std::chrono_literals;

constexpr int rate = 44100;  // 44.1 frames a millisecond: the position is rounded to frames between ticks
constexpr std::size_t period = 512;

// The virtual clock, in microseconds, shared by the device and the display timer.
std::atomic<std::int64_t> now{0};

// A device that renders when the session says so and reads its clock from the virtual one.
class ClockedOutput final : public audio::AudioOutput {
public:
    audio::OutputFormat format() const override { return {rate, 2}; }
    std::size_t periodFrames() const override { return period; }
    void start(Render render) override { render_ = std::move(render); }
    void open() override { open_ = true; }
    void close() override { open_ = false; }
    bool closesWhenIdle() const override { return false; }
    std::int64_t delayFrames() const override { return delay; }
    std::int64_t clockMicros() const override { return now; }
    std::string lostReason() const override
    {
        std::lock_guard lock(mutex_);
        return open_ ? lost_ : std::string();
    }

    // What the device says it holds; a session may change it between callbacks.
    std::atomic<std::int64_t> delay{2 * period};

    void lose(std::string reason)
    {
        std::lock_guard lock(mutex_);
        lost_ = std::move(reason);
    }
    void renderOneBuffer()
    {
        if (!open_ || !lostReason().empty())
            return;
        std::vector<float> buffer(period * 2);
        render_(buffer);
    }

private:
    Render render_;
    std::atomic<bool> open_{false};
    mutable std::mutex mutex_;
    std::string lost_;
};

// The display schedule's timer on the virtual clock.
class VirtualTimer final : public player::SingleShotTimer {
public:
    std::optional<std::int64_t> dueAt;  // virtual milliseconds
    int fired = 0;
    void start(std::chrono::milliseconds delay, std::function<void()> due) override
    {
        dueAt = now / 1000 + delay.count();
        due_ = std::move(due);
    }
    void stop() override { dueAt.reset(); }
    void fireIfDue(std::int64_t millis)
    {
        if (dueAt && *dueAt <= millis) {
            dueAt.reset();
            ++fired;
            std::exchange(due_, nullptr)();
        }
    }

private:
    std::function<void()> due_;
};

// What a person sees at one millisecond.
struct Shown {
    std::int32_t slider;
    std::string clock;
    std::string box;  // the failure box on screen, if any
    std::size_t waiting;
    bool operator==(const Shown&) const = default;
};

std::string describe(const Shown& s)
{
    return "slider " + std::to_string(s.slider) + ", clock " + s.clock + ", box '" + s.box + "' + "
           + std::to_string(s.waiting);
}

enum class Ticks { everyMillisecond, scheduled };

// A session: the window with its media player, what happens at which millisecond, and a record of the display.
class Session {
public:
    using Script = std::multimap<std::int64_t, std::function<void(Session&)>>;

    Session(Ticks ticks, std::unique_ptr<MediaPlayer> play, ClockedOutput* output,
            std::unique_ptr<VirtualTimer> timer = std::make_unique<VirtualTimer>())
        : ticks_(ticks), output_(output), timer_(timer.get()), window(std::move(play), nullptr, std::move(timer))
    {
        window.frmmain.List1.replaceAll({"/music/long.wav", "/music/middle.wav", "/music/short.wav"});
    }

    // Runs the session to `endMillis`; the display at every millisecond, and the rounded position heard.
    void run(const Script& script, std::int64_t endMillis)
    {
        now = 0;
        window.loadAndShow();
        std::int64_t buffers = 0;
        for (std::int64_t ms = 0; ms <= endMillis; ++ms) {
            // The device's callbacks in this millisecond, each at its own moment.
            for (;;) {
                const std::int64_t at = buffers * static_cast<std::int64_t>(period) * 1'000'000 / rate;
                if (at > ms * 1000)
                    break;
                now = at;
                if (auto* engine = dynamic_cast<audio::Engine*>(window.Play.get())) {
                    EXPECT_TRUE(engine->waitUntilBuffered(5s));
                }
                if (output_)
                    output_->renderOneBuffer();
                // What the callback has the decode thread post reaches the UI thread in this millisecond.
                if (auto* engine = dynamic_cast<audio::Engine*>(window.Play.get())) {
                    EXPECT_TRUE(engine->waitUntilBuffered(5s));
                }
                ++buffers;
            }
            now = ms * 1000;
            runPosted();
            auto [first, last] = script.equal_range(ms);
            for (auto it = first; it != last; ++it)
                it->second(*this);
            if (ticks_ == Ticks::scheduled) {
                timer_->fireIfDue(ms);
            } else {
                player::reporting(window.report, [&] { window.clock.Timer1_Timer(); });
                player::reporting(window.report, [&] { window.clock.Timer2_Timer(); });
            }
            QMessageBox* box = window.failures.openBox();
            shown.push_back({window.frmmain.Slider1.value(), window.frmmain.time.caption(),
                             box ? box->text().toStdString() : "", window.failures.waiting()});
            try {
                heard.push_back(roundToInt32(window.Play->position()));
            } catch (const Failure&) {
                heard.push_back(std::nullopt);
            }
        }
    }

    // The engine's posts to the UI thread: delivered in the millisecond they were made.
    void post(std::function<void()> f)
    {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(f));
    }
    void runPosted()
    {
        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(postedMutex_);
            due.swap(posted_);
        }
        for (auto& f : due)
            f();
    }
    // Until the engine has posted something (the decode thread notices a lost device in its own time).
    void awaitPost()
    {
        for (auto deadline = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < deadline;) {
            if (auto* engine = dynamic_cast<audio::Engine*>(window.Play.get()))
                engine->waitUntilBuffered(10ms);
            std::lock_guard lock(postedMutex_);
            if (!posted_.empty())
                return;
        }
        ADD_FAILURE() << "nothing was posted";
    }

    ui::Frmmain& f() { return window.frmmain; }
    void click(QAbstractButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }
    int scheduledTicks() const { return timer_->fired; }

private:
    Ticks ticks_;
    ClockedOutput* output_;
    VirtualTimer* timer_;  // owned by the window's schedule
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_;

public:
    PlayerWindow window;
    std::vector<Shown> shown;
    std::vector<std::optional<std::int32_t>> heard;
};

// The slider as a user drags it: pressed, moved (each move seeks), released on it (a click, which seeks again).
void press(Session& s) { s.f().Slider1.setSliderDown(true); }
void moveTo(Session& s, int value) { s.f().Slider1.setSliderPosition(value); }
void release(Session& s)
{
    s.f().Slider1.setSliderDown(false);
    QTest::mouseRelease(&s.f().Slider1, Qt::LeftButton, {}, s.f().Slider1.rect().center());
}

void doubleClickFirst(Session& s)
{
    const QPoint onFirst = s.f().List1.visualRect(s.f().List1.model()->index(0, 0)).center();
    QTest::mouseClick(s.f().List1.viewport(), Qt::LeftButton, {}, onFirst);
    QTest::mouseDClick(s.f().List1.viewport(), Qt::LeftButton, {}, onFirst);
}

void openAndCloseAbout(Session& s)
{
    QTimer::singleShot(0, [] {
        if (QWidget* about = QApplication::activeModalWidget())
            about->close();
    });
    s.click(s.f().Command5);
}

struct Recording {
    std::vector<Shown> shown;
    std::vector<std::optional<std::int32_t>> heard;
    int scheduledTicks;
};

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

// A fake whose position passes the 32-bit range while it moves; a failing tick's box closed by the user.
Recording overflowSession(Ticks ticks)
{
    auto fake = std::make_unique<testing::FakeMediaPlayer>();
    testing::FakeMediaPlayer* play = fake.get();
    Session s(ticks, std::move(fake), nullptr);
    constexpr double start = 2147483647.0 - 0.7;  // past 2^31 - 0.5 after 1.2 s
    play->positionValue = start;
    const Session::Script script{
        {100, [](Session& s) { s.click(s.f().cmdplay); }},
        {200, [play](Session&) {
             play->motionValue = {true, 0.0};
             play->fireMotion();
         }},
        {1500, [](Session& s) { s.window.failures.openBox()->close(); }},
        {1800, [play](Session&) {
             play->motionValue = {};
             play->fireMotion();
         }},
        {1900, [](Session& s) { s.window.failures.openBox()->close(); }},
    };
    // The fake glides by hand: one second per second while it says it moves.
    Session::Script withGlide = script;
    for (std::int64_t ms = 201; ms < 1800; ++ms)
        withGlide.emplace(ms, [play, ms](Session&) { play->positionValue = start + static_cast<double>(ms - 200) / 1000; });
    s.run(withGlide, 2500);
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

void expectSameDisplay(const Recording& everyMillisecond, const Recording& scheduled)
{
    ASSERT_EQ(everyMillisecond.shown.size(), scheduled.shown.size());
    int differences = 0;
    for (std::size_t ms = 0; ms < scheduled.shown.size() && differences < 5; ++ms) {
        if (everyMillisecond.shown[ms] != scheduled.shown[ms]) {
            ++differences;
            ADD_FAILURE() << "at " << ms << " ms: ticking every millisecond shows "
                          << describe(everyMillisecond.shown[ms]) << ", the schedule "
                          << describe(scheduled.shown[ms]);
        }
    }
}

// How long after the heard position rounds to a new second the slider shows it, at most (ms).
std::int64_t longestLag(const Recording& run)
{
    std::int64_t longest = 0;
    for (std::size_t ms = 0; ms < run.heard.size(); ++ms) {
        if (!run.heard[ms] || run.shown[ms].slider == *run.heard[ms])
            continue;
        std::size_t until = ms;
        while (until < run.heard.size() && run.shown[until].slider != run.heard[ms])
            ++until;
        longest = std::max<std::int64_t>(longest, static_cast<std::int64_t>(until - ms));
    }
    return longest;
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

TEST(DisplaySession, APositionBeyond32BitsFailsTheSameTicks)
{
    const Recording reference = overflowSession(Ticks::everyMillisecond);
    const Recording scheduled = overflowSession(Ticks::scheduled);
    expectSameDisplay(reference, scheduled);
    EXPECT_EQ(scheduled.shown[1350].box, "") << "not yet";
    EXPECT_NE(scheduled.shown[1450].box, "") << "the overflow was reported";
    EXPECT_EQ(scheduled.shown[1950].box, scheduled.shown[1450].box) << "and again after the box was closed";
}

}  // namespace
}  // namespace tamro::app
