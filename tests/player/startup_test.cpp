// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/startup.h"

#include <gtest/gtest.h>

namespace tamro::player {
namespace {

struct Window {
    ui::FixedWindow frmmain{3360, 3795};
    ui::Label time{&frmmain};
    Startup startup{frmmain, time};
};

TEST(Startup, LoadHidesTheClockAndMakesTheWindowCompact)
{
    Window w;
    EXPECT_EQ(w.frmmain.heightTwips(), 4170.0f);
    w.startup.Form_Load();
    EXPECT_EQ(w.frmmain.heightTwips(), 1725.0f);
    EXPECT_FALSE(w.time.visible());
}

struct ToggleCase {
    float before;
    float after;
};

TEST(Startup, PlaylistButtonTogglesOnlyBetweenTheTwoHeights)
{
    const ToggleCase cases[] = {{1725.0f, 4170.0f}, {4170.0f, 1725.0f}, {1995.0f, 1995.0f},
                                {1740.0f, 1740.0f}, {4155.0f, 4155.0f}, {375.0f, 375.0f}};
    for (const ToggleCase& c : cases) {
        Window w;
        w.frmmain.setHeightTwips(c.before);
        ASSERT_EQ(w.frmmain.heightTwips(), c.before);
        w.startup.Command1_Click();
        EXPECT_EQ(w.frmmain.heightTwips(), c.after) << "from " << c.before;
    }
}

}  // namespace
}  // namespace tamro::player
