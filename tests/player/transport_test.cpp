// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/transport.h"

#include "base/failure.h"
#include "support/fake_media_player.h"

#include <gtest/gtest.h>

#include <functional>

namespace tamro::player {
namespace {

using Calls = std::vector<std::string>;

// Fails chosen length queries by their number (1 = the first), and lets a test look at the window mid-command.
class ScriptedPlayer : public testing::FakeMediaPlayer {
public:
    std::set<int> failingLengthQueries;
    std::function<void()> onLength;

    double length() override
    {
        ++lengthQueries_;
        if (onLength)
            onLength();
        if (failingLengthQueries.count(lengthQueries_)) {
            calls.push_back("length");
            throw Failure("length refused");
        }
        return FakeMediaPlayer::length();
    }

private:
    int lengthQueries_ = 0;
};

struct Window {
    ScriptedPlayer play;
    ui::ListBox list1;
    ui::Slider slider1;
    ui::Label songname;
    ui::Label time;
    std::int32_t last = 0;
    TrackStart steps{play, list1, slider1, songname, time};
    Transport transport{play, steps, list1, songname, time, last};

    explicit Window(int entries)
    {
        for (int i = 0; i < entries; ++i)
            list1.addItem("/music/" + std::to_string(i) + ".mp3");
        time.setVisible(false);
        slider1.setMax(10);
        play.lengthValue = 185.6;
    }
};

struct PlayCase {
    const char* name;
    std::set<std::string> failing;
    std::set<int> failingLengthQueries;
    double length;
    Calls calls;
    std::int32_t sliderMax;
    const char* title;
};

void PrintTo(const PlayCase& c, std::ostream* os)
{
    *os << c.name;
}

class PlaySkipTest : public ::testing::TestWithParam<PlayCase> {};

TEST_P(PlaySkipTest, EachFailingActionIsSkippedAndTheRestRuns)
{
    const PlayCase& c = GetParam();
    Window w(3);
    w.list1.setListIndex(1);
    w.last = 2;
    w.play.failing = c.failing;
    w.play.failingLengthQueries = c.failingLengthQueries;
    w.play.lengthValue = c.length;

    EXPECT_NO_THROW(w.transport.cmdplay_Click());

    EXPECT_EQ(w.play.calls, c.calls);
    EXPECT_EQ(w.slider1.max(), c.sliderMax);
    EXPECT_EQ(w.songname.caption(), c.title);
    EXPECT_TRUE(w.time.visible());
    EXPECT_EQ(w.last, 2) << "Play leaves last alone";
}

const Calls allCalls{"fileName:/music/1.mp3", "play", "length", "length"};

INSTANTIATE_TEST_SUITE_P(
    Transport, PlaySkipTest,
    ::testing::Values(
        PlayCase{"nothing_fails", {}, {}, 185.6, allCalls, 186, "/music/1.mp3 - (03:06)"},
        PlayCase{"file_refused", {"fileName"}, {}, 185.6, allCalls, 186, "/music/1.mp3 - (03:06)"},
        PlayCase{"play_refused", {"play"}, {}, 185.6, allCalls, 186, "/music/1.mp3 - (03:06)"},
        PlayCase{"first_length_refused", {}, {1}, 185.6, allCalls, 10, "/music/1.mp3 - (03:06)"},
        PlayCase{"second_length_refused_counts_as_zero", {}, {2}, 185.6, allCalls, 186, "/music/1.mp3 - (00:00)"},
        PlayCase{"every_operation_refused", {"fileName", "play", "length"}, {}, 185.6, allCalls, 10,
                 "/music/1.mp3 - (00:00)"},
        PlayCase{"length_beyond_32_bits", {}, {}, 3e9, allCalls, 10, "/music/1.mp3 - (00:00)"},
        PlayCase{"length_not_a_number", {}, {}, std::nan(""), allCalls, 10, "/music/1.mp3 - (00:00)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Transport, PlayWithNoSelectionHandsOverTheEmptyText)
{
    Window w(0);
    w.play.lengthValue = 0;
    w.play.failing = {"fileName", "play"};
    w.transport.cmdplay_Click();
    EXPECT_EQ(w.play.calls, (Calls{"fileName:", "play", "length", "length"}));
    EXPECT_EQ(w.songname.caption(), " - (00:00)");
    EXPECT_TRUE(w.time.visible());
}

TEST(Transport, StopOnlyStops)
{
    Window w(3);
    w.list1.setListIndex(1);
    w.last = 1;
    w.songname.setCaption("title");
    w.time.setVisible(true);
    w.transport.Command2_Click();
    EXPECT_EQ(w.play.calls, Calls{"stop"});
    EXPECT_EQ(w.last, 1);
    EXPECT_EQ(w.songname.caption(), "title");
    EXPECT_TRUE(w.time.visible());
    EXPECT_EQ(w.slider1.max(), 10);
}

struct PreviousCase {
    const char* name;
    int entries;
    std::int32_t last;
    std::int32_t selected;
    std::int32_t lastAfter;
    std::int32_t selectedAfter;
    Calls calls;
    const char* title;  // nullptr: untouched
};

void PrintTo(const PreviousCase& c, std::ostream* os)
{
    *os << c.name;
}

class PreviousTest : public ::testing::TestWithParam<PreviousCase> {};

TEST_P(PreviousTest, StepsBackFromLastAndMovesTheSelectionFromWhereItIs)
{
    const PreviousCase& c = GetParam();
    Window w(c.entries);
    w.list1.setListIndex(c.selected);
    w.last = c.last;
    w.songname.setCaption("before");

    w.transport.Back_Click();

    EXPECT_EQ(w.last, c.lastAfter);
    EXPECT_EQ(w.list1.listIndex(), c.selectedAfter);
    EXPECT_EQ(w.play.calls, c.calls);
    EXPECT_EQ(w.songname.caption(), c.title ? c.title : "before");
    EXPECT_FALSE(w.time.visible()) << "Previous leaves the clock's visibility alone";
}

INSTANTIATE_TEST_SUITE_P(
    Transport, PreviousTest,
    ::testing::Values(
        PreviousCase{"right_after_start_does_nothing", 3, 0, 1, 0, 1, {}, nullptr},
        PreviousCase{"last_below_zero_does_nothing", 3, -1, 1, -1, 1, {}, nullptr},
        PreviousCase{"from_entry_1_to_entry_0", 3, 1, 1, 0, 0,
                     {"fileName:/music/0.mp3", "play", "length", "length"}, "/music/0.mp3 - (03:06)"},
        PreviousCase{"selection_and_last_apart", 9, 3, 7, 2, 6,
                     {"fileName:/music/2.mp3", "play", "length", "length"}, "/music/6.mp3 - (03:06)"},
        PreviousCase{"from_the_first_entry_the_selection_clears", 3, 1, 0, 0, -1,
                     {"fileName:/music/0.mp3", "play", "length", "length"}, " - (03:06)"},
        PreviousCase{"no_entry_at_the_lowered_last", 3, 10, 2, 9, 1,
                     {"fileName:", "play", "length", "length"}, "/music/1.mp3 - (03:06)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Transport, PreviousWithNoSelectionFailsAfterLoweringLastAndLoadsNothing)
{
    Window w(3);
    w.last = 2;
    EXPECT_THROW(w.transport.Back_Click(), Failure);
    EXPECT_EQ(w.last, 1);
    EXPECT_EQ(w.list1.listIndex(), -1);
    EXPECT_TRUE(w.play.calls.empty());
}

TEST(Transport, DoubleClickPlaysTheEntryAndSetsLastBeforeTheTitle)
{
    Window w(6);
    w.list1.setListIndex(4);
    std::vector<std::int32_t> lastAtLengthQueries;
    w.play.onLength = [&] { lastAtLengthQueries.push_back(w.last); };

    w.transport.List1_DblClick();

    EXPECT_EQ(w.play.calls, (Calls{"fileName:/music/4.mp3", "play", "length", "length"}));
    EXPECT_EQ(lastAtLengthQueries, (std::vector<std::int32_t>{0, 4}));
    EXPECT_EQ(w.last, 4);
    EXPECT_EQ(w.songname.caption(), "/music/4.mp3 - (03:06)");
    EXPECT_EQ(w.slider1.max(), 186);
    EXPECT_TRUE(w.time.visible());
}

TEST(Transport, DoubleClickEndsAtTheFailingStep)
{
    Window w(6);
    w.list1.setListIndex(4);
    w.last = 1;
    w.play.failing = {"play"};
    EXPECT_THROW(w.transport.List1_DblClick(), Failure);
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/music/4.mp3", "play"}));
    EXPECT_EQ(w.last, 1);
    EXPECT_EQ(w.songname.caption(), "");
    EXPECT_FALSE(w.time.visible());
}

}  // namespace
}  // namespace tamro::player
