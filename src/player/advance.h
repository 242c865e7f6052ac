// SPDX-License-Identifier: GPL-3.0-or-later
// Next (`Command3`) and the end-of-track advance: the next entry, or a random one when "Rnd" is pressed.
#pragma once

#include "player/random_source.h"
#include "player/track_start.h"
#include "ui/graphic_button.h"
#include "ui/list_box.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tamro::player {

class Advance {
public:
    // `play` is reached through the start-track steps; `last` belongs to the window.
    Advance(TrackStart& steps, ui::ListBox& list1, ui::CheckBox& shuffle, std::int32_t& last, RandomSource& random);

    // Both run the same advance. Its failures are recovered silently; only a failure during that recovery
    // leaves here, for the caller to report.
    void Command3_Click();
    void Play_EndOfTrack(std::int32_t unused);

    // The path the advance would load if it ran now, "" when it would load none (or fail before it loads):
    // changes nothing, not even the random source's sequence.
    std::string nextFile() const;

private:
    // What the advance does when it runs: the entry it selects and the path it loads.
    struct Choice {
        bool shuffle = false;
        std::int16_t index = -1;
        std::string path;
    };
    // The shuffle pick's index for n entries and a draw r.
    static std::int16_t pick(float r, std::int16_t n);
    // The advance's choice, with a shuffle's draw taken by `draw` (next to use it up, peek to leave it);
    // none where it cannot move on and only settles.
    std::optional<Choice> choose(float (RandomSource::*draw)()) const;
    void advance();
    void shufflePick(const Choice& choice);
    void sequentialStep(const Choice& choice);
    // `last` back to the selection, then the slider's maximum and the title line for what is loaded.
    void settle();

    TrackStart& steps_;
    ui::ListBox& list1_;
    ui::CheckBox& shuffle_;
    std::int32_t& last_;
    RandomSource& random_;
};

}  // namespace tamro::player
