// The floor to compare the program with: an empty Qt window of the same size with two 1 ms timers whose ticks
// do nothing. Runs for the given number of seconds. Usage: bare_timers SECONDS
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(224, 90);
    window.show();
    QTimer timers[2];
    for (QTimer& timer : timers) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        QObject::connect(&timer, &QTimer::timeout, [] {});
        timer.start();
    }
    QTimer::singleShot(1000 * std::atoi(argc > 1 ? argv[1] : "20"), &app, &QApplication::quit);
    return app.exec();
}
