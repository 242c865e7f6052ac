// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/player_window.h"

#include "app/event_table.h"
#include "platform/qt_file_dialog.h"

namespace tamro::app {

PlayerWindow::PlayerWindow(std::unique_ptr<MediaPlayer> play, std::unique_ptr<FileDialog> dialog,
                           std::unique_ptr<player::SingleShotTimer> displayTimer)
    : report([this](const std::string& description) { failures.report(description); }),
      Play(std::move(play)),
      steps(*Play, frmmain.List1, frmmain.Slider1, frmmain.Songname, frmmain.time),
      startup(frmmain, frmmain.time),
      transport(*Play, steps, frmmain.List1, frmmain.Songname, frmmain.time, frmmain.last),
      clock(*Play, frmmain.Slider1, frmmain.time),
      advance(steps, frmmain.List1, frmmain.Shuffle, frmmain.last, player::processRandom()),
      schedule(*Play,
               [this] {
                   player::reporting(report, [this] { clock.Timer1_Timer(); });
                   player::reporting(report, [this] { clock.Timer2_Timer(); });
               },
               displayTimer ? std::move(displayTimer) : std::make_unique<player::PreciseSingleShotTimer>()),
      Dialog(dialog ? std::move(dialog) : std::make_unique<QtFileDialog>(&frmmain)),
      editing(frmmain.List1, frmmain.Label1, *Dialog, steps),
      files(frmmain.List1, frmmain.Label1, *Dialog),
      given(frmmain.List1, frmmain.Label1, steps, transport,
            [this](const std::function<void()>& handler) { runEvent(*this, handler); })
{
    connectEvents(*this);
}

void PlayerWindow::loadAndShow()
{
    runLoad(*this);
    frmmain.show();
}

void PlayerWindow::deviceLost(const std::string& description)
{
    failures.report(description);
    schedule.afterEvent();
}

}  // namespace tamro::app
