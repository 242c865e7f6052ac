// How a handler meets a failure: report it (the default) or skip the failing action and go on (Play).
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

}  // namespace tamro::player
