// SPDX-License-Identifier: GPL-3.0-or-later
// The running program's window: frmmain, its media player `Play`, the failure report and every handler.
#pragma once

#include "desktop/dropped_files.h"
#include "desktop/given_files.h"
#include "desktop/hand_over_server.h"
#include "desktop/mpris.h"
#include "platform/file_dialog.h"
#include "platform/media_player.h"
#include "platform/url_opener.h"
#include "player/advance.h"
#include "player/display_schedule.h"
#include "player/failure_policies.h"
#include "player/position_clock.h"
#include "player/startup.h"
#include "player/track_start.h"
#include "player/transport.h"
#include "playlist/playlist_editing.h"
#include "playlist/playlist_files.h"
#include "ui/failure_report.h"
#include "ui/frmmain.h"

#include <memory>

namespace tamro::app {

class PlayerWindow {
public:
    // Without a dialog, the window gets the one on Qt's file dialog; without a display timer, a precise QTimer.
    explicit PlayerWindow(std::unique_ptr<MediaPlayer> play, std::unique_ptr<FileDialog> dialog = nullptr,
                          std::unique_ptr<player::SingleShotTimer> displayTimer = nullptr);

    // The window's load steps, then shows it.
    void loadAndShow();
    // The engine's report that the audio device stopped working.
    void deviceLost(const std::string& description);

    // The About window's links open through it; tests put a fake in its place.
    std::unique_ptr<UrlOpener> urlOpener = std::make_unique<DesktopUrlOpener>();

    // Declared in the order they are built: each handler needs the ones above it.
    ui::Frmmain frmmain;
    ui::FailureReport failures{&frmmain};
    player::Report report;
    std::unique_ptr<MediaPlayer> Play;
    player::TrackStart steps;
    player::Startup startup;
    player::Transport transport;
    player::PositionClock clock;
    player::Advance advance;
    player::DisplaySchedule schedule;
    std::unique_ptr<FileDialog> Dialog;
    playlist::PlaylistEditing editing;
    playlist::PlaylistFiles files;
    // The ways in from outside the window's controls.
    desktop::GivenFiles given;
    desktop::DroppedFiles drops{frmmain, given};
    // On the session bus when there is one; told after every handler what may have changed.
    desktop::Mpris* mpris = nullptr;
    // Takes the files of later starts, when this player holds the desktop's socket.
    std::unique_ptr<desktop::HandOverServer> handOver;
};

}  // namespace tamro::app
