// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/advance.h"

#include "base/numbers.h"
#include "player/failure_policies.h"

#include <cmath>
#include <limits>

namespace tamro::player {

Advance::Advance(TrackStart& steps, ui::ListBox& list1, ui::CheckBox& shuffle, std::int32_t& last,
                 RandomSource& random)
    : steps_(steps), list1_(list1), shuffle_(shuffle), last_(last), random_(random)
{
}

void Advance::Command3_Click()
{
    advance();
}

void Advance::Play_EndOfTrack(std::int32_t /*unused*/)
{
    advance();
}

void Advance::advance()
{
    const std::optional<Choice> choice = choose(&RandomSource::next);
    if (!choice) {
        settle();
        return;
    }
    recovering(
        [&] {
            if (choice->shuffle)
                shufflePick(*choice);
            else
                sequentialStep(*choice);
        },
        [this] { settle(); });
}

std::int16_t Advance::pick(float r, std::int16_t n)
{
    // In double the product is exact (24 + 15 bits), so k stays below n; rounding to float first could reach n.
    const double k = std::floor(static_cast<double>(r) * n);
    return toInt16(static_cast<std::int32_t>(k));
}

std::optional<Advance::Choice> Advance::choose(float (RandomSource::*draw)()) const
{
    const std::int16_t n = list1_.listCount();
    if (shuffle_.value() == 1) {
        // Drawn also from an empty list, where the selection then cannot be set.
        const float r = (random_.*draw)();
        if (n <= 0)
            return std::nullopt;
        const std::int16_t index = pick(r, n);
        return Choice{true, index, list1_.list(index)};
    }
    // The entry after `last` is loaded, where `last + 1` is a 16-bit index and the selection can move on by
    // one: at the last entry nothing is loaded.
    const std::int16_t selected = list1_.listIndex();
    if (last_ >= std::numeric_limits<std::int16_t>::max() || last_ < std::numeric_limits<std::int16_t>::min() - 1 ||
        selected >= n - 1)
        return std::nullopt;
    return Choice{false, static_cast<std::int16_t>(selected + 1), list1_.list(last_ + 1)};
}

std::string Advance::nextFile() const
{
    const std::optional<Choice> choice = choose(&RandomSource::peek);
    return choice ? choice->path : std::string();
}

void Advance::shufflePick(const Choice& choice)
{
    list1_.setListIndex(choice.index);
    steps_.load(choice.path);
    // No play: the file starts by itself when it is loaded. `last` is left where it was.
    steps_.setRange();
    steps_.showTitle();
}

void Advance::sequentialStep(const Choice& choice)
{
    // From the selection, not from `last`: `last` names the entry loaded, the selection moves on by one.
    last_ += 1;
    list1_.setListIndex(choice.index);
    steps_.load(choice.path);
    steps_.play();
    settle();
}

void Advance::settle()
{
    last_ = list1_.listIndex();
    steps_.setRange();
    steps_.showTitle();
}

}  // namespace tamro::player
