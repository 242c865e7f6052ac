// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/shown_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tamro {
namespace {

struct Cut {
    const char* name;
    std::string text;
    std::size_t limit;
    std::string shown;
};

class ShownText : public ::testing::TestWithParam<Cut> {};

TEST_P(ShownText, KeepsShortTextAndCutsLongTextInTheMiddle)
{
    EXPECT_EQ(shownText(GetParam().text, GetParam().limit), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, ShownText,
    ::testing::Values(Cut{"ShortWhole", "/m/a.mp3", 8, "/m/a.mp3"},
        Cut{"LongKeepsStartAndEnd", "0123456789abcdef", 8, "012345\u2026ef"},
        // "é" is two bytes: the cut never splits it, on either side.
        Cut{"NeverSplitsACharacterAtTheStart", "aaaaa\u00e9bbbbbbbbbbbb", 8, "aaaaa\u2026bb"},
        Cut{"NeverSplitsACharacterAtTheEnd", "aaaaaaaaaaaaaaa\u00e9b", 8, "aaaaaa\u2026b"},
        Cut{"BytesThatAreNotUtf8AreKept", "\xff\xfe" + std::string(20, 'x') + "\x80", 8, "\xff\xfexxxx\u2026x\x80"}),
    [](const auto& info) { return info.param.name; });

TEST(ShownText, ADefaultCutFitsAPathLinuxCanOpenAndShortensMegabytes)
{
    const std::string path(4096, 'p');
    EXPECT_EQ(shownText(path), path);
    const std::string huge = "/m/" + std::string(10 << 20, 'x') + "/song.mp3";
    const std::string shown = shownText(huge);
    EXPECT_LE(shown.size(), maxShownBytes + 3);
    EXPECT_TRUE(shown.starts_with("/m/x") && shown.ends_with("x/song.mp3")) << shown.substr(0, 10);
}

}  // namespace
}  // namespace tamro
