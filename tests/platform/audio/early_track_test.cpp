// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/early_track.h"

#include <gtest/gtest.h>

#include <string>

namespace tamro::audio {
namespace {

TrackDecoding decoded(std::uint64_t id)
{
    TrackDecoding at;
    at.id = id;
    at.active = at.done = true;
    return at;
}

TEST(EarlyTrack, OpensTheExpectedFileOncePerTrackAndFileAndNotOnceTheTrackIsOut)
{
    struct Case {
        const char* what;
        const char* expected;
        std::uint64_t triedId;  // a track it was already offered for, with "b.mp3" (0: none)
        std::uint64_t read;     // the ring's read index; the track's frames end at 1000
        bool opens;
    };
    const Case cases[] = {
        {"nothing expected", "", 0, 0, false},
        {"expected, not yet tried", "b.mp3", 0, 0, true},
        {"tried for this track and file", "b.mp3", 7, 0, false},
        {"tried for this track, another file", "c.mp3", 7, 0, true},
        {"tried for the track before", "b.mp3", 6, 0, true},
        {"its last frames already out", "b.mp3", 0, 1000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EarlyTrack early;
        if (c.triedId != 0) {
            early.expect("b.mp3");
            ASSERT_TRUE(early.toOpen(decoded(c.triedId), 1000, 0));
        }
        early.expect(c.expected);
        const auto opening = early.toOpen(decoded(7), 1000, c.read);
        ASSERT_EQ(opening.has_value(), c.opens);
        if (opening) {
            EXPECT_EQ(opening->path, c.expected);
        }
    }
}

TEST(EarlyTrack, StartsOnlyIfNothingChangedWhileTheFileOpenedAndGoesBackToTheTrackBefore)
{
    struct Case {
        const char* what;
        std::uint64_t currentId;
        bool endPosted;
        const char* expectedMeanwhile;
        std::uint64_t read;
        bool starts;
    };
    const Case cases[] = {
        {"unchanged", 7, false, "b.mp3", 10, true},
        {"sought or loaded meanwhile", 8, false, "b.mp3", 10, false},
        {"its end already posted", 7, true, "b.mp3", 10, false},
        {"another file expected meanwhile", 7, false, "c.mp3", 10, false},
        {"the track before all out meanwhile", 7, false, "b.mp3", 1000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EarlyTrack early;
        early.expect("b.mp3");
        const auto opening = early.toOpen(decoded(7), 1000, 0);
        ASSERT_TRUE(opening);
        EXPECT_EQ(early.expect(c.expectedMeanwhile), false);  // nothing started yet: nothing to drop
        TrackDecoding current = decoded(c.currentId);
        current.endPosted = c.endPosted;
        EXPECT_EQ(early.mayStart(*opening, current, c.read), c.starts);
    }

    // Started, its end before it posted, then taken back: the track before it comes back ended.
    EarlyTrack early;
    early.expect("b.mp3");
    const auto opening = early.toOpen(decoded(7), 1000, 0);
    early.start(*opening, 4410, DecodedTrack{nullptr, decoded(7)});
    EXPECT_TRUE(early.follows(7));
    EXPECT_TRUE(early.expect("c.mp3"));  // another file expected: this one is to go
    early.previousEnded();
    const DecodedTrack before = early.takeBack();
    EXPECT_EQ(before.at.id, 7u);
    EXPECT_TRUE(before.at.endPosted);
    EXPECT_FALSE(early.started());
    EXPECT_FALSE(early.takeOver("b.mp3"));
}

}  // namespace
}  // namespace tamro::audio
