// SPDX-License-Identifier: GPL-3.0-or-later
// First sound after a double-click on a playlist entry, in the program's own window, engine and desktop session:
// the double-click goes to the list as the mouse sends it, its handler starts the entry, the session asks for the
// tags, and the engine plays through SDL to a sound server. The first sound is when it arrived at the server's
// null sink (as bench/engine/first_sound.cpp takes it), and, beside it, when the first frame that is not silence
// was handed to the device. The files given are started in turns, each from stopped with the device closed
// again, as a start after the player has rested. Also: when the length was known to the desktop (the Metadata's
// mpris:length, right after the handler), and when the tags reached it.
// Usage: tags_first_sound [--runs N] FILE...   (bench/desktop/run-tags-benchmark runs it, with the server)
#include "app/desktop_events.h"
#include "app/pixel_transfer.h"
#include "app/player_window.h"
#include "bench/engine/capture.h"
#include "desktop/session.h"
#include "platform/audio/engine.h"
#include "platform/audio/open_decoder.h"
#include "platform/audio/sdl_output.h"
#include "support/forwarding_output.h"

#include <QApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using tamro::bench::Clock;

// Notes when the first frame that is not silence goes to the device after arm(), and counts the closings.
class FirstSoundOutput final : public tamro::testing::ForwardingOutput {
public:
    using ForwardingOutput::ForwardingOutput;
    void start(Render render) override
    {
        device().start([this, render = std::move(render)](std::span<float> out) {
            const auto at = Clock::now();
            const bool active = render(out);
            if (armed_.load(std::memory_order_acquire)) {
                const auto channels = static_cast<std::size_t>(format().channels);
                for (std::size_t i = 0; i < out.size(); ++i) {
                    if (std::fabs(out[i]) <= 1e-3f)
                        continue;
                    const std::chrono::duration<double> offset(static_cast<double>(i / channels) / format().sampleRate);
                    heard_.store((at + std::chrono::duration_cast<Clock::duration>(offset)).time_since_epoch().count());
                    armed_.store(false, std::memory_order_release);
                    break;
                }
            }
            return active;
        });
    }
    void close() override
    {
        ForwardingOutput::close();
        ++closes;
    }

    void arm() { armed_.store(true, std::memory_order_release); }
    bool heard() const { return !armed_.load(std::memory_order_acquire); }
    Clock::time_point heardAt() const { return Clock::time_point(Clock::duration(heard_.load())); }
    std::atomic<int> closes{0};

private:
    std::atomic<bool> armed_{false};
    std::atomic<Clock::rep> heard_{0};
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs the event loop until `done`, looking every millisecond; false after the timeout.
bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    const auto until = Clock::now() + timeout;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || Clock::now() > until)
            loop.quit();
    });
    poll.start(1);
    if (!done())
        loop.exec();
    return done();
}

struct Figures {
    std::vector<double> heard, handed, length, tags;
};

void print(const char* what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("  %-30s median %7.2f ms, slowest %7.2f ms\n", what, v.empty() ? 0.0 : v[v.size() / 2],
                v.empty() ? 0.0 : v.back());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 30;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--runs" && i + 1 < argc)
            runs = std::stoi(argv[++i]);
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: tags_first_sound [--runs N] FILE...\n");
        return 2;
    }
    constexpr int captureRate = 48000;
    tamro::bench::Capture capture(captureRate);
    // As the program starts: its arguments are not Qt's.
    int qtArgc = 1;
    tamro::app::sendPixelsOverTheConnection();
    QApplication app(qtArgc, argv);
    std::unique_ptr<tamro::desktop::Mpris> mpris = tamro::desktop::joinSessionBus();
    if (!mpris) {
        std::fprintf(stderr, "no session bus: run under dbus-run-session\n");
        return 2;
    }
    auto output = std::make_unique<FirstSoundOutput>(std::make_unique<tamro::audio::SdlOutput>());
    FirstSoundOutput& device = *output;
    auto engine = std::make_unique<tamro::audio::Engine>(
        std::move(output), &tamro::audio::openDecoder,
        [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); });
    tamro::app::PlayerWindow window(std::move(engine));
    tamro::app::connectDesktop(window, mpris.get(), -1);
    window.loadAndShow();
    if (!QTest::qWaitForWindowExposed(&window.frmmain)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    tamro::ui::ListBox& list = window.frmmain.List1;
    list.replaceAll(files);
    // The playlist editor holds the list: opened, as the user would, so that its entries can be clicked.
    window.frmmain.Command1.click();
    if (list.visibleRegion().isEmpty()) {
        std::fprintf(stderr, "the playlist is not shown\n");
        return 1;
    }

    // Connected after the window's own handler, so it runs once that is done: what the desktop was told then.
    Clock::time_point handled{};
    qint64 lengthTold = 0;
    QObject::connect(&list, &tamro::ui::ListBox::dblClick, [&] {
        handled = Clock::now();
        lengthTold = mpris->metadata().value(QStringLiteral("mpris:length")).toLongLong();
    });
    bool tagsShown = false;
    Clock::time_point tagsAt{};
    QObject::connect(mpris.get(), &tamro::desktop::Mpris::tagsShown, [&] {
        tagsShown = true;
        tagsAt = Clock::now();
    });

    std::vector<Figures> figures(files.size());
    const int total = runs * static_cast<int>(files.size()) + 1;  // the first warms the caches and is not counted
    for (int run = 0; run < total; ++run) {
        const std::size_t file = static_cast<std::size_t>(run) % files.size();
        const QPoint entry = list.visualRect(list.model()->index(static_cast<int>(file), 0)).center();
        // The desktop asks for the tags of a track other than the one loaded (stopped) before.
        const bool asksForTags = window.Play->loadedFile() != files[file];
        device.arm();
        capture.rearm();
        tagsShown = false;
        lengthTold = 0;
        const int closes = device.closes;
        // The double-click's first click selects the entry; its second press starts it, and the clock.
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, entry);
        const auto start = Clock::now();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, entry);
        Clock::time_point heard{};
        const auto atServer = [&] { return heard != Clock::time_point{} || capture.waitForSound(heard, 1ms); };
        if (!runUntil([&] { return atServer() && device.heard() && (tagsShown || !asksForTags); })) {
            std::fprintf(stderr, "run %d (%s): %s\n", run, files[file].c_str(),
                         atServer() ? "no tags within 10 s" : "no sound within 10 s");
            return 1;
        }
        if (lengthTold <= 0 || window.Play->loadedFile() != files[file]) {
            std::fprintf(stderr, "run %d: %s was not started with its length\n", run, files[file].c_str());
            return 1;
        }
        if (run > 0) {
            figures[file].heard.push_back(ms(heard - start));
            figures[file].handed.push_back(ms(device.heardAt() - start));
            figures[file].length.push_back(ms(handled - start));
            if (asksForTags)
                figures[file].tags.push_back(ms(tagsAt - start));
        }
        // Stop, and wait for the rested device to close: the next start opens it again. SDL plays out what the
        // closed device holds on a thread of its own meanwhile (340 ms), which a start would open beside.
        window.frmmain.Command2.click();
        if (!runUntil([&] { return device.closes > closes; })) {
            std::fprintf(stderr, "the device did not close after the stop\n");
            return 1;
        }
        const auto rested = Clock::now() + 500ms;
        runUntil([&] { return Clock::now() > rested; });
    }

    std::printf("%d runs of each file, in turns; from the double-click (budget for the first sound: 30 ms)\n", runs);
    const auto name = [&](std::size_t f) { return files[f].substr(files[f].find_last_of('/') + 1); };
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::printf("%s\n", name(f).c_str());
        print("first sound at the server", figures[f].heard);
        print("first sound to the device", figures[f].handed);
        print("length told (mpris:length)", figures[f].length);
        print("tags shown", figures[f].tags);
    }
    for (std::size_t f = 1; f < files.size(); ++f)
        std::printf("medians, %s / %s: first sound at the server %.2f, length told %.2f\n", name(0).c_str(),
                    name(f).c_str(),
                    median(figures[0].heard) / median(figures[f].heard),
                    median(figures[0].length) / median(figures[f].length));
    return 0;
}
