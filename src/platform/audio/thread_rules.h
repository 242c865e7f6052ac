// SPDX-License-Identifier: GPL-3.0-or-later
// Which lock guards what, in a form clang checks (-Wthread-safety): a mutex that carries the annotations, a
// scoped lock for it, and the attribute macros. Other compilers see plain code.
#pragma once

#include <mutex>

#if defined(__clang__)
#define TAMRO_THREAD_RULE(x) __attribute__((x))
#else
#define TAMRO_THREAD_RULE(x)
#endif

#define CAPABILITY(x) TAMRO_THREAD_RULE(capability(x))
#define SCOPED_CAPABILITY TAMRO_THREAD_RULE(scoped_lockable)
#define GUARDED_BY(x) TAMRO_THREAD_RULE(guarded_by(x))
#define REQUIRES(...) TAMRO_THREAD_RULE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) TAMRO_THREAD_RULE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) TAMRO_THREAD_RULE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TAMRO_THREAD_RULE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) TAMRO_THREAD_RULE(try_acquire_capability(__VA_ARGS__))

namespace tamro::audio {

// A std::mutex the analysis knows. BasicLockable, so std::condition_variable_any can wait on it.
class CAPABILITY("mutex") Mutex {
public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }
    bool try_lock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }

private:
    std::mutex mutex_;
};

class SCOPED_CAPABILITY Lock {
public:
    explicit Lock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~Lock() RELEASE() { mutex_.unlock(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    Mutex& mutex_;
};

}  // namespace tamro::audio
