// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/audio/end_clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamro::audio {
namespace {

constexpr std::size_t period = 512;
constexpr std::int64_t periodMicros = 10'000;
constexpr std::int64_t quarterBefore = periodMicros - periodMicros / 4;  // due after the buffer asked for

TEST(EndClock, TheCallbackSetsTheDueTimeAsTheEndComesNearAndOnceItIsOut)
{
    struct Call {
        std::uint64_t read;
        std::int64_t now;
        bool wakes;
        std::int64_t due;  // what the decode thread then finds (-1: not known)
    };
    struct Case {
        std::string what;
        std::uint64_t end;
        std::vector<Call> calls;
    };
    const Case cases[] = {
        {"far: not yet", 10'000, {{1000, 100, false, -1}}},
        {"within the next buffer: a quarter buffer before it",
         10'000,
         {{10'000 - period, 100, true, 100 + quarterBefore}, {10'000 - 10, 200, false, 100 + quarterBefore}}},
        {"out at once, then never again",
         10'000,
         {{10'000 - 100, 100, true, 100 + quarterBefore}, {10'000, 150, true, 150}, {10'000, 300, false, 150}}},
        {"out in one go: due now", 4096, {{5000, 700, true, 700}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EndClock clock(period, periodMicros);
        EXPECT_FALSE(clock.onCallback(c.end, 50)) << "nothing marked";
        const std::uint64_t mark = clock.mark(c.end);
        for (const Call& call : c.calls) {
            EXPECT_EQ(clock.onCallback(call.read, call.now), call.wakes) << "at " << call.now;
            EXPECT_EQ(clock.due(mark, -1), call.due) << "at " << call.now;
        }
    }
}

TEST(EndClock, DueTimesAreMergedEarliestFirstAndKeptApartByMark)
{
    EndClock clock(period, periodMicros);
    const std::uint64_t first = clock.mark(4096);
    EXPECT_EQ(clock.indexOf(first), 4096u);
    EXPECT_EQ(clock.dueWhenMarked(first, 4096 - period, 1000), 1000 + quarterBefore) << "marked within a buffer";
    EXPECT_EQ(clock.dueWhenMarked(first, 0, 1000), -1) << "marked further off";
    ASSERT_TRUE(clock.onCallback(4096 - 10, 2000));
    struct Case {
        std::int64_t own, merged;
    };
    for (const Case c : {Case{-1, 2000 + quarterBefore}, Case{1000, 1000}, Case{90'000, 2000 + quarterBefore}})
        EXPECT_EQ(clock.due(first, c.own), c.merged) << "own " << c.own;
    const std::uint64_t second = clock.mark(4096);
    EXPECT_NE(second, first);
    EXPECT_EQ(clock.due(second, -1), -1) << "the due time of an older mark at the same index";
    EXPECT_EQ(clock.due(EndClock::none, 5), 5);
    EXPECT_EQ(EndClock::earlier(-1, -1), -1);
    EXPECT_EQ(EndClock::earlier(7, -1), 7);
}

}  // namespace
}  // namespace tamro::audio
