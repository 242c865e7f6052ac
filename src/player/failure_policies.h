// How a handler meets a failure: report it (the default), skip the failing action and go on (Play), or run the
// advance's own recovery steps (Next and the end of a track).
#pragma once

#include "base/failure.h"

#include <exception>
#include <functional>
#include <string>

namespace tamro::player {

// Shows a failure's description to the user.
using Report = std::function<void(const std::string& description)>;

// Runs a handler to its end or to its first failure; a failure ends it and is reported. Whatever ran
// before the failure stays done.
template <class Handler>
void reporting(const Report& report, Handler&& handler)
{
    try {
        handler();
    } catch (const Failure& failure) {
        report(failure.description());
    } catch (const std::exception& error) {
        // Out of memory or a library's own exception: still one handler's failure, not the program's end.
        report(std::string("Unexpected failure: ") + error.what());
    }
}

// Runs one action; a failure skips it silently. Returns whether the action was done.
template <class Action>
bool skipping(Action&& action)
{
    try {
        action();
        return true;
    } catch (const std::exception&) {
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
    } catch (const std::exception&) {
        recovery();
    }
}

}  // namespace tamro::player
