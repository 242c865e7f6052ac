// SPDX-License-Identifier: GPL-3.0-or-later
// Reads what the SDL disk driver wrote (raw float32 stereo) and prints which tone sounds when:
// one line per stretch of the same pitch, "<from s> <to s> <Hz>", with 0 Hz for silence.
// The scenarios ask again and again while the file grows, so the pitch of every window measured is kept
// beside the file (FILE.hz-RATE-MS) and a later run measures only the windows written since.
#include "support/tone.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <string>
#include <vector>

namespace {

struct Stretch {
    double from = 0, to = 0, hz = 0;
};

constexpr std::size_t frameBytes = 2 * sizeof(float);

// Two windows sound the same when both are silent or their pitches lie within 2 %.
bool samePitch(double a, double b)
{
    if (a == 0.0 || b == 0.0)
        return a == b;
    return std::abs(a - b) / b < 0.02;
}

// The pitches kept by an earlier run; none when there are more than the file holds (a new recording).
std::vector<double> keptPitches(const std::string& path, std::size_t windowsInFile)
{
    std::vector<double> hz;
    std::ifstream in(path, std::ios::binary);
    double value;
    while (in.read(reinterpret_cast<char*>(&value), sizeof value))
        hz.push_back(value);
    if (hz.size() > windowsInFile)
        hz.clear();
    return hz;
}

// Replaces the kept pitches whole, so that a run stopped halfway never leaves a torn list behind.
void keepPitches(const std::string& path, const std::vector<double>& hz)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(hz.data()), static_cast<std::streamsize>(hz.size() * sizeof(double)));
        if (!out)
            return;  // only a loss of speed
    }
    std::error_code ignored;
    std::filesystem::rename(temporary, path, ignored);
}

// The left channel of the frames from `firstFrame` on.
std::vector<float> leftChannelFrom(std::ifstream& in, std::size_t firstFrame)
{
    in.seekg(static_cast<std::streamoff>(firstFrame * frameBytes));
    std::vector<float> interleaved;
    float buf[4096];
    while (in.read(reinterpret_cast<char*>(buf), sizeof buf) || in.gcount() > 0)
        interleaved.insert(interleaved.end(), buf, buf + in.gcount() / static_cast<std::streamsize>(sizeof(float)));
    return tamro::testing::channel(interleaved, 2, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: tone_timeline FILE [RATE=48000] [WINDOW_MS=50]\n";
        return 2;
    }
    const std::string file = argv[1];
    const int rate = argc > 2 ? std::atoi(argv[2]) : 48000;
    const double windowMs = argc > 3 ? std::atof(argv[3]) : 50.0;
    std::ifstream in(file, std::ios::binary);
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(file, sizeError);
    if (!in || sizeError) {
        std::cerr << "cannot read " << file << "\n";
        return 1;
    }
    const auto window = static_cast<std::size_t>(rate * windowMs / 1000.0);
    if (rate <= 0 || window == 0) {
        std::cerr << "the rate and the window must be positive\n";
        return 2;
    }

    const std::string keptPath = file + ".hz-" + std::to_string(rate) + "-" + std::to_string(window);
    std::vector<double> hz = keptPitches(keptPath, bytes / frameBytes / window);
    const std::size_t kept = hz.size();
    const std::vector<float> left = leftChannelFrom(in, kept * window);
    for (std::size_t at = 0; at + window <= left.size(); at += window) {
        std::span<const float> part(left.data() + at, window);
        hz.push_back(tamro::testing::rms(part) < 0.01 ? 0.0
                                                     : std::round(tamro::testing::dominantFrequency(part, rate)));
    }
    if (hz.size() > kept)
        keepPitches(keptPath, hz);

    std::vector<Stretch> stretches;
    for (std::size_t i = 0; i < hz.size(); ++i) {
        const double from = static_cast<double>(i * window) / rate, to = static_cast<double>((i + 1) * window) / rate;
        if (!stretches.empty() && samePitch(stretches.back().hz, hz[i]))
            stretches.back().to = to;
        else
            stretches.push_back({from, to, hz[i]});
    }
    for (const auto& s : stretches)
        std::printf("%.3f %.3f %.0f\n", s.from, s.to, s.hz);
    return 0;
}
