// SPDX-License-Identifier: GPL-3.0-or-later
// How a handler meets a failure: report it (the default), skip the failing action and go on (Play), or run the
// advance's own recovery steps (Next and the end of a track). Only the program's own Failure is met this way:
// anything else thrown (out of memory, an index out of range) is a fault that ends the whole handler and
// reaches the report, never a step quietly skipped.
#pragma once

#include "base/failure.h"

#include <exception>
#include <functional>
#include <string>

namespace tamro::player {

// Shows a failure's description to the user.
using Report = std::function<void(const std::string& description)>;

// Logs a fault on stderr with its type and reports it with its own text ("Unexpected failure: <what>"), or as
// "Not enough memory to finish this action." when memory ran out. Should the report fail too, the log is all
// that is left of it: nothing is thrown.
void reportFault(const Report& report, const std::exception_ptr& fault) noexcept;

// Runs a handler to its end or to its first failure; a failure ends it and is reported. Whatever ran
// before the failure stays done. Nothing the handler throws gets past this, so no fault ends the program.
template <class Handler>
void reporting(const Report& report, Handler&& handler) noexcept
{
    try {
        try {
            handler();
        } catch (const Failure& failure) {
            report(failure.description());
        }
    } catch (...) {
        reportFault(report, std::current_exception());
    }
}

// Runs one action; a Failure skips it silently. Returns whether the action was done.
template <class Action>
bool skipping(Action&& action)
{
    try {
        action();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

// Runs `branch`; when any of its actions fails, runs `recovery` with nothing to catch a further failure, which
// then reaches the caller's report. The failure itself is not reported: the recovery is the answer to it. A
// branch that ends with the recovery steps runs them itself, so a failure there runs them once more.
template <class Branch, class Recovery>
void recovering(Branch&& branch, Recovery&& recovery)
{
    try {
        branch();
    } catch (const Failure&) {
        recovery();
    }
}

}  // namespace tamro::player
