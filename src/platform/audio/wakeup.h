// SPDX-License-Identifier: GPL-3.0-or-later
// Wakes a sleeping thread from any other, the device callback included: post() never blocks, takes no lock and
// allocates nothing (a POSIX semaphore: one atomic add, and a futex wake only when someone sleeps).
#pragma once

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <semaphore.h>

namespace tamro::audio {

class Wakeup {
public:
    Wakeup() { ::sem_init(&sem_, 0, 0); }
    ~Wakeup() { ::sem_destroy(&sem_); }
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    void post() { ::sem_post(&sem_); }

    // Sleeps until posted, or for at most `micros` when that is not negative; then takes every post made so far,
    // so that a burst of them wakes the sleeper once.
    void wait(std::int64_t micros)
    {
        if (micros < 0) {
            while (::sem_wait(&sem_) != 0 && errno == EINTR) {
            }
        } else {
            timespec until{};
            ::clock_gettime(CLOCK_MONOTONIC, &until);
            const std::int64_t nanos = until.tv_nsec + (micros % 1'000'000) * 1000;
            until.tv_sec += static_cast<time_t>(micros / 1'000'000 + nanos / 1'000'000'000);
            until.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
            while (::sem_clockwait(&sem_, CLOCK_MONOTONIC, &until) != 0 && errno == EINTR) {
            }
        }
        while (::sem_trywait(&sem_) == 0) {
        }
    }

private:
    sem_t sem_;
};

}  // namespace tamro::audio
