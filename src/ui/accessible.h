// SPDX-License-Identifier: GPL-3.0-or-later
// What a screen reader is told of the controls whose meaning Qt cannot guess: the position slider's value as a
// time, a caption label's name beside what it shows, and the About window's links as links.
#pragma once

namespace tamro::ui {

// Teaches Qt's accessibility the Slider, Label and LinkLabel controls; each of their constructors calls it,
// and it acts once per process.
void installAccessibleInterfaces();

}  // namespace tamro::ui
