// Reads what the SDL disk driver wrote (raw float32 stereo) and prints which tone sounds when:
// one line per stretch of the same pitch, "<from s> <to s> <Hz>", with 0 Hz for silence.
#include "support/tone.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

namespace {

struct Stretch {
    double from = 0, to = 0, hz = 0;
};

// Two windows sound the same when both are silent or their pitches lie within 2 %.
bool samePitch(double a, double b)
{
    if (a == 0.0 || b == 0.0)
        return a == b;
    return std::abs(a - b) / b < 0.02;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: tone_timeline FILE [RATE=48000] [WINDOW_MS=50]\n";
        return 2;
    }
    const int rate = argc > 2 ? std::atoi(argv[2]) : 48000;
    const double windowMs = argc > 3 ? std::atof(argv[3]) : 50.0;
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::vector<float> interleaved;
    float buf[4096];
    while (in.read(reinterpret_cast<char*>(buf), sizeof buf) || in.gcount() > 0)
        interleaved.insert(interleaved.end(), buf, buf + in.gcount() / static_cast<std::streamsize>(sizeof(float)));
    const std::vector<float> left = tamro::testing::channel(interleaved, 2, 0);
    const auto window = static_cast<std::size_t>(rate * windowMs / 1000.0);

    std::vector<Stretch> stretches;
    for (std::size_t at = 0; at + window <= left.size(); at += window) {
        std::span<const float> part(left.data() + at, window);
        const double hz = tamro::testing::rms(part) < 0.01
            ? 0.0
            : std::round(tamro::testing::dominantFrequency(part, rate));
        const double from = static_cast<double>(at) / rate, to = static_cast<double>(at + window) / rate;
        if (!stretches.empty() && samePitch(stretches.back().hz, hz))
            stretches.back().to = to;
        else
            stretches.push_back({from, to, hz});
    }
    for (const auto& s : stretches)
        std::printf("%.3f %.3f %.0f\n", s.from, s.to, s.hz);
    return 0;
}
