// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tamro::playlist {
namespace {

using Entries = std::vector<std::string>;

TEST(WriteEntries, QuotesEachEntryAndEndsEveryLineWithCrLf)
{
    EXPECT_EQ(writeEntries(Entries{"C:\\A.mp3"}),
        std::string("\x22\x43\x3A\x5C\x41\x2E\x6D\x70\x33\x22\x0D\x0A", 12));
    EXPECT_EQ(writeEntries(Entries{"/m/a.mp3", "", "/m/b, c.wav"}), "\"/m/a.mp3\"\r\n\"\"\r\n\"/m/b, c.wav\"\r\n");
    EXPECT_EQ(writeEntries(Entries{}), "");
}

struct RoundTrip {
    const char* name;
    Entries entries;
};

class SavedEntriesReadBack : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(SavedEntriesReadBack, Unchanged)
{
    const Fields read = readFields(writeEntries(GetParam().entries));
    EXPECT_EQ(read.entries, GetParam().entries);
    EXPECT_EQ(read.leftOut, 0u);
}

INSTANTIATE_TEST_SUITE_P(Entries, SavedEntriesReadBack,
    ::testing::Values(RoundTrip{"Empty", {}},
        RoundTrip{"CommaInAPath", {"C:\\a.mp3", "D:\\b, c.wav"}},
        RoundTrip{"EmptyEntries", {"", "/a.mp3", "", ""}},
        RoundTrip{"LeadingAndTrailingBlanks", {"  /a.mp3", "/b.mp3  ", " ", "\t/tab\t"}},
        RoundTrip{"NotUtf8", {"/music/caf\xE9.mp3", "/\xFF\xFE\x80/x.wav"}},
        RoundTrip{"LineEndsInsideAName", {"/a\nb.mp3", "/c\rd.mp3", "/e\r\nf.mp3"}},
        RoundTrip{"NulByte", {std::string("/a\0b.mp3", 8)}},
        RoundTrip{"M3uLookingText", {"#EXTM3U", "#EXTINF:215,Artist - Title", "[playlist]", "File1=a"}}),
    [](const auto& info) { return info.param.name; });

struct Written {
    const char* name;
    std::string entry;
    std::string line;  // without its CR LF
};

class EntryWithAQuote : public ::testing::TestWithParam<Written> {};

TEST_P(EntryWithAQuote, IsWrittenInAFormThatReadsBack)
{
    const Entries entries{"/before.mp3", GetParam().entry, "/after.mp3"};
    const std::string bytes = writeEntries(entries);
    EXPECT_EQ(bytes, "\"/before.mp3\"\r\n" + GetParam().line + "\r\n\"/after.mp3\"\r\n");
    EXPECT_EQ(readFields(bytes).entries, entries);
    EXPECT_TRUE(unstorableEntries(entries).empty());
}

INSTANTIATE_TEST_SUITE_P(Forms, EntryWithAQuote,
    ::testing::Values(Written{"InTheName", "/m/a\"b.mp3", "/m/a\"b.mp3"},
        Written{"SeveralAndBlanksInside", "/m/say \"hi\" now.mp3", "/m/say \"hi\" now.mp3"},
        Written{"AtTheEnd", "/m/a\"", "/m/a\""},
        Written{"AtTheStart", "\"a.mp3", "\"\"\"a.mp3"},
        Written{"OnlyAQuote", "\"", "\"\"\""},
        Written{"AfterALeadingBlank", " /m/a\"b.mp3", "\" /m/a\"\"b.mp3"},
        Written{"AfterAComma", "/m/x, y\"z.mp3", "\"/m/x, y\"\"z.mp3"},
        Written{"AfterALineEnd", "/m/x\r\ny\"z.mp3", "\"/m/x\r\ny\"\"z.mp3"}),
    [](const auto& info) { return info.param.name; });

TEST(UnstorableEntries, AreThoseWithACommaLineEndOrClosingBlankAfterTheirQuote)
{
    const Entries entries{"/m/a\"b,c.mp3", "/m/ok.mp3", "/m/a\"b\nc.mp3", "/m/a\"b\r", "/m/a\"b ", "/m/a\"b\t",
        "/m/b, c.mp3", " lead", "trail ", "", "/m/q\"ok"};
    EXPECT_EQ(unstorableEntries(entries), (std::vector<std::size_t>{0, 2, 3, 4, 5}));
}

struct Foreign {
    const char* name;
    std::string text;
    Entries entries;
};

class ForeignFile : public ::testing::TestWithParam<Foreign> {};

TEST_P(ForeignFile, ReadsAsItsFields)
{
    EXPECT_EQ(readFields(GetParam().text).entries, GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(Lines, ForeignFile,
    ::testing::Values(Foreign{"PlainPath", "C:\\Music\\a.mp3\r\n", {"C:\\Music\\a.mp3"}},
        Foreign{"M3uHeader", "#EXTM3U\r\n", {"#EXTM3U"}},
        Foreign{"M3uInfoSplitsAtTheComma", "#EXTINF:215,Artist - Title\r\n", {"#EXTINF:215", "Artist - Title"}},
        Foreign{"PlsSection", "[playlist]\r\n", {"[playlist]"}},
        Foreign{"PlsKeyValue", "File1=C:\\Music\\a.mp3\r\nNumberOfEntries=1\r\n",
            {"File1=C:\\Music\\a.mp3", "NumberOfEntries=1"}},
        Foreign{"BlankAfterCommaSkipped", "C:\\a.mp3, C:\\b.mp3\r\n", {"C:\\a.mp3", "C:\\b.mp3"}},
        Foreign{"EmptyLine", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        Foreign{"WholeM3u", "#EXTM3U\n#EXTINF:215,Artist - Title, Live\n/m/a.mp3\n#EXTINF:-1,x\n/m/b.mp3\n",
            {"#EXTM3U", "#EXTINF:215", "Artist - Title", "Live", "/m/a.mp3", "#EXTINF:-1", "x", "/m/b.mp3"}},
        Foreign{"WholePls", "[playlist]\r\nFile1=/m/a.mp3\r\nTitle1=A, B\r\nNumberOfEntries=1\r\nVersion=2\r\n",
            {"[playlist]", "File1=/m/a.mp3", "Title1=A", "B", "NumberOfEntries=1", "Version=2"}}),
    [](const auto& info) { return info.param.name; });

// An editor's UTF-8 byte order mark is no part of the first path.
TEST(LoadPlaylistFile, SkipsAByteOrderMarkAtTheStartOnly)
{
    const std::string path = ::testing::TempDir() + "tamro-bom-" + std::to_string(::getpid()) + ".m3u";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF/m/a.mp3\r\n\xEF\xBB\xBF/m/b.mp3\r\n";
    EXPECT_EQ(loadPlaylistFile(path).entries, (Entries{"/m/a.mp3", "\xEF\xBB\xBF/m/b.mp3"}));
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Rules, ForeignFile,
    ::testing::Values(Foreign{"EmptyFile", "", {}},
        Foreign{"LastLineWithoutLineEnd", "a\r\nb", {"a", "b"}},
        Foreign{"TwoLineEndsAtTheEnd", "a\r\n\r\n", {"a", ""}},
        Foreign{"OnlyALineEnd", "\r\n", {""}},
        Foreign{"LoneLf", "a\nb\n", {"a", "b"}},
        Foreign{"LoneCr", "a\rb\r", {"a", "b"}},
        Foreign{"LfThenCrIsTwoLineEnds", "a\n\rb", {"a", "", "b"}},
        Foreign{"QuotedFieldAfterLoneLf", "\"a\"\n\"b\"\n", {"a", "b"}},
        Foreign{"TrailingBlanksDropped", "a  \t,b \r\n", {"a", "b"}},
        Foreign{"TabsBeforeAFieldSkipped", "\t a\r\n", {"a"}},
        Foreign{"TabInsideKept", "a\tb\r\n", {"a\tb"}},
        Foreign{"BlanksOnlyLine", "   \r\nx", {"", "x"}},
        Foreign{"QuotedFieldKeepsCommasAndBlanks", "\" a, b \"\r\n", {" a, b "}},
        Foreign{"TwoQuotedFieldsOnALine", "\"a\",\"b\"\r\n", {"a", "b"}},
        Foreign{"BlanksAfterClosingQuoteDropped", "\"a\"  ,b\r\n", {"a", "b"}},
        Foreign{"TextAfterClosingQuoteKept", "\"/My Music\"/a.mp3 ,b\r\n", {"/My Music/a.mp3", "b"}},
        Foreign{"QuoteInsideUnquotedField", "a\"b\"c\r\n", {"a\"b\"c"}},
        Foreign{"QuotedFieldSpansLines", "\"a\r\nb\",c\r\n", {"a\r\nb", "c"}},
        Foreign{"UnclosedQuoteReadsAsUnquoted", "\"a, b\r\nc\r\n", {"a", "b", "c"}},
        Foreign{"TrailingCommaBeforeLineEnd", "a,\r\nb", {"a", "", "b"}},
        Foreign{"TrailingCommaAtTheEnd", "a,", {"a"}}),
    [](const auto& info) { return info.param.name; });

TEST(ReadFields, KeepsTheFirstFieldsUpToTheLimitAndCountsTheRest)
{
    std::string text;
    for (int i = 0; i < 32770; ++i)
        text += "\"/music/" + std::to_string(i) + ".mp3\"\r\n";
    const Fields read = readFields(text);
    ASSERT_EQ(read.entries.size(), 32767u);
    EXPECT_EQ(read.entries.back(), "/music/32766.mp3");
    EXPECT_EQ(read.leftOut, 3u);

    EXPECT_EQ(readFields("a,b,c", 2).entries, (Entries{"a", "b"}));
    EXPECT_EQ(readFields("a,b,c", 2).leftOut, 1u);
}

}  // namespace
}  // namespace tamro::playlist
