// SPDX-License-Identifier: GPL-3.0-or-later
// How late the slider and the clock show each new second of the heard position, in the real program: its window
// and engine play a file under the real event loop and the display schedule; at each step of the slider, how far
// the engine's position already is past the half second where the shown second changed.
// Usage: display_lag FILE SECONDS   (under X and a sound server; the slider and the clock change together)
#include "app/pixel_transfer.h"
#include "app/player_window.h"
#include "platform/audio/engine_factory.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: display_lag FILE SECONDS\n");
        return 2;
    }
    tamro::app::sendPixelsOverTheConnection();  // as the program does
    QApplication app(argc, argv);
    auto engine = tamro::audio::createEngine(
        [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); });
    tamro::app::PlayerWindow window(std::move(engine));
    window.loadAndShow();

    std::vector<double> lags;  // milliseconds
    QObject::connect(&window.frmmain.Slider1, &QSlider::valueChanged, [&](int value) {
        const double heard = window.Play->position();
        if (value > 0 && heard > value - 1.0)  // a step forward while playing, not a seek or a start
            lags.push_back((heard - (value - 0.5)) * 1000.0);
    });
    window.frmmain.List1.replaceAll({argv[1]});
    window.frmmain.List1.setListIndex(0);
    window.frmmain.cmdplay.click();
    QTimer::singleShot(static_cast<int>(std::stod(argv[2]) * 1000), &app, &QCoreApplication::quit);
    app.exec();

    if (lags.empty()) {
        std::fprintf(stderr, "display_lag: the slider never moved\n");
        return 1;
    }
    std::sort(lags.begin(), lags.end());
    std::printf("display lag behind the heard position over %zu new seconds: min %.2f ms, median %.2f ms, "
                "max %.2f ms (target 20 ms)\n",
                lags.size(), lags.front(), lags[lags.size() / 2], lags.back());
    return 0;
}
