// SPDX-License-Identifier: GPL-3.0-or-later
// Measures what a test hears: the loudness and the dominant frequency of a stretch of samples.
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <span>
#include <vector>

namespace tamro::testing {

// Root mean square of the samples.
inline double rms(std::span<const float> samples)
{
    if (samples.empty())
        return 0.0;
    double sum = 0.0;
    for (float s : samples)
        sum += double{s} * s;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

// Power of one frequency in the samples (Goertzel), normalised by their count.
inline double powerAt(std::span<const float> samples, int sampleRate, double frequency)
{
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    for (float x : samples) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return power / (static_cast<double>(samples.size()) * static_cast<double>(samples.size()));
}

// The strongest frequency between lowHz and highHz, to about 1 Hz: a 5 Hz scan, then a fine scan around the peak.
inline double dominantFrequency(std::span<const float> samples, int sampleRate, double lowHz = 30.0,
                                double highHz = 5000.0)
{
    auto peakIn = [&](double from, double to, double step) {
        double best = from, bestPower = -1.0;
        for (double f = from; f <= to; f += step) {
            const double p = powerAt(samples, sampleRate, f);
            if (p > bestPower) {
                bestPower = p;
                best = f;
            }
        }
        return best;
    };
    const double coarse = peakIn(lowHz, highHz, 5.0);
    return peakIn(std::max(lowHz, coarse - 6.0), std::min(highHz, coarse + 6.0), 0.25);
}

// One channel out of interleaved frames.
inline std::vector<float> channel(std::span<const float> interleaved, int channels, int which = 0)
{
    std::vector<float> out;
    out.reserve(interleaved.size() / static_cast<std::size_t>(channels));
    for (std::size_t i = static_cast<std::size_t>(which); i < interleaved.size(); i += static_cast<std::size_t>(channels))
        out.push_back(interleaved[i]);
    return out;
}

}  // namespace tamro::testing
