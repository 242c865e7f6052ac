// Whole-process figure: the silence between two tracks when the end of one runs the advance to the next, on
// what reached the sound server. The program's window and engine play a playlist of short tones from a
// double-click on the first; the server's null sink is recorded and each hand-over measured to the frame.
// Needs the private server that run-gap-benchmark starts.
#include "app/player_window.h"
#include "bench/engine/capture.h"
#include "platform/audio/engine_factory.h"
#include "support/tone_wav.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
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
                std::lock_guard lock(mutex_);
                samples_.insert(samples_.end(), buf.begin(), buf.begin() + got / static_cast<ssize_t>(sizeof(float)));
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

private:
    pid_t pid_ = 0;
    int fd_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<float> samples_;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int tracks = 6;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--tracks")
            tracks = std::stoi(argv[i + 1]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const fs::path folder = fs::temp_directory_path() / ("tamro-gap-" + std::to_string(getpid()));
    fs::create_directories(folder);
    constexpr int rate = 48000;
    constexpr std::int64_t toneFrames = rate / 2;
    const double pitches[] = {440.0, 660.0};

    Recording recording;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    {
        // The program's own engine and window.
        tamro::app::PlayerWindow window(tamro::audio::createEngine(
            [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); }));
        window.loadAndShow();
        for (int t = 0; t < tracks; ++t) {
            const fs::path path = folder / ("tone" + std::to_string(t) + ".wav");
            tamro::testing::writeToneWav(path, pitches[t % 2], toneFrames, rate);
            window.frmmain.List1.addItem(path.string());
        }
        window.frmmain.List1.setListIndex(0);
        emit window.frmmain.List1.dblClick();

        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(1000 * (tracks * (0.5 + 0.6) + 0.5)), &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::vector<float> left = recording.left();
    std::error_code ignored;
    fs::remove_all(folder, ignored);

    // Each track starts loud (a cosine) and lasts exactly toneFrames at the server's 48 kHz.
    auto loudFrom = [&](std::int64_t from) {
        while (from < static_cast<std::int64_t>(left.size()) && std::fabs(left[static_cast<std::size_t>(from)]) < 0.25f)
            ++from;
        return from;
    };
    std::vector<double> gapsMs;
    std::int64_t start = loudFrom(0);
    int heard = start < static_cast<std::int64_t>(left.size()) ? 1 : 0;
    for (int t = 1; t < tracks; ++t) {
        const std::int64_t end = start + toneFrames;
        const std::int64_t next = loudFrom(end);
        if (next >= static_cast<std::int64_t>(left.size()))
            break;
        gapsMs.push_back(1000.0 * static_cast<double>(next - end) / rate);
        std::printf("  gap %d->%d: %.1f ms of silence at the server\n", t - 1, t, gapsMs.back());
        start = next;
        ++heard;
    }
    std::printf("tracks heard: %d of %d\n", heard, tracks);
    if (gapsMs.empty())
        return 1;
    std::printf("silence between two tracks at an end-of-track advance: median %.1f ms (min %.1f, max %.1f, %zu "
                "hand-overs)\n",
                median(gapsMs), *std::min_element(gapsMs.begin(), gapsMs.end()),
                *std::max_element(gapsMs.begin(), gapsMs.end()), gapsMs.size());
    return heard == tracks ? 0 : 1;
}
