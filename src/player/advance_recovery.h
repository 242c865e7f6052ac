// The advance's failure policy: its own recovery steps instead of a message.
#pragma once

#include <exception>

namespace tamro::player {

// Runs `branch`; when any of its actions fails, runs `recovery` with nothing to catch a further failure, which
// then reaches the caller's report. A branch that wants the recovery steps as its normal end runs them itself:
// a failure there is still caught and runs them once more.
template <class Branch, class Recovery>
void recovering(Branch&& branch, Recovery&& recovery)
{
    try {
        branch();
    } catch (const std::exception&) {
        // The failure itself is not reported: the recovery is the answer to it.
        recovery();
    }
}

}  // namespace tamro::player
