// SPDX-License-Identifier: GPL-3.0-or-later
// A scripted session on a virtual clock, for the display's tests: the window with its media player, what happens
// at which millisecond, and what a person sees at every millisecond, with Timer1_Timer and Timer2_Timer run every
// virtual millisecond (as the two 1 ms timers ran them) or on the display schedule.
#pragma once

#include "app/player_window.h"

#include "base/failure.h"
#include "base/numbers.h"
#include "platform/audio/engine.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tamro::app::scripted {

using namespace std::chrono_literals;

constexpr int rate = 44100;  // 44.1 frames a millisecond: the position is rounded to frames between ticks
constexpr std::size_t period = 512;

// The virtual clock, in microseconds, shared by the device and the display timer.
inline std::atomic<std::int64_t> now{0};

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

inline std::string describe(const Shown& s)
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
inline void press(Session& s) { s.f().Slider1.setSliderDown(true); }
inline void moveTo(Session& s, int value) { s.f().Slider1.setSliderPosition(value); }
inline void release(Session& s)
{
    s.f().Slider1.setSliderDown(false);
    QTest::mouseRelease(&s.f().Slider1, Qt::LeftButton, {}, s.f().Slider1.rect().center());
}

inline void doubleClickFirst(Session& s)
{
    const QPoint onFirst = s.f().List1.visualRect(s.f().List1.model()->index(0, 0)).center();
    QTest::mouseClick(s.f().List1.viewport(), Qt::LeftButton, {}, onFirst);
    QTest::mouseDClick(s.f().List1.viewport(), Qt::LeftButton, {}, onFirst);
}

inline void openAndCloseAbout(Session& s)
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

inline void expectSameDisplay(const Recording& everyMillisecond, const Recording& scheduled)
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
inline std::int64_t longestLag(const Recording& run)
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

}  // namespace tamro::app::scripted
