// SPDX-License-Identifier: GPL-3.0-or-later
// The user's view of a reported failure: one message box at a time, repeats coalesced, all of it on stderr.
#pragma once

#include <QMessageBox>
#include <QPointer>

#include <deque>
#include <functional>
#include <string>

namespace tamro::ui {

class FailureReport {
public:
    // At most this many different failures wait behind the open box; more are only logged.
    static constexpr std::size_t maxWaiting = 8;

    explicit FailureReport(QWidget* window);
    ~FailureReport();
    FailureReport(const FailureReport&) = delete;
    FailureReport& operator=(const FailureReport&) = delete;

    // Never blocks: the box is shown and the caller, the timers and playback go on. A failure identical to
    // the one on screen or to one already waiting is counted, not shown again.
    void report(const std::string& description);
    // Runs each time the user closes a box.
    void setClosedHandler(std::function<void()> handler) { closedHandler_ = std::move(handler); }

    // The box on screen, or null.
    QMessageBox* openBox() const { return box_; }
    std::size_t waiting() const { return waiting_.size(); }

private:
    void show(const std::string& description);
    void closed();

    QWidget* window_;
    QPointer<QMessageBox> box_;
    std::string shown_;
    long repeats_ = 0;
    std::deque<std::string> waiting_;
    std::function<void()> closedHandler_;
};

}  // namespace tamro::ui
