// SPDX-License-Identifier: GPL-3.0-or-later
// When the slider follower and the position clock run: at once after every event, and while the position moves,
// at the moment its rounded value next changes; never while nothing can change. What they show is theirs.
#pragma once

#include "platform/media_player.h"

#include <chrono>
#include <functional>
#include <memory>

class QTimer;

namespace tamro::player {

// A timer that calls back once. The program's is a precise QTimer; tests run one on a virtual clock.
class SingleShotTimer {
public:
    virtual ~SingleShotTimer() = default;
    // Calls `due` once, `delay` from now, on the UI thread; replaces any call still to come.
    virtual void start(std::chrono::milliseconds delay, std::function<void()> due) = 0;
    // Cancels the call still to come, if any.
    virtual void stop() = 0;
};

// The program's timer: a precise single-shot QTimer (a coarse one may fire up to 5 % late).
class PreciseSingleShotTimer final : public SingleShotTimer {
public:
    PreciseSingleShotTimer();
    ~PreciseSingleShotTimer() override;
    void start(std::chrono::milliseconds delay, std::function<void()> due) override;
    void stop() override;

private:
    std::unique_ptr<QTimer> timer_;
    std::function<void()> due_;
};

// How long a position moving at one second per second, from `position` after `startsIn` seconds, takes until
// it next rounds (half to even) to another whole number; never more than `longest`. A hair early rather than
// late, at least 1 ms: a tick that still finds the old value (a tie, frame rounding) plans again from there.
std::chrono::milliseconds untilRoundedChange(double position, double startsIn, std::chrono::milliseconds longest);

class DisplaySchedule {
public:
    // The longest sleep while the position moves, in case a prediction is off (the device's clock drifts, its
    // delay estimate jumps).
    static constexpr std::chrono::milliseconds ceiling{250};

    // `ticks` runs Timer1_Timer and Timer2_Timer, each under its failure policy.
    DisplaySchedule(MediaPlayer& play, std::function<void()> ticks, std::unique_ptr<SingleShotTimer> timer);

    // Something happened that can change the position or what is shown (a handler ran, the engine's position
    // started to move): runs the ticks now and plans the next.
    void afterEvent();

private:
    void run();

    MediaPlayer& play_;
    std::function<void()> ticks_;
    std::unique_ptr<SingleShotTimer> timer_;
};

}  // namespace tamro::player
