// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/track_start.h"

#include "base/failure.h"
#include "support/fake_media_player.h"

#include <gtest/gtest.h>

namespace tamro::player {
namespace {

using Calls = std::vector<std::string>;

struct Controls {
    testing::FakeMediaPlayer play;
    ui::ListBox list1;
    ui::Slider slider1;
    ui::Label songname;
    ui::Label time;
    TrackStart steps{play, list1, slider1, songname, time};
};

struct RangeCase {
    double length;
    std::int32_t max;
    const char* title;
};

TEST(TrackStart, RangeAndTitleRoundHalfToEven)
{
    // The time text itself has its own table; here, that both steps round the same length half to even.
    const RangeCase cases[] = {
        {0, 0, "/a.mp3 - (00:00)"}, {2.5, 2, "/a.mp3 - (00:02)"}, {3.5, 4, "/a.mp3 - (00:04)"},
        {61.5, 62, "/a.mp3 - (01:02)"}, {185.6, 186, "/a.mp3 - (03:06)"}, {3599.5, 3600, "/a.mp3 - (60:00)"},
    };
    for (const RangeCase& c : cases) {
        Controls w;
        w.list1.addItem("/a.mp3");
        w.list1.setListIndex(0);
        w.play.lengthValue = c.length;
        w.steps.setRange();
        w.steps.showTitle();
        EXPECT_EQ(w.slider1.max(), c.max) << c.length;
        EXPECT_EQ(w.songname.caption(), c.title) << c.length;
    }
}

TEST(TrackStart, TitleNamesTheSelectionAtThatMomentWithAFreshLength)
{
    Controls w;
    w.list1.replaceAll({"/x.mp3", "/y.mp3"});
    w.list1.setListIndex(1);
    w.steps.load("/x.mp3");
    w.steps.play();
    w.play.lengthValue = 10;
    w.steps.setRange();
    w.play.lengthValue = 20;
    w.steps.showTitle();
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/x.mp3", "play", "length", "length"}));
    EXPECT_EQ(w.slider1.max(), 10);
    EXPECT_EQ(w.songname.caption(), "/y.mp3 - (00:20)");
}

TEST(TrackStart, NoSelectionGivesABlankBeforeTheBracketedTime)
{
    Controls w;
    w.steps.showTitle();
    EXPECT_EQ(w.songname.caption(), " - (00:00)");
}

TEST(TrackStart, AnOverflowingLengthFailsAndLeavesTheControls)
{
    Controls w;
    w.slider1.setMax(7);
    w.songname.setCaption("before");
    w.play.lengthValue = 3e9;
    EXPECT_THROW(w.steps.setRange(), Failure);
    EXPECT_THROW(w.steps.showTitle(), Failure);
    EXPECT_EQ(w.slider1.max(), 7);
    EXPECT_EQ(w.songname.caption(), "before");
}

}  // namespace
}  // namespace tamro::player
