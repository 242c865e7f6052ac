// SPDX-License-Identifier: GPL-3.0-or-later
// Measures, per format: the time from a file name to a known length (median of many opens) next to ffprobe's
// on the same file, and decoding speed as a multiple of real time. Prints a Markdown table.
//   decoder_bench FOLDER     (FOLDER made by tests/fixtures/make-fixtures --bench)
#include "platform/audio/open_decoder.h"
#include "platform/audio/sound_file.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tamro::audio::OutputFormat;

double milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double medianTime(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        times.push_back(milliseconds(Clock::now() - start));
    }
    return median(times);
}

// ffprobe as a user runs it: a whole process, reporting the duration.
std::string runFfprobe(const std::string& path)
{
    const std::string command = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// What ffprobe does inside, without the process: open and find the stream info; the duration it reports.
// Drops the file from the page cache (only this file), so the next open reads it from the disk.
void evict(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

double libavformatProbe(const std::string& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return -1;
    avformat_find_stream_info(format, nullptr);
    const double seconds = format->duration > 0 ? static_cast<double>(format->duration) / AV_TIME_BASE : -1;
    avformat_close_input(&format);
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    av_log_set_level(AV_LOG_FATAL);
    const std::string folder = argv[1];
    const OutputFormat output{48000, 2};
    const struct {
        const char* name;
        const char* file;
    } formats[] = {
        {"WAV 16-bit", "long.wav"},       {"AU 16-bit", "long.au"},    {"MP3 CBR 192k", "long-cbr.mp3"},
        {"WMA v2 192k", "long.wma"},      {"FLAC", "long.flac"},       {"MP3 VBR V0, no header", "long-vbr-noheader.mp3"},
        {"MP3 VBR V0, no header, 15 s silence first", "long-silence-vbr-noheader.mp3"},
    };

    std::printf("| Format | Size | Length (ours) | ffprobe says | Open to length, ours (median; first open of the file; file not in the page cache) | ffprobe process (median) | ratio | libavformat open + find_stream_info in process (median) | ratio | Decoding speed (x real time) |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& format : formats) {
        const std::string path = folder + "/" + format.file;
        std::int64_t length = 0;
        std::int64_t size = 0;
        try {
            auto file = tamro::audio::SoundFile::open(path);
            size = file.size();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        // The first open in the process also sets up the codec's tables; the median is of the opens after it.
        const double first = medianTime(1, [&] { tamro::audio::openDecoder(path, output); });
        const double ours = medianTime(51, [&] {
            auto decoder = tamro::audio::openDecoder(path, output);
            length = decoder->lengthFrames();
        });
        const double cold = medianTime(5, [&] {
            evict(path);
            tamro::audio::openDecoder(path, output);
        });
        std::string probed;
        const double probe = medianTime(7, [&] { probed = runFfprobe(path); });
        double inProcessSeconds = 0;
        const double inProcess = medianTime(11, [&] { inProcessSeconds = libavformatProbe(path); });

        auto decoder = tamro::audio::openDecoder(path, output);
        std::vector<float> block(4096 * 2);
        const auto start = Clock::now();
        std::int64_t decoded = 0;
        while (const std::size_t n = decoder->read(block.data(), 4096))
            decoded += static_cast<std::int64_t>(n);
        const double decodeSeconds = milliseconds(Clock::now() - start) / 1000.0;
        const double seconds = static_cast<double>(length) / output.sampleRate;

        std::printf("| %s | %.1f MB | %.3f s | %s s | %.3f ms (%.3f ms; %.1f ms) | %.1f ms | %.0fx | %.3f ms (%.3f s) | %.1fx | %.0fx |\n", format.name,
                    static_cast<double>(size) / 1e6, seconds, probed.c_str(), ours, first, cold, probe, probe / ours, inProcess, inProcessSeconds,
                    inProcess / ours, static_cast<double>(decoded) / output.sampleRate / decodeSeconds);
    }
    return 0;
}
