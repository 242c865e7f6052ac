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
    recovering(
        [this] {
            if (shuffle_.value() == 1)
                shufflePick();
            else
                sequentialStep();
        },
        [this] { settle(); });
}

std::int16_t Advance::pick(float r, std::int16_t n)
{
    // In double the product is exact (24 + 15 bits), so k stays below n; rounding to float first could reach n.
    const double k = std::floor(static_cast<double>(r) * n);
    return toInt16(static_cast<std::int32_t>(k));
}

std::string Advance::nextFile() const
{
    const std::int16_t n = list1_.listCount();
    if (shuffle_.value() == 1)
        return n > 0 ? list1_.list(pick(random_.peek(), n)) : std::string();
    // The sequential step loads the entry after `last` only where the selection can move on by one.
    const std::int16_t selected = list1_.listIndex();
    if (last_ >= std::numeric_limits<std::int16_t>::max() || selected >= n - 1)
        return {};
    return list1_.list(last_ + 1);
}

void Advance::shufflePick()
{
    const std::int16_t n = list1_.listCount();
    list1_.setListIndex(pick(random_.next(), n));
    steps_.load(list1_.text());
    // No play: the file starts by itself when it is loaded. `last` is left where it was.
    steps_.setRange();
    steps_.showTitle();
}

void Advance::sequentialStep()
{
    last_ = checkedAdd(last_, 1);
    const std::string path = list1_.list(toInt16(last_));
    // From the selection, not from `last`: at the last entry this fails and nothing is loaded.
    list1_.setListIndex(checkedAdd16(list1_.listIndex(), std::int16_t{1}));
    steps_.load(path);
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
