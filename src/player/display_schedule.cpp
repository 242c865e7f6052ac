// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/display_schedule.h"

#include "base/failure.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace tamro::player {

PreciseSingleShotTimer::PreciseSingleShotTimer() : timer_(std::make_unique<QTimer>())
{
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        // Moved out first: the call usually starts the timer again with a new one.
        if (auto due = std::exchange(due_, nullptr))
            due();
    });
}

PreciseSingleShotTimer::~PreciseSingleShotTimer() = default;

void PreciseSingleShotTimer::start(std::chrono::milliseconds delay, std::function<void()> due)
{
    due_ = std::move(due);
    timer_->start(delay);
}

void PreciseSingleShotTimer::stop()
{
    timer_->stop();
    due_ = nullptr;
}

std::chrono::milliseconds untilRoundedChange(double position, double startsIn, std::chrono::milliseconds longest)
{
    // Beyond 2^52 a double has no halves left to reach; such a position is not worth planning for.
    if (!std::isfinite(position) || !std::isfinite(startsIn) || std::abs(position) >= 0x1p52)
        return longest;
    const double shown = std::nearbyint(position);  // the rounding mode is never changed: half to even
    // The next half is where the shown value changes, at it (odd below) or just after it (even below).
    const double seconds = std::max(startsIn, 0.0) + (shown + 0.5 - position);
    const double millis = std::ceil(seconds * 1000.0 - 1e-3);
    return std::chrono::milliseconds(
        static_cast<long long>(std::clamp(millis, 1.0, static_cast<double>(std::max<long long>(longest.count(), 1)))));
}

DisplaySchedule::DisplaySchedule(MediaPlayer& play, std::function<void()> ticks,
                                 std::unique_ptr<SingleShotTimer> timer)
    : play_(play), ticks_(std::move(ticks)), timer_(std::move(timer))
{
}

void DisplaySchedule::afterEvent()
{
    run();
}

void DisplaySchedule::run()
{
    // Asked before the ticks read the position: a position that stops just after is shown where it stopped, and
    // one that starts to move after motion() found it still is announced by the engine.
    const MediaPlayer::Motion motion = play_.motion();
    ticks_();
    if (!motion.moving) {
        timer_->stop();
        return;
    }
    double position = std::numeric_limits<double>::quiet_NaN();
    try {
        position = play_.position();
    } catch (const Failure&) {
        // The ticks have reported it; look again at the ceiling.
    }
    timer_->start(untilRoundedChange(position, motion.startsIn, ceiling), [this] { run(); });
}

}  // namespace tamro::player
