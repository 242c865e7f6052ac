#include "player/advance.h"

#include "base/numbers.h"
#include "player/failure_policies.h"

#include <cmath>

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

void Advance::shufflePick()
{
    const std::int16_t n = list1_.listCount();
    const float r = random_.next();
    // In double the product is exact (24 + 15 bits), so k stays below n; rounding to float first could reach n.
    const double k = std::floor(static_cast<double>(r) * n);
    list1_.setListIndex(toInt16(static_cast<std::int32_t>(k)));
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
