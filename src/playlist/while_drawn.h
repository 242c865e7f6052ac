// SPDX-License-Identifier: GPL-3.0-or-later
// Long file work off the UI thread, with the window still drawn and its timers running meanwhile.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <exception>
#include <future>
#include <thread>
#include <type_traits>

namespace tamro::playlist {

// Runs `work` on a thread of its own while this one goes on painting the window and running its timers and
// queued events; the user's input waits until the work is done, as it would behind a modal dialog. Returns
// what the work returns, or throws what it threw. Reading or writing a playlist of hundreds of megabytes
// held the window for over a second.
template <class Work>
auto whileDrawn(Work&& work) -> decltype(work())
{
    using Result = decltype(work());
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return work();
    std::promise<Result> promise;
    std::future<Result> done = promise.get_future();
    std::thread worker([&] {
        try {
            if constexpr (std::is_void_v<Result>) {
                work();
                promise.set_value();
            } else {
                promise.set_value(work());
            }
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
        // Wakes the loop below, now that the result is there to see.
        QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
    });
    while (done.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    worker.join();
    return done.get();
}

}  // namespace tamro::playlist
