// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-process figure: the silence between two tracks when the end of one runs the advance to the next, on
// what reached the sound server. The program's window and engine play a playlist of short tones from a
// double-click on the first; the server's null sink is recorded and each hand-over measured to the frame.
// With --mp3 the tones are MP3 files and mpg123 plays the same files in the same run, as a reference.
// Needs the private server that run-gap-benchmark starts.
#include "app/player_window.h"
#include "bench/engine/capture.h"
#include "platform/audio/engine_factory.h"
#include "platform/media_player.h"
#include "support/forwarding_media_player.h"
#include "support/tone_wav.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Everything parec hears on the null sink's monitor, float stereo at 48 kHz.
class Recording {
public:
    Recording()
    {
        pid_ = tamro::bench::spawn({"parec", "-d", "null.monitor", "--raw", "--format=float32le", "--rate=48000",
                                    "--channels=2", "--latency-msec=2"},
                                   &fd_);
        reader_ = std::thread([this] {
            std::vector<float> buf(512);
            for (;;) {
                const ssize_t got = read(fd_, buf.data(), buf.size() * sizeof(float));
                if (got <= 0)
                    return;
                const auto now = tamro::bench::Clock::now();
                std::lock_guard lock(mutex_);
                samples_.insert(samples_.end(), buf.begin(), buf.begin() + got / static_cast<ssize_t>(sizeof(float)));
                reads_.push_back({samples_.size() / 2, now});
            }
        });
    }
    ~Recording()
    {
        kill(pid_, SIGTERM);
        reader_.join();
        close(fd_);
        waitpid(pid_, nullptr, 0);
    }
    std::vector<float> left()
    {
        std::lock_guard lock(mutex_);
        std::vector<float> out;
        for (std::size_t i = 0; i + 1 < samples_.size(); i += 2)
            out.push_back(samples_[i]);
        return out;
    }

    // When the frame at `index` reached the recorder (the server's monitor): the moment the read that brought it
    // returned, less the frames after it in that read.
    tamro::bench::Clock::time_point heardAt(std::size_t index)
    {
        std::lock_guard lock(mutex_);
        for (const Read& r : reads_)
            if (index < r.framesSoFar)
                return r.at - std::chrono::microseconds(static_cast<std::int64_t>((r.framesSoFar - index) * 1'000'000 / 48000));
        return {};
    }

private:
    struct Read {
        std::size_t framesSoFar;
        tamro::bench::Clock::time_point at;
    };
    pid_t pid_ = 0;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<float> samples_;
    std::vector<Read> reads_;
};

// The engine as the window sees it, noting when each end of track reaches the window: the moment the advance
// moves the title line to the next track.
class TimedEnds final : public tamro::testing::ForwardingMediaPlayer {
public:
    using ForwardingMediaPlayer::ForwardingMediaPlayer;
    void setEndOfTrackHandler(EndOfTrackHandler handler) override
    {
        inner().setEndOfTrackHandler([this, handler = std::move(handler)](std::int32_t code) {
            ends.push_back(tamro::bench::Clock::now());
            handler(code);
        });
    }
    std::vector<tamro::bench::Clock::time_point> ends;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

int runToEnd(const std::vector<std::string>& args)
{
    int status = 0;
    waitpid(tamro::bench::spawn(args), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Measures each hand-over to the frame on the recording: every track starts loud (a cosine) and lasts exactly
// its known length at the server's 48 kHz. Prints the gaps; returns how many tracks were heard. With the moments
// the ends reached the window, also how long before the next track was heard the title line moved.
int reportGaps(const char* player, const std::vector<float>& left, const std::vector<std::int64_t>& toneFrames,
               int rate, Recording* recording = nullptr, const std::vector<tamro::bench::Clock::time_point>& ends = {})
{
    std::vector<double> leadsMs;
    auto loudFrom = [&](std::int64_t from) {
        while (from < static_cast<std::int64_t>(left.size()) && std::fabs(left[static_cast<std::size_t>(from)]) < 0.25f)
            ++from;
        return from;
    };
    std::vector<double> gapsMs;
    std::int64_t start = loudFrom(0);
    int heard = start < static_cast<std::int64_t>(left.size()) ? 1 : 0;
    for (std::size_t t = 1; t < toneFrames.size(); ++t) {
        const std::int64_t end = start + toneFrames[t - 1];
        const std::int64_t next = loudFrom(end);
        if (next >= static_cast<std::int64_t>(left.size()))
            break;
        gapsMs.push_back(1000.0 * static_cast<double>(next - end) / rate);
        std::printf("  %s, gap %zu->%zu: %.1f ms of silence at the server", player, t - 1, t, gapsMs.back());
        if (recording && t - 1 < ends.size()) {
            leadsMs.push_back(std::chrono::duration<double, std::milli>(
                                  recording->heardAt(static_cast<std::size_t>(next)) - ends[t - 1])
                                  .count());
            std::printf("; the title line moved %.1f ms before the track was heard", leadsMs.back());
        }
        std::printf("\n");
        start = next;
        ++heard;
    }
    std::printf("%s: tracks heard: %d of %zu\n", player, heard, toneFrames.size());
    if (!gapsMs.empty())
        std::printf("%s: silence between two tracks: median %.1f ms (min %.1f, max %.1f, %zu hand-overs)\n", player,
                    median(gapsMs), *std::min_element(gapsMs.begin(), gapsMs.end()),
                    *std::max_element(gapsMs.begin(), gapsMs.end()), gapsMs.size());
    if (!leadsMs.empty())
        std::printf("%s: title line ahead of the sound: median %.1f ms (min %.1f, max %.1f)\n", player, median(leadsMs),
                    *std::min_element(leadsMs.begin(), leadsMs.end()), *std::max_element(leadsMs.begin(), leadsMs.end()));
    return heard;
}

}  // namespace

int main(int argc, char** argv)
{
    int tracks = 6;
    bool mp3 = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--tracks" && i + 1 < argc)
            tracks = std::stoi(argv[++i]);
        else if (std::string(argv[i]) == "--mp3")
            mp3 = true;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const fs::path folder = fs::temp_directory_path() / ("tamro-gap-" + std::to_string(getpid()));
    fs::create_directories(folder);
    constexpr int rate = 48000;
    // Lengths 0.5 s plus steps of 37.1 ms, so that each track's last frame falls elsewhere in a device buffer.
    std::vector<std::int64_t> toneFrames;
    std::vector<std::string> paths;
    const double pitches[] = {440.0, 660.0};
    for (int t = 0; t < tracks; ++t) {
        toneFrames.push_back(rate / 2 + t * 1781);
        const fs::path wav = folder / ("tone" + std::to_string(t) + ".wav");
        tamro::testing::writeToneWav(wav, pitches[t % 2], toneFrames.back(), rate);
        if (!mp3) {
            paths.push_back(wav.string());
            continue;
        }
        // LAME records its delay and padding, so a gapless decoder gives back exactly the frames put in.
        const fs::path encoded = folder / ("tone" + std::to_string(t) + ".mp3");
        if (runToEnd({"ffmpeg", "-v", "error", "-i", wav.string(), "-c:a", "libmp3lame", "-b:a", "192k",
                      encoded.string()})
            != 0) {
            std::fprintf(stderr, "ffmpeg could not encode %s\n", wav.c_str());
            return 1;
        }
        paths.push_back(encoded.string());
    }
    const double playSeconds = static_cast<double>(std::accumulate(toneFrames.begin(), toneFrames.end(), std::int64_t{0})) / rate;

    std::vector<float> ours;
    std::vector<tamro::bench::Clock::time_point> ends;
    Recording recording;
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        {
            // The program's own engine and window.
            auto timed = std::make_unique<TimedEnds>(tamro::audio::createEngine(
                [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); }));
            TimedEnds* player = timed.get();
            tamro::app::PlayerWindow window(std::move(timed));
            window.loadAndShow();
            for (const auto& path : paths)
                window.frmmain.List1.addItem(path);
            window.frmmain.List1.setListIndex(0);
            emit window.frmmain.List1.dblClick();

            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(1000 * (playSeconds + 0.6 * tracks + 0.5)), &loop, &QEventLoop::quit);
            loop.exec();
            ends = player->ends;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ours = recording.left();
    }
    const int heard = reportGaps("Tamro?Player", ours, toneFrames, rate, &recording, ends);

    if (mp3) {
        // The reference, in the same run: mpg123 playing the same files one after another, gaplessly.
        Recording recording;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::vector<std::string> args{"mpg123", "-q", "--gapless", "-o", "pulse", "-r", "48000"};
        args.insert(args.end(), paths.begin(), paths.end());
        runToEnd(args);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        reportGaps("mpg123", recording.left(), toneFrames, rate);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return heard == tracks ? 0 : 1;
}
