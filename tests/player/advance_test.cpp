// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/advance.h"

#include "base/failure.h"
#include "support/fake_media_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tamro::player {
namespace {

using Calls = std::vector<std::string>;

// Each file reports its own length once it is loaded, so a title line shows which track the length came from.
class TracksPlayer : public testing::FakeMediaPlayer {
public:
    std::map<std::string, double> lengths{{"/x", 10}, {"/y", 20}, {"/z", 30}};
    int lengthFailuresLeft = 0;

    void setFileName(const std::string& path) override
    {
        FakeMediaPlayer::setFileName(path);
        lengthValue = lengths.count(path) ? lengths[path] : 0.0;
    }
    double length() override
    {
        if (lengthFailuresLeft > 0) {
            --lengthFailuresLeft;
            calls.push_back("length");
            throw Failure("length not available yet");
        }
        return FakeMediaPlayer::length();
    }
};

enum class Trigger { button, endOfTrack };

struct Window {
    TracksPlayer play;
    ui::ListBox list1;
    ui::Slider slider1;
    ui::Label songname;
    ui::Label time;
    ui::CheckBox shuffle{Qt::gray};
    std::int32_t last = 0;
    RandomSource random;
    TrackStart steps{play, list1, slider1, songname, time};
    Advance advance{steps, list1, shuffle, last, random};

    Window() { play.setEndOfTrackHandler([this](std::int32_t code) { advance.Play_EndOfTrack(code); }); }

    // The playlist with `playing` loaded as a start would have left it; the test then watches what follows.
    void setUp(std::vector<std::string> entries, std::int32_t lastIndex, std::int32_t selection,
               const std::string& playing)
    {
        list1.replaceAll(std::move(entries));
        list1.setListIndex(selection);
        last = lastIndex;
        if (!playing.empty())
            play.setFileName(playing);
        play.calls.clear();
        songname.setCaption("before");
        slider1.setMax(99);
    }

    void run(Trigger trigger)
    {
        if (trigger == Trigger::button)
            advance.Command3_Click();
        else
            play.fireEndOfTrack();
    }
};

struct Case {
    const char* name;
    std::vector<std::string> entries;
    std::int32_t last;
    std::int32_t selection;
    const char* playing;
    bool shuffle;
    std::set<std::string> failing;
    // Afterwards:
    std::int32_t lastAfter;
    std::int32_t selectionAfter;
    Calls calls;
    const char* title;
    std::int32_t sliderMax;
};

const std::vector<std::string> xyz{"/x", "/y", "/z"};
constexpr std::int32_t maxLast = std::numeric_limits<std::int32_t>::max();

TEST(Advance, EndsInTheSameStateFromTheButtonAndTheEndOfATrack)
{
    const Case cases[] = {
        {"a next entry exists", xyz, 1, 1, "/y", false, {},
         2, 2, {"fileName:/z", "play", "length", "length"}, "/z - (00:30)", 30},
        {"selection on the last entry: nothing loaded, same title", xyz, 2, 2, "/z", false, {},
         2, 2, {"length", "length"}, "/z - (00:30)", 30},
        {"right after start-up: plays Y, names X", xyz, 0, -1, "", false, {},
         0, 0, {"fileName:/y", "play", "length", "length"}, "/x - (00:20)", 20},
        {"Play started Y while last is 0: Y again, Z named", xyz, 0, 1, "/y", false, {},
         2, 2, {"fileName:/y", "play", "length", "length"}, "/z - (00:20)", 20},
        {"Z picked by a single click while X plays", xyz, 0, 2, "/x", false, {},
         2, 2, {"length", "length"}, "/z - (00:10)", 10},
        {"last past the end of a shortened list loads the empty path", xyz, 5, 0, "/x", false, {},
         1, 1, {"fileName:", "play", "length", "length"}, "/y - (00:00)", 0},
        {"empty playlist, sequential", {}, 0, -1, "/y", false, {},
         -1, -1, {"length", "length"}, " - (00:20)", 20},
        {"empty playlist, shuffle", {}, 3, -1, "/y", true, {},
         -1, -1, {"length", "length"}, " - (00:20)", 20},
        {"load refused: the old track plays on, the new entry is named", xyz, 1, 1, "/y", false, {"fileName"},
         2, 2, {"fileName:/z", "length", "length"}, "/z - (00:20)", 20},
        {"play refused", xyz, 1, 1, "/y", false, {"play"},
         2, 2, {"fileName:/z", "play", "length", "length"}, "/z - (00:30)", 30},
        {"last at its largest value overflows", xyz, maxLast, 1, "/y", false, {},
         1, 1, {"length", "length"}, "/y - (00:20)", 20},
        {"last beyond a 16-bit index", xyz, 40000, 0, "/x", false, {},
         0, 0, {"length", "length"}, "/x - (00:10)", 10},
        {"shuffle with one entry loads it again without play", {"/x"}, 4, 0, "/x", true, {},
         4, 0, {"fileName:/x", "length", "length"}, "/x - (00:10)", 10},
        {"shuffle with one entry refused: recovery sets last", {"/x"}, 4, 0, "/y", true, {"fileName"},
         0, 0, {"fileName:/x", "length", "length"}, "/x - (00:20)", 20},
        {"shuffle: the sequence's first draw picks Z", xyz, 0, 0, "/x", true, {},
         0, 2, {"fileName:/z", "length", "length"}, "/z - (00:30)", 30},
    };
    for (const Case& c : cases) {
        for (Trigger trigger : {Trigger::button, Trigger::endOfTrack}) {
            SCOPED_TRACE(std::string(c.name) + (trigger == Trigger::button ? " (Next)" : " (end of track)"));
            Window w;
            w.setUp(c.entries, c.last, c.selection, c.playing);
            w.shuffle.setChecked(c.shuffle);
            w.play.failing = c.failing;
            // What the media player is told to expect is what the advance then loads, and the telling leaves
            // the random sequence as it was.
            const std::string expected = w.advance.nextFile();
            EXPECT_NO_THROW(w.run(trigger));
            const auto load = std::find_if(w.play.calls.begin(), w.play.calls.end(),
                                           [](const std::string& call) { return call.starts_with("fileName:"); });
            EXPECT_EQ(expected, load == w.play.calls.end() ? "" : load->substr(9));
            EXPECT_EQ(w.last, c.lastAfter);
            EXPECT_EQ(w.list1.listIndex(), c.selectionAfter);
            EXPECT_EQ(w.play.calls, c.calls);
            EXPECT_EQ(w.songname.caption(), c.title);
            EXPECT_EQ(w.slider1.max(), c.sliderMax);
        }
    }
}

TEST(Advance, FromStartUpTheSecondNextLoadsYAgainAndNamesIt)
{
    Window w;
    w.setUp(xyz, 0, -1, "");
    w.advance.Command3_Click();
    w.play.calls.clear();
    w.advance.Command3_Click();
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/y", "play", "length", "length"}));
    EXPECT_EQ(w.list1.listIndex(), 1);
    EXPECT_EQ(w.last, 1);
    EXPECT_EQ(w.songname.caption(), "/y - (00:20)");
}

TEST(Advance, PlaysThroughToTheLastEntryAndThenStaysSilent)
{
    Window w;
    w.setUp(xyz, 0, 0, "/x");
    for (int i = 0; i < 4; ++i)
        w.play.fireEndOfTrack();
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/y", "play", "length", "length", "fileName:/z", "play", "length",
                                   "length", "length", "length", "length", "length"}));
    EXPECT_EQ(w.last, 2);
    EXPECT_EQ(w.songname.caption(), "/z - (00:30)");
}

TEST(Advance, TheClockKeepsItsVisibility)
{
    for (bool shuffle : {false, true}) {
        Window w;
        w.setUp(xyz, 0, 0, "/x");
        w.shuffle.setChecked(shuffle);
        w.time.setVisible(false);
        w.advance.Command3_Click();
        EXPECT_FALSE(w.time.visible()) << shuffle;
    }
}

TEST(Advance, AFailedLengthAtTheNormalEndIsRetriedOnce)
{
    Window w;
    w.setUp(xyz, 1, 1, "/y");
    w.play.lengthFailuresLeft = 1;
    EXPECT_NO_THROW(w.advance.Command3_Click());
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/z", "play", "length", "length", "length"}));
    EXPECT_EQ(w.songname.caption(), "/z - (00:30)");
    EXPECT_EQ(w.slider1.max(), 30);
}

TEST(Advance, AFailureWhileRecoveringLeavesForTheReport)
{
    struct FailingCase {
        const char* name;
        std::vector<std::string> entries;
        std::int32_t last;
        std::int32_t selection;
        bool shuffle;
        int lengthFailures;
        Calls calls;
    };
    const FailingCase cases[] = {
        {"length fails at the normal end and again in the recovery", xyz, 1, 1, false, 2,
         {"fileName:/z", "play", "length", "length"}},
        {"length fails in the recovery after the last entry", xyz, 2, 2, false, 1, {"length"}},
        {"length fails inside a shuffle pick and again in the recovery", {"/x"}, 0, 0, true, 2,
         {"fileName:/x", "length", "length"}},
    };
    for (const FailingCase& c : cases) {
        for (Trigger trigger : {Trigger::button, Trigger::endOfTrack}) {
            SCOPED_TRACE(std::string(c.name) + (trigger == Trigger::button ? " (Next)" : " (end of track)"));
            Window w;
            w.setUp(c.entries, c.last, c.selection, "/y");
            w.shuffle.setChecked(c.shuffle);
            w.play.lengthFailuresLeft = c.lengthFailures;
            EXPECT_THROW(w.run(trigger), Failure);
            EXPECT_EQ(w.play.calls, c.calls);
            EXPECT_EQ(w.last, w.list1.listIndex()) << "the recovery had set last before it failed";
            EXPECT_EQ(w.songname.caption(), "before") << "nothing after the failing action ran";
        }
    }
}

TEST(Advance, ShufflePicksFromTheWholePlaylistAndLeavesLast)
{
    Window w;
    const std::vector<std::string> entries{"/a", "/b", "/c", "/d", "/e"};
    w.setUp(entries, 3, 1, "/b");
    w.shuffle.setChecked(true);
    std::set<std::string> picked;
    bool repeated = false;
    std::string previous = w.play.fileName;
    for (int i = 0; i < 100; ++i) {
        w.play.calls.clear();
        w.advance.Command3_Click();
        const std::int16_t k = w.list1.listIndex();
        ASSERT_GE(k, 0);
        ASSERT_LT(k, 5);
        EXPECT_EQ(w.play.calls, (Calls{"fileName:" + entries[k], "length", "length"}));
        EXPECT_EQ(w.songname.caption(), entries[k] + " - (00:00)");
        EXPECT_EQ(w.last, 3);
        repeated = repeated || entries[k] == previous;
        previous = entries[k];
        picked.insert(entries[k]);
    }
    EXPECT_EQ(picked.size(), 5u) << "every entry can be picked, the first and the last too";
    EXPECT_TRUE(repeated) << "the entry that just played is not excluded";
}

std::vector<std::int16_t> picks(const std::vector<int>& sizes)
{
    Window w;
    w.shuffle.setChecked(true);
    std::vector<std::int16_t> out;
    for (int n : sizes) {
        std::vector<std::string> entries;
        // Appended to "/": GCC 12 at -O3 takes "/" + a string for an overlapping copy (-Wrestrict).
        for (int i = 0; i < n; ++i)
            entries.push_back(std::string("/").append(std::to_string(i)));
        w.list1.replaceAll(entries);
        w.advance.Command3_Click();
        out.push_back(w.list1.listIndex());
    }
    return out;
}

TEST(Advance, TwoRunsWithTheSamePlaylistSizesPickTheSameEntries)
{
    const std::vector<int> sizes{3, 3, 7, 100, 1, 32767, 2, 50, 50, 9};
    const std::vector<std::int16_t> first = picks(sizes);
    EXPECT_EQ(picks(sizes), first);
    EXPECT_NE(first, std::vector<std::int16_t>(sizes.size(), first.front())) << "the picks vary";
}

TEST(Advance, AfterShuffleTheSequentialStepTakesThePathFromLastAndMovesOnFromThePick)
{
    Window w;
    const std::vector<std::string> entries{"/0", "/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8", "/9"};
    w.setUp(entries, 4, 4, "/4");
    w.shuffle.setChecked(true);
    w.advance.Command3_Click();
    const std::int16_t k = w.list1.listIndex();
    EXPECT_EQ(w.last, 4);

    w.shuffle.setChecked(false);
    w.play.calls.clear();
    w.advance.Command3_Click();
    if (k < 9) {
        EXPECT_EQ(w.play.calls, (Calls{"fileName:/5", "play", "length", "length"}));
        EXPECT_EQ(w.list1.listIndex(), k + 1);
        EXPECT_EQ(w.last, k + 1);
    } else {
        EXPECT_EQ(w.play.calls, (Calls{"length", "length"}));
        EXPECT_EQ(w.last, 9);
    }
    EXPECT_EQ(w.songname.caption(), entries[static_cast<std::size_t>(w.list1.listIndex())] + " - (00:00)");
}

TEST(RandomSource, StaysBelowOneSoThePickStaysInsideTheLargestPlaylist)
{
    RandomSource random;
    constexpr int largest = 32767;
    for (int i = 0; i < 2'000'000; ++i) {
        const float r = random.next();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        ASSERT_LT(static_cast<std::int32_t>(static_cast<double>(r) * largest), largest);
    }
}

}  // namespace
}  // namespace tamro::player
