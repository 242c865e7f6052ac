// SPDX-License-Identifier: GPL-3.0-or-later
// Records what the sound server plays (parec on the null sink's monitor) and timestamps when sound arrives.
#pragma once

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamro::bench {

using Clock = std::chrono::steady_clock;

// Starts a program with arguments; returns its pid. `out` receives its stdout when not null.
inline pid_t spawn(const std::vector<std::string>& args, int* out = nullptr)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int fds[2] = {-1, -1};
    if (out) {
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    if (out) {
        close(fds[1]);
        *out = fds[0];
    }
    return pid;
}

// parec on null.monitor, float stereo at `rate`, read on a thread; remembers when the first sound arrived.
class Capture {
public:
    explicit Capture(int rate)
    {
        pid_ = spawn({"parec", "-d", "null.monitor", "--raw", "--format=float32le", "--rate=" + std::to_string(rate),
                      "--channels=2", "--latency-msec=2"},
                     &fd_);
        reader_ = std::thread([this] { readLoop(); });
    }
    ~Capture()
    {
        kill(pid_, SIGTERM);
        reader_.join();
        close(fd_);
        waitpid(pid_, nullptr, 0);
    }

    // Forgets the sound so far; the next sound counts as first.
    void rearm()
    {
        std::lock_guard lock(mutex_);
        armed_ = true;
        soundFrames_ = 0;
    }
    // Waits for sound after rearm(); returns when it arrived, or nothing after the timeout.
    bool waitForSound(Clock::time_point& at, std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            {
                std::lock_guard lock(mutex_);
                if (!armed_ && soundFrames_ > 0) {
                    at = firstSound_;
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }
    // Frames received since the first sound after rearm().
    long long soundFrames()
    {
        std::lock_guard lock(mutex_);
        return soundFrames_;
    }

private:
    void readLoop()
    {
        std::vector<float> buf(256 * 2);
        for (;;) {
            const ssize_t got = read(fd_, buf.data(), buf.size() * sizeof(float));
            if (got <= 0)
                return;
            const auto now = Clock::now();
            const std::size_t samples = static_cast<std::size_t>(got) / sizeof(float);
            std::lock_guard lock(mutex_);
            if (armed_) {
                for (std::size_t i = 0; i < samples; ++i)
                    if (std::fabs(buf[i]) > 1e-3f) {
                        armed_ = false;
                        firstSound_ = now;
                        soundFrames_ = static_cast<long long>((samples - i) / 2);
                        break;
                    }
            } else if (soundFrames_ > 0) {
                soundFrames_ += static_cast<long long>(samples / 2);
            }
        }
    }

    pid_t pid_ = 0;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    bool armed_ = false;
    long long soundFrames_ = 0;
    Clock::time_point firstSound_{};
};

}  // namespace tamro::bench
