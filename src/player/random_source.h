// SPDX-License-Identifier: GPL-3.0-or-later
// The shuffle's random source: one generator for the process, seeded the same way in every run.
#pragma once

#include <cstdint>
#include <optional>
#include <random>

namespace tamro::player {

class RandomSource {
public:
    // Every instance starts the same sequence: two runs with the same advances pick the same entries.
    RandomSource();

    // The next value r of the sequence, 0 <= r < 1, a multiple of 2^-24 (exact in single precision).
    float next();
    // The value the next call of next() returns, without using it up.
    float peek();

private:
    float draw();
    std::optional<float> drawn_;
    // mt19937's output for a given seed is fixed by the C++ standard, unlike the standard distributions.
    std::mt19937 generator_;
};

// The one generator the running program draws from.
RandomSource& processRandom();

}  // namespace tamro::player
