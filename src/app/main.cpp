// Tamro?Player v3.0: creates the main window with the audio engine and runs until the window is closed.
#include "app/player_window.h"
#include "app/quit_on_signal.h"
#include "base/product.h"
#include "platform/audio/engine_factory.h"
#include "ui/app_icon.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    tamro::app::quitOnTerminationSignals();
    // One icon for every window; where the desktop takes it from the .desktop entry (Wayland), this name
    // ties the windows to that entry.
    QApplication::setWindowIcon(tamro::ui::appIcon());
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tamro::desktopId));

    // The engine opens the sound device only when a track starts, so the window comes up without one; a start
    // with no device is reported as a lost device is.
    tamro::app::PlayerWindow* window = nullptr;
    std::unique_ptr<tamro::MediaPlayer> engine = tamro::audio::createEngine(
        [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); },
        [&window](const std::string& reason) {
            if (window)
                window->deviceLost(reason);
        });

    tamro::app::PlayerWindow playerWindow(std::move(engine));
    window = &playerWindow;
    playerWindow.loadAndShow();
    const int status = app.exec();
    window = nullptr;
    return status;
}
