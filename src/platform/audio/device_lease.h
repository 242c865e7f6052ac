// SPDX-License-Identifier: GPL-3.0-or-later
// The device lease: the output is opened when a track starts and closed once it has been idle (nothing of a track
// in it) for a while, so that the sound server idles too; a device that stops working is told once.
//
// Threads: open and lost on the UI thread, closeIfIdle on the decode thread, close from the destructor's thread;
// onCallback on the device's callback; setWanted with the engine's playout lock (see Playout).
#pragma once

#include "platform/audio/audio_output.h"
#include "platform/audio/thread_rules.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace tamro::audio {

class DeviceLease {
public:
    explicit DeviceLease(AudioOutput& output) : output_(output) {}

    // Opens the device unless it is open and works (a lost one is closed first). Throws Failure.
    void open() EXCLUDES(mutex_);
    // Whether the device is open but has stopped working.
    bool lost() EXCLUDES(mutex_);
    void close() EXCLUDES(mutex_);

    // Whether a track is set to play and not all of it went to the device: the device is not to be closed.
    void setWanted(bool wanted) { wanted_.store(wanted, std::memory_order_release); }
    // The callback, each time: whether it had anything to play. True when the output just became idle (the decode
    // thread is to look, to close the device in time).
    bool onCallback(bool active, std::int64_t nowMicros);

    struct Check {
        std::int64_t lookAt = -1;  // when to look again, by the output's clock (-1: when woken)
        std::string lost;          // "The audio device was lost: ..." the first time it is found lost
    };
    // The decode thread: closes the device once it has been idle long enough.
    Check closeIfIdle() EXCLUDES(mutex_);

private:
    // How long the output is idle before the device is closed: enough for the last frames to be heard and for a
    // Stop followed by Play not to reopen, and short enough that the sound server idles within a second of the stop.
    static constexpr std::int64_t closeAfterIdleMicros = 500'000;

    AudioOutput& output_;
    // Held alone, never with the engine's other locks: opening and closing a device may take long. Guards whether
    // the device is open and whether its loss was told.
    Mutex mutex_;
    bool open_ GUARDED_BY(mutex_) = false;
    bool lostTold_ GUARDED_BY(mutex_) = false;
    std::atomic<bool> wanted_{false};
    // Output clock of the first callback since it had nothing to play (-1: playing).
    std::atomic<std::int64_t> idleSinceMicros_{-1};
};

}  // namespace tamro::audio
