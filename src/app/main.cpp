// Tamro?Player v3.0: creates the main window with the audio engine and runs until the window is closed.
// The launcher (launcher.cpp) starts it when no player runs on the desktop yet.
#include "app/desktop_events.h"
#include "app/player_window.h"
#include "app/quit_on_signal.h"
#include "base/failure.h"
#include "base/product.h"
#include "desktop/command_line.h"
#include "desktop/file_uri.h"
#include "desktop/hand_over.h"
#include "desktop/session.h"
#include "platform/audio/engine_factory.h"
#include "ui/app_icon.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char** argv)
{
    const tamro::desktop::CommandLine command = tamro::desktop::parseCommandLine(
        {argv + 1, argv + argc}, TAMRO_VERSION_TEXT, tamro::desktop::workingDirectory());
    if (command.answered)
        return tamro::desktop::printAnswer(command);
    // One player per desktop: a later start hands its files to the one running and ends.
    const tamro::desktop::InstanceClaim instance = tamro::desktop::claimInstance(command.files);
    if (instance.handedOver)
        return 0;

    // Two 1 ms timers tick for the whole run, so the event loop's cost per wake-up is most of the program's
    // CPU. Qt's own dispatcher and the GLib one measure the same here (bench/window/RESULTS.md); the plain
    // one has less machinery per wake-up. QT_NO_GLIB= (empty) still selects GLib.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // The arguments are the player's own: Qt sees none of them, so a file named like one of its options is
    // still a file.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    tamro::app::quitOnTerminationSignals();
    // One icon for every window; where the desktop takes it from the .desktop entry (Wayland), this name
    // ties the windows to that entry.
    QApplication::setWindowIcon(tamro::ui::appIcon());
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tamro::desktopId));
    const std::unique_ptr<tamro::desktop::Mpris> mpris = tamro::desktop::joinSessionBus();

    tamro::ui::FailureReport* failures = nullptr;
    std::unique_ptr<tamro::MediaPlayer> engine;
    try {
        engine = tamro::audio::createEngine(
            [](std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); },
            [&failures](const std::string& reason) {
                if (failures)
                    failures->report(reason);
            });
    } catch (const tamro::Failure& failure) {
        std::fprintf(stderr, "%s: %s\n", tamro::executableName, failure.what());
        QMessageBox::critical(nullptr, QString::fromUtf8(tamro::productName), QString::fromUtf8(failure.what()));
        return 1;
    }

    tamro::app::PlayerWindow window(std::move(engine));
    failures = &window.failures;
    tamro::app::connectDesktop(window, mpris.get(), instance.listeningSocket);
    window.loadAndShow();
    tamro::app::openGivenFiles(window, command.files);
    const int status = app.exec();
    failures = nullptr;
    return status;
}
