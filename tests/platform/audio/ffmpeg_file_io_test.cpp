// SPDX-License-Identifier: GPL-3.0-or-later
// FFmpeg's seeks on the readers it is given: where each lands, and the ones refused without moving.
#include "platform/audio/ffmpeg_file_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

namespace tamro::audio::ffmpeg {
namespace {

TEST(SeekIn, LandsWhereAskedAndRefusesBeforeTheStartOrPastSixtyFourBits)
{
    constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    struct Case {
        const char* name;
        std::int64_t offset;
        int whence;
        std::int64_t answer;  // negative: refused
        std::int64_t position;
    };
    // A reader at 100 in a file of 1000 bytes.
    for (const Case c : {Case{"from the start", 300, SEEK_SET, 300, 300},
                         Case{"on from here", 50, SEEK_CUR, 150, 150},
                         Case{"back from the end", -10, SEEK_END, 990, 990},
                         Case{"past the end is allowed", 5000, SEEK_SET, 5000, 5000},
                         Case{"the size, not moving", 0, AVSEEK_SIZE, 1000, 100},
                         Case{"forced like any other", 7, SEEK_SET | AVSEEK_FORCE, 7, 7},
                         Case{"before the start", -101, SEEK_CUR, -1, 100},
                         Case{"past 64 bits from here", max, SEEK_CUR, -1, 100},
                         Case{"past 64 bits from the end", max - 10, SEEK_END, -1, 100},
                         Case{"far below from the end", min, SEEK_END, -1, 100},
                         Case{"an unknown way", 0, 42, -1, 100}}) {
        SCOPED_TRACE(c.name);
        std::int64_t position = 100;
        const std::int64_t answer = seekIn(position, 1000, c.offset, c.whence);
        if (c.answer < 0)
            EXPECT_LT(answer, 0);
        else
            EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(position, c.position);
    }
}

}  // namespace
}  // namespace tamro::audio::ffmpeg
