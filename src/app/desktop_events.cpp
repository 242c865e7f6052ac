// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/desktop_events.h"

#include "app/event_table.h"
#include "app/player_window.h"
#include "app/window_activation.h"
#include "base/numbers.h"
#include "desktop/hand_over_server.h"

#include <QCoreApplication>

namespace tamro::app {
void connectDesktop(PlayerWindow& w, desktop::Mpris* mpris, int listeningSocket)
{
    auto open = [&w](const std::vector<std::string>& paths, const desktop::ActivationToken& token) {
        w.given.appendAndStart(paths);
        raiseWindow(w.frmmain, token);
    };
    if (listeningSocket >= 0)
        w.handOver = std::make_unique<desktop::HandOverServer>(listeningSocket, open);
    if (!mpris)
        return;
    w.mpris = mpris;
    desktop::PlayerCommands c;
    c.play = [&w] { runEvent(w, [&w] { w.transport.cmdplay_Click(); }); };
    c.stop = [&w] { runEvent(w, [&w] { w.transport.Command2_Click(); }); };
    c.next = [&w] { runEvent(w, [&w] { w.advance.Command3_Click(); }); };
    c.previous = [&w] { runEvent(w, [&w] { w.transport.Back_Click(); }); };
    // As a click on the slider: the value the user would have clicked, then the click.
    c.seek = [&w](double seconds) {
        runEvent(
            w,
            [&w, seconds] {
                w.frmmain.Slider1.setValue(roundToInt32(seconds));
                w.clock.Slider1_Click();
            },
            true);
    };
    c.raise = [&w] { raiseWindow(w.frmmain, {}); };
    c.quit = [] { QCoreApplication::quit(); };
    c.open = [open](const std::vector<std::string>& paths) { open(paths, {}); };
    mpris->attach(*w.Play, std::move(c));
}

void openGivenFiles(PlayerWindow& w, const std::vector<std::string>& paths)
{
    w.given.appendAndStart(paths);
}

}  // namespace tamro::app
