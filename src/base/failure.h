// SPDX-License-Identifier: GPL-3.0-or-later
// The one failure type of the program: an action that could not be done, with a description a user can read.
#pragma once

#include <stdexcept>
#include <string>

namespace tamro {

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
    std::string description() const { return what(); }
};

// An integer result that does not fit its type.
Failure overflowFailure(const std::string& what);

}  // namespace tamro
