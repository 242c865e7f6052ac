// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_files.h"

#include "base/failure.h"
#include "playlist/filters.h"
#include "playlist/playlist_file.h"
#include "playlist/while_drawn.h"
#include "support/temp_folder.h"
#include "support/fake_file_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimer>

#include <chrono>
#include <filesystem>
#include <thread>

namespace tamro::playlist {
namespace {

using ::testing::HasSubstr;
using namespace tamro::testing;  // TempFolder, readBytes, writeBytes
using Entries = std::vector<std::string>;

struct Window {
    testing::FakeFileDialog dialog;
    ui::ListBox list1;
    ui::Label label1;
    PlaylistFiles files{list1, label1, dialog};

    Entries entries() const
    {
        Entries out;
        for (int i = 0; i < list1.listCount(); ++i)
            out.push_back(list1.list(i));
        return out;
    }
    void save(const std::string& path)
    {
        dialog.choices = {path};
        files.Savelist_Click();
    }
    void load(const std::string& path)
    {
        dialog.choices = {path};
        files.Command4_Click();
    }
};

TEST(Save, WritesEveryEntryAsAQuotedLineAndSelectsTheLast)
{
    TempFolder folder;
    Window w;
    w.list1.replaceAll({"C:\\a.mp3", "D:\\b, c.wav", ""});
    w.label1.setCaption("before");
    w.save(folder.file("list"));
    EXPECT_EQ(readBytes(folder.file("list")), "\"C:\\a.mp3\"\r\n\"D:\\b, c.wav\"\r\n\"\"\r\n");
    EXPECT_EQ(w.list1.listIndex(), 2);
    EXPECT_EQ(w.label1.caption(), "before") << "Save leaves the item count alone";
    EXPECT_EQ(w.dialog.lastFilter, saveFilter);
    EXPECT_EQ(w.dialog.calls[2], "showSave");
    EXPECT_FALSE(std::filesystem::exists(folder.file("list.m3u"))) << "no extension is added";
}

TEST(Save, KeepsEveryEntryOfALongPlaylist)
{
    TempFolder folder;
    Window w;
    Entries many;
    for (int i = 0; i < 10005; ++i)
        many.push_back("/music/" + std::to_string(i) + ".mp3");
    w.list1.replaceAll(many);
    w.save(folder.file("long.m3u"));
    EXPECT_EQ(w.list1.listIndex(), 10004);
    Window other;
    other.load(folder.file("long.m3u"));
    EXPECT_EQ(other.entries(), many);
}

TEST(Save, OfAnEmptyPlaylistEmptiesTheFileAndLoadsBackAsNothing)
{
    TempFolder folder;
    writeBytes(folder.file("list.m3u"), "\"old\"\r\n");
    Window w;
    w.save(folder.file("list.m3u"));
    EXPECT_EQ(readBytes(folder.file("list.m3u")), "");
    EXPECT_EQ(w.list1.listIndex(), -1);
    w.list1.replaceAll({"/x"});
    w.load(folder.file("list.m3u"));
    EXPECT_EQ(w.list1.listCount(), 0);
    EXPECT_EQ(w.label1.caption(), "0 item(s)");
}

TEST(Save, ThatFailsIsReportedAndLeavesTheOldFileAndTheSelection)
{
    TempFolder folder;
    std::filesystem::create_directory(folder.file("a folder"));
    Window w;
    w.list1.replaceAll({"/a", "/b"});
    w.list1.setListIndex(0);
    try {
        w.save(folder.file("a folder"));
        FAIL() << "saving over a folder succeeded";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), "Cannot save '" + folder.file("a folder") + "': it is a folder");
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("a folder")));
    EXPECT_EQ(w.list1.listIndex(), 0);
}

TEST(Load, ReplacesThePlaylistAndSelectsNothing)
{
    TempFolder folder;
    writeBytes(folder.file("x.m3u"), "#EXTM3U\n#EXTINF:215,Artist - Title\n/m/a.mp3\n");
    Window w;
    w.list1.replaceAll({"/old1", "/old2"});
    w.list1.setListIndex(1);
    w.load(folder.file("x.m3u"));
    EXPECT_EQ(w.entries(), (Entries{"#EXTM3U", "#EXTINF:215", "Artist - Title", "/m/a.mp3"}));
    EXPECT_EQ(w.list1.listIndex(), -1);
    EXPECT_EQ(w.label1.caption(), "4 item(s)");
    EXPECT_EQ(w.dialog.lastFilter, loadFilter);
}

TEST(Load, FileThatCannotBeReadLeavesPlaylistSelectionAndLabel)
{
    TempFolder folder;
    for (const std::string& path : {folder.file("typo.m3u"), folder.path()}) {
        Window w;
        w.list1.replaceAll({"/a", "/b"});
        w.list1.setListIndex(1);
        w.label1.setCaption("2 item(s)");
        try {
            w.load(path);
            FAIL() << "loading " << path << " succeeded";
        } catch (const Failure& failure) {
            EXPECT_THAT(failure.description(), HasSubstr("Cannot open '" + path + "'"));
        }
        EXPECT_EQ(w.entries(), (Entries{"/a", "/b"}));
        EXPECT_EQ(w.list1.listIndex(), 1);
        EXPECT_EQ(w.label1.caption(), "2 item(s)");
    }
}

TEST(Load, OfMoreEntriesThanFitLoadsTheFirstAndSaysHowManyWereLeftOut)
{
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 32772; ++i)
        text += "/m/" + std::to_string(i) + ".mp3\n";
    writeBytes(folder.file("huge.m3u"), text);
    Window w;
    try {
        w.load(folder.file("huge.m3u"));
        FAIL() << "no word about the left-out entries";
    } catch (const Failure& failure) {
        EXPECT_THAT(failure.description(), HasSubstr("the last 5 were left out"));
    }
    EXPECT_EQ(w.list1.listCount(), 32767);
    EXPECT_EQ(w.list1.list(32766), "/m/32766.mp3");
    EXPECT_EQ(w.label1.caption(), "32767 item(s)");
}

// Where Load left entries out, Save must not write the shortened playlist over them; any other file is saved.
TEST(Save, OntoTheFileALoadCutShortIsRefusedAndKeepsIt)
{
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 32770; ++i)
        text += "/m/" + std::to_string(i) + ".mp3\n";
    writeBytes(folder.file("huge.m3u"), text);
    std::filesystem::create_symlink(folder.file("huge.m3u"), folder.file("link.m3u"));
    Window w;
    EXPECT_THROW(w.load(folder.file("huge.m3u")), Failure);

    struct Target {
        std::string path;
        bool refused;
    };
    const Target targets[] = {
        {folder.file("huge.m3u"), true},
        {folder.file("link.m3u"), true},  // the same file under another name
        {folder.file("other.m3u"), false},
    };
    for (const auto& target : targets) {
        try {
            w.save(target.path);
            EXPECT_FALSE(target.refused) << target.path << " was saved";
        } catch (const Failure& failure) {
            EXPECT_TRUE(target.refused) << failure.description();
            EXPECT_THAT(failure.description(), HasSubstr("Cannot save '" + target.path + "': it is the playlist file whose last 3 entries Load left out"));
        }
    }
    EXPECT_EQ(readBytes(folder.file("huge.m3u")), text);
    EXPECT_EQ(readFields(readBytes(folder.file("other.m3u"))).entries.size(), 32767u);

    // A Load that took every entry lifts the guard.
    writeBytes(folder.file("small.m3u"), "/a\n");
    w.load(folder.file("small.m3u"));
    w.save(folder.file("huge.m3u"));
    EXPECT_EQ(readBytes(folder.file("huge.m3u")), "\"/a\"\r\n");
}

TEST(Save, OfEntriesThatCannotReadBackNamesThemAndKeepsTheFile)
{
    TempFolder folder;
    writeBytes(folder.file("list.m3u"), "\"old\"\r\n");
    Window w;
    w.list1.replaceAll({"/m/fine.mp3", "/m/a\"b, c.mp3", "/m/d\"e.mp3", "/m/x\" "});
    try {
        w.save(folder.file("list.m3u"));
        FAIL() << "saved entries that do not read back";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(),
            "Cannot save '" + folder.file("list.m3u") + "': 2 entries hold a double quote followed by a comma or a line end, "
            "or by a blank at their end, which a playlist file cannot give back (entry 2 '/m/a\"b, c.mp3', entry 4 '/m/x\" '). "
            "The file was left as it was.");
    }
    EXPECT_EQ(readBytes(folder.file("list.m3u")), "\"old\"\r\n");
}

// Reading or writing a huge playlist file: the window goes on painting and ticking meanwhile.
TEST(WhileDrawn, TheEventLoopRunsWhileTheWorkIsDoneAndItsFailureComesBack)
{
    int ticks = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start();
    EXPECT_EQ(whileDrawn([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 7;
    }), 7);
    EXPECT_GE(ticks, 5);
    EXPECT_THROW(whileDrawn([] { throw Failure("Cannot read 'x': gone"); }), Failure);
}

TEST(LoadAndSave, CancelChangesNothing)
{
    Window w;
    w.list1.replaceAll({"/a"});
    w.list1.setListIndex(0);
    w.files.Command4_Click();
    w.files.Savelist_Click();
    EXPECT_EQ(w.dialog.shows, 2);
    EXPECT_EQ(w.entries(), (Entries{"/a"}));
    EXPECT_EQ(w.list1.listIndex(), 0);
    EXPECT_EQ(w.label1.caption(), "");
}

}  // namespace
}  // namespace tamro::playlist
