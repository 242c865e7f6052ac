// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/failure.h"
#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tamro {
namespace {

struct TimeCase {
    double seconds;
    const char* text;
    std::int32_t rounded;
};

class TimeTextTable : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTextTable, GivesTheClockAndTheSliderUnits)
{
    const auto& c = GetParam();
    EXPECT_EQ(timeText(c.seconds), c.text);
    EXPECT_EQ(roundToInt32(c.seconds), c.rounded);
}

INSTANTIATE_TEST_SUITE_P(Lengths, TimeTextTable,
    ::testing::Values(TimeCase{0, "00:00", 0}, TimeCase{5.4, "00:05", 5}, TimeCase{29.6, "00:30", 30},
        TimeCase{59.5, "01:00", 60}, TimeCase{60.5, "01:00", 60}, TimeCase{61.5, "01:02", 62},
        TimeCase{62.5, "01:02", 62}, TimeCase{119.4, "01:59", 119}, TimeCase{119.5, "02:00", 120},
        TimeCase{185.6, "03:06", 186}, TimeCase{599.6, "10:00", 600}, TimeCase{3599.5, "60:00", 3600},
        TimeCase{3725, "62:05", 3725}, TimeCase{6000, "100:00", 6000}, TimeCase{2.5, "00:02", 2},
        TimeCase{3.5, "00:04", 4}, TimeCase{59.999, "01:00", 60}));

TEST(Rounding, ExactHalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundToInt32(0.5), 0);
    EXPECT_EQ(roundToInt32(-0.5), 0);
    EXPECT_EQ(roundToInt32(1.5), 2);
    EXPECT_EQ(roundToInt32(-2.5), -2);
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(roundToInt32(-2147483648.5), -2147483648);
}

TEST(Rounding, OutOfRangeOrNotANumberIsAnOverflowFailure)
{
    for (double v : {2147483647.5, -2147483649.0, 1e300, std::numeric_limits<double>::infinity(),
             std::numeric_limits<double>::quiet_NaN()})
        EXPECT_THROW(roundToInt32(v), Failure) << v;
    struct Case {
        double value;
        const char* description;
    };
    for (const Case c : {Case{2147483647.5, "Overflow: the value 2147483648 does not fit."},
                         Case{2147483648.3, "Overflow: the value 2147483648 does not fit."},
                         Case{-3e9 - 0.5, "Overflow: the value -3000000000 does not fit."},
                         Case{std::numeric_limits<double>::quiet_NaN(), "Overflow: the value nan does not fit."}}) {
        try {
            roundToInt32(c.value);
            ADD_FAILURE() << c.value;
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.description(), c.description) << "one description for a whole rounded second";
        }
    }
}

TEST(CheckedIntegers, RefuseWhatDoesNotFit)
{
    EXPECT_EQ(toInt16(32767), 32767);
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_THROW(toInt16(32768), Failure);
    EXPECT_THROW(toInt16(-32769), Failure);
    EXPECT_EQ(checkedAdd(2147483646, 1), 2147483647);
    EXPECT_THROW(checkedAdd(2147483647, 1), Failure);
    EXPECT_EQ(checkedAdd16(-1, 1), 0);
    EXPECT_THROW(checkedAdd16(32767, 1), Failure);
}

TEST(TitleLine, NamesTheEntryAndTheLength)
{
    EXPECT_EQ(titleLine("C:\\Music\\a.mp3", 185.6), "C:\\Music\\a.mp3 - (03:06)");
    EXPECT_EQ(titleLine("", 0), " - (00:00)");
    EXPECT_EQ(titleLine(std::string("/m/\xff\xfe.mp3"), 61.5), "/m/\xff\xfe.mp3 - (01:02)");
}

TEST(ItemCount, SameSuffixForEveryCount)
{
    EXPECT_EQ(itemCountText(0), "0 item(s)");
    EXPECT_EQ(itemCountText(1), "1 item(s)");
    EXPECT_EQ(itemCountText(32767), "32767 item(s)");
}

}  // namespace
}  // namespace tamro
