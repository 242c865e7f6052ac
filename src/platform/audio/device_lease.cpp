// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/device_lease.h"

namespace tamro::audio {

void DeviceLease::open()
{
    Lock lock(mutex_);
    if (open_ && !output_.lostReason().empty()) {
        output_.close();
        open_ = false;
    }
    if (open_)
        return;
    idleSinceMicros_.store(-1, std::memory_order_relaxed);
    output_.open();
    open_ = true;
    lostTold_ = false;
}

bool DeviceLease::lost()
{
    Lock lock(mutex_);
    return open_ && !output_.lostReason().empty();
}

void DeviceLease::close()
{
    Lock lock(mutex_);
    output_.close();
    open_ = false;
}

bool DeviceLease::onCallback(bool active, std::int64_t nowMicros)
{
    if (active) {
        idleSinceMicros_.store(-1, std::memory_order_relaxed);
        return false;
    }
    if (idleSinceMicros_.load(std::memory_order_relaxed) >= 0)
        return false;
    idleSinceMicros_.store(nowMicros, std::memory_order_relaxed);
    return true;
}

DeviceLease::Check DeviceLease::closeIfIdle()
{
    Check check;
    Lock lock(mutex_);
    if (!open_)
        return check;
    if (!lostTold_) {
        const std::string reason = output_.lostReason();
        if (!reason.empty()) {
            lostTold_ = true;
            check.lost = "The audio device was lost: " + reason;
        }
    }
    const std::int64_t since = idleSinceMicros_.load(std::memory_order_relaxed);
    // `wanted_` is read with the lock held: a start that wants the device meanwhile opens it again after this.
    if (since >= 0 && output_.closesWhenIdle() && !wanted_.load(std::memory_order_acquire)) {
        if (output_.clockMicros() >= since + closeAfterIdleMicros) {
            // Plays out what the device holds, then lets the sound server idle.
            output_.close();
            open_ = false;
            idleSinceMicros_.store(-1, std::memory_order_relaxed);
        } else {
            check.lookAt = since + closeAfterIdleMicros;
        }
    }
    return check;
}

}  // namespace tamro::audio
