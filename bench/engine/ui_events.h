// SPDX-License-Identifier: GPL-3.0-or-later
// The UI thread's event queue for the engine programs that run without Qt: the engine posts from its threads, the
// main thread runs what was posted.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace tamro::bench {

class UiEvents {
public:
    // The engine's PostToUi.
    auto poster()
    {
        return [this](std::function<void()> f) {
            {
                std::lock_guard lock(mutex_);
                events_.push_back(std::move(f));
            }
            posted_.notify_one();
        };
    }
    // Runs what is posted until `done` says so.
    template <class Done>
    void runUntil(Done done)
    {
        while (!done()) {
            std::unique_lock lock(mutex_);
            posted_.wait(lock, [&] { return !events_.empty(); });
            auto f = std::move(events_.front());
            events_.pop_front();
            lock.unlock();
            f();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> events_;
};

}  // namespace tamro::bench
