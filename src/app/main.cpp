// SPDX-License-Identifier: GPL-3.0-or-later
// Tamro?Player v3.0: creates the main window with the audio engine and runs until the window is closed.
// The launcher (launcher.cpp) starts it when no player runs on the desktop yet.
#include "app/desktop_events.h"
#include "app/pixel_transfer.h"
#include "app/player_window.h"
#include "app/quit_on_signal.h"
#include "base/product.h"
#include "desktop/art_file.h"
#include "desktop/command_line.h"
#include "desktop/file_uri.h"
#include "desktop/hand_over.h"
#include "desktop/session.h"
#include "platform/audio/engine_factory.h"
#include "ui/app_icon.h"

#include <QApplication>

int main(int argc, char** argv)
{
    const tamro::desktop::CommandLine command = tamro::desktop::parseCommandLine(
        {argv + 1, argv + argc}, TAMRO_VERSION_TEXT, tamro::desktop::workingDirectory());
    if (command.answered)
        return tamro::desktop::printAnswer(command);
    // One player per desktop: a later start hands its files to the one running and ends.
    const tamro::desktop::InstanceClaim instance = tamro::desktop::claimInstance(
        command.files, tamro::desktop::activationTokenFromEnvironment());
    if (instance.handedOver)
        return 0;

    // The one player of this display: what crashed players left of their covers goes.
    tamro::desktop::removeStaleArtFiles();

    // The arguments are the player's own: Qt sees none of them, so a file named like one of its options is
    // still a file. Qt names the X11 window's class (WM_CLASS) after its argv[0]: the launcher's name however
    // the player was started, as the desktop entry's StartupWMClass says.
    char* qtArgv[] = {const_cast<char*>(tamro::executableName), nullptr};
    int qtArgc = 1;
    tamro::app::sendPixelsOverTheConnection();
    QApplication app(qtArgc, qtArgv);
    tamro::app::quitOnTerminationSignals();
    // One icon for every window; where the desktop takes it from the .desktop entry (Wayland), this name
    // ties the windows to that entry.
    QApplication::setWindowIcon(tamro::ui::appIcon());
    QGuiApplication::setDesktopFileName(QString::fromUtf8(tamro::desktopId));
    const std::unique_ptr<tamro::desktop::Mpris> mpris = tamro::desktop::joinSessionBus();

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
    tamro::app::connectDesktop(playerWindow, mpris.get(), instance.listeningSocket);
    playerWindow.loadAndShow();
    tamro::app::openGivenFiles(playerWindow, command.files);
    const int status = app.exec();
    window = nullptr;
    return status;
}
