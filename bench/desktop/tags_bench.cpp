// SPDX-License-Identifier: GPL-3.0-or-later
// What the song's tags and cover cost the UI thread when a track starts: the CPU time of that thread from the
// media player's new file to the Metadata with the tags signalled (the change after the handler, then the tags'
// arrival from the reading thread), and that step alone without the tags' arrival. Files are given on the
// command line (bench/desktop/run-tags-benchmark makes them); run on a session bus, so the signals go out.
#include "desktop/mpris.h"
#include "desktop/session.h"

#include "support/fake_media_player.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double threadMillis()
{
    timespec t = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
double wallMillis()
{
    timespec t = {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = 41;
    std::unique_ptr<tamro::desktop::Mpris> mpris = tamro::desktop::joinSessionBus();
    if (!mpris) {
        std::fprintf(stderr, "no session bus (run under dbus-run-session); measuring without the signals\n");
        mpris = std::make_unique<tamro::desktop::Mpris>();
    }
    tamro::testing::FakeMediaPlayer play;
    play.lengthValue = 30.0;
    mpris->attach(play, {});
    std::printf("%-40s %12s %12s %12s %8s\n", "file", "change ms", "total ms", "wall ms", "rounds");
    for (int i = 1; i < argc; ++i) {
        std::vector<double> change, total, wall;
        for (int round = 0; round < rounds; ++round) {
            // From no track, as when a track starts after another with other tags.
            play.fileName.clear();
            mpris->afterEvent(false);
            QCoreApplication::processEvents();

            QEventLoop loop;
            const auto shown = QObject::connect(mpris.get(), &tamro::desktop::Mpris::tagsShown, &loop, &QEventLoop::quit);
            QTimer::singleShot(10000, &loop, &QEventLoop::quit);
            const double w0 = wallMillis();
            const double t0 = threadMillis();
            play.fileName = argv[i];
            mpris->afterEvent(false);
            const double t1 = threadMillis();
            loop.exec();
            const double t2 = threadMillis();
            wall.push_back(wallMillis() - w0);
            QObject::disconnect(shown);
            if (round == 0)
                continue;  // the first start also starts the reading thread and warms the caches
            change.push_back(t1 - t0);
            total.push_back(t2 - t0);
        }
        std::printf("%-40s %12.3f %12.3f %12.3f %8zu\n", argv[i], median(change), median(total), median(wall),
                    total.size());
    }
    return 0;
}
