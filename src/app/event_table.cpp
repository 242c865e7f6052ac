// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/event_table.h"

#include "app/player_window.h"
#include "ui/about_links.h"

#include <QAbstractButton>
#include <QItemSelectionModel>

namespace tamro::app {

namespace {

// The media player learns what the advance would load next, so that it can start it behind the tail.
void expectNext(PlayerWindow& w) { w.Play->expectNext(w.advance.nextFile()); }

// Runs a handler as runEvent runs it each time `signal` of `control` fires.
template <class Control, class Signal, class Handler>
void on(PlayerWindow& w, Control& control, Signal signal, Handler handler, bool seeks = false)
{
    QObject::connect(&control, signal, &w.frmmain, [&w, handler, seeks] { runEvent(w, handler, seeks); });
}

}  // namespace

void runEvent(PlayerWindow& w, const std::function<void()>& handler, bool seeks)
{
    player::reporting(w.report, handler);
    // What it leaves is shown in the same turn of the event loop.
    w.schedule.afterEvent();
    if (w.mpris)
        w.mpris->afterEvent(seeks);
    expectNext(w);
}

void connectEvents(PlayerWindow& w)
{
    ui::Frmmain& f = w.frmmain;
    on(w, f.Command1, &QAbstractButton::clicked, [&w] { w.startup.Command1_Click(); });

    on(w, f.cmdplay, &QAbstractButton::clicked, [&w] { w.transport.cmdplay_Click(); });
    on(w, f.Command2, &QAbstractButton::clicked, [&w] { w.transport.Command2_Click(); });
    on(w, f.Back, &QAbstractButton::clicked, [&w] { w.transport.Back_Click(); });
    on(w, f.List1, &ui::ListBox::dblClick, [&w] { w.transport.List1_DblClick(); });

    on(w, f.Command3, &QAbstractButton::clicked, [&w] { w.advance.Command3_Click(); });
    w.Play->setEndOfTrackHandler([&w](std::int32_t argument) {
        runEvent(w, [&w, argument] { w.advance.Play_EndOfTrack(argument); });
    });

    on(w, f.Add, &QAbstractButton::clicked, [&w] { w.editing.Add_Click(); });
    on(w, f.Rem, &QAbstractButton::clicked, [&w] { w.editing.Rem_Click(); });
    on(w, f.Command6, &QAbstractButton::clicked, [&w] { w.editing.Command6_Click(); });
    on(w, f.open, &QAbstractButton::clicked, [&w] { w.editing.open_Click(); });
    QObject::connect(&f.List1, &ui::ListBox::keyDown, &f, [&w](int key, Qt::KeyboardModifiers shift) {
        runEvent(w, [&w, key, shift] { w.editing.List1_KeyDown(key, shift); });
    });

    on(w, f.Command4, &QAbstractButton::clicked, [&w] { w.files.Command4_Click(); });
    on(w, f.Savelist, &QAbstractButton::clicked, [&w] { w.files.Savelist_Click(); });

    // Timer1_Timer and Timer2_Timer run when what they show can change: after each event here, when the
    // position starts to move, when a failure box closes (a failing tick reports again), and on the schedule.
    w.Play->setMotionHandler([&w] { w.schedule.afterEvent(); });
    w.failures.setClosedHandler([&w] { w.schedule.afterEvent(); });
    on(w, f.Slider1, &ui::Slider::click, [&w] { w.clock.Slider1_Click(); }, true);
    on(w, f.Slider1, &ui::Slider::scroll, [&w] { w.clock.Slider1_Scroll(); }, true);

    // The two changes that the user makes with no handler of their own and that decide the next file.
    QObject::connect(&f.Shuffle, &QAbstractButton::toggled, &f, [&w] { expectNext(w); });
    QObject::connect(f.List1.selectionModel(), &QItemSelectionModel::selectionChanged, &f, [&w] { expectNext(w); });

    on(w, f.Command5, &QAbstractButton::clicked, [&w] { ui::Command5_Click(w.frmmain, *w.urlOpener); });
}

void runLoad(PlayerWindow& w)
{
    runEvent(w, [&w] { w.startup.Form_Load(); });
}

}  // namespace tamro::app
