// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/random_source.h"

namespace tamro::player {

namespace {
constexpr std::uint32_t fixedSeed = 5489u;
}

RandomSource::RandomSource() : generator_(fixedSeed) {}

float RandomSource::next()
{
    const float r = peek();
    drawn_.reset();
    return r;
}

float RandomSource::peek()
{
    if (!drawn_)
        drawn_ = draw();
    return *drawn_;
}

float RandomSource::draw()
{
    // The top 24 bits scaled by 2^-24: never 1, which generate_canonical<float> may round up to.
    return static_cast<float>(generator_() >> 8) * 0x1p-24f;
}

RandomSource& processRandom()
{
    static RandomSource random;
    return random;
}

}  // namespace tamro::player
