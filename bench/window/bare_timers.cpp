// SPDX-License-Identifier: GPL-3.0-or-later
// The floor to compare the program with: an empty Qt window of the same size whose timers do nothing.
// Usage: bare_timers [--seconds N] [--period MS] [--timers K] [other arguments, ignored]
// The default, two 1 ms timers for 20 s, ticks as the program did before its display schedule. `--period 250 --timers 1`
// is the least any Qt window costs that wakes as often as the schedule's ceiling while a track plays.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    int seconds = 20;
    int period = 1;
    int timers = 2;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--period") == 0)
            period = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--timers") == 0)
            timers = std::atoi(argv[++i]);
    }
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QWidget window;
    window.setFixedSize(224, 90);
    window.show();
    std::vector<QTimer> ticking(static_cast<std::size_t>(timers));
    for (QTimer& timer : ticking) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(period);
        QObject::connect(&timer, &QTimer::timeout, [] {});
        timer.start();
    }
    QTimer::singleShot(1000 * seconds, &app, &QApplication::quit);
    return app.exec();
}
