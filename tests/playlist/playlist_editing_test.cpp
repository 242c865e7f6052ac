// SPDX-License-Identifier: GPL-3.0-or-later
#include "playlist/playlist_editing.h"

#include "base/failure.h"
#include "playlist/filters.h"
#include "support/fake_file_dialog.h"
#include "support/fake_media_player.h"

#include <gtest/gtest.h>

#include <QTest>

namespace tamro::playlist {
namespace {

using Entries = std::vector<std::string>;
using Calls = std::vector<std::string>;

struct Window {
    testing::FakeMediaPlayer play;
    testing::FakeFileDialog dialog;
    ui::ListBox list1;
    ui::Label label1;
    ui::Slider slider1;
    ui::Label songname;
    ui::Label time;
    player::TrackStart steps{play, list1, slider1, songname, time};
    PlaylistEditing editing{list1, label1, dialog, steps};

    Entries entries() const
    {
        Entries out;
        for (int i = 0; i < list1.listCount(); ++i)
            out.push_back(list1.list(i));
        return out;
    }
};

TEST(Add, AppendsTheChosenFileKeepsTheSelectionAndCounts)
{
    Window w;
    w.dialog.choices = {"/m/a.mp3", "/m/a.mp3"};
    w.editing.Add_Click();
    EXPECT_EQ(w.list1.listIndex(), -1) << "adding to an empty list selects nothing";
    w.list1.setListIndex(0);
    w.editing.Add_Click();
    EXPECT_EQ(w.entries(), (Entries{"/m/a.mp3", "/m/a.mp3"}));
    EXPECT_EQ(w.list1.listIndex(), 0);
    EXPECT_EQ(w.label1.caption(), "2 item(s)");
    EXPECT_EQ(w.dialog.lastFilter,
              "Supported Sound files |*.mp3;*.wav;*.wma;*.mid;*.rmi;*.midi;*.au;*.snd;|MP3 Files (*.mp3)|*.mp3|Wave "
              "Files (*.wav)|*.wav|Midi Files (*.mid,*.midi,*.rmi)|*.mid;*.midi;*.rmi|Windows Media Audio Files "
              "(*.wma)|*.wma|Unix Files (*.au,*.snd)|*.au;*.snd");
    EXPECT_EQ(w.dialog.calls[2], "showOpen");
}

TEST(AddAndOpen, CancelChangesNothingNotEvenTheEmptyLabel)
{
    Window w;
    w.list1.replaceAll({"/m/a.mp3"});
    w.list1.setListIndex(0);
    w.editing.Add_Click();
    w.editing.open_Click();
    EXPECT_EQ(w.dialog.shows, 2);
    EXPECT_EQ(w.entries(), (Entries{"/m/a.mp3"}));
    EXPECT_EQ(w.list1.listIndex(), 0);
    EXPECT_EQ(w.label1.caption(), "");
    EXPECT_TRUE(w.play.calls.empty());
}

TEST(Add, OnAFullPlaylistSaysSoAndChangesNothing)
{
    Window w;
    w.list1.replaceAll(Entries(32767, "/m/a.mp3"));
    w.label1.setCaption("32767 item(s)");
    w.dialog.choices = {"/m/b.mp3"};
    EXPECT_THROW(w.editing.Add_Click(), Failure);
    EXPECT_EQ(w.list1.listCount(), 32767);
    EXPECT_EQ(w.dialog.shows, 0);
    EXPECT_EQ(w.label1.caption(), "32767 item(s)");
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool deletes;
};

TEST(DeleteKey, DeletesTheSelectedEntryWithAnyModifierAndNoOtherKeyDoes)
{
    const KeyCase cases[] = {
        {"Delete", Qt::Key_Delete, Qt::NoModifier, true},
        {"Shift+Delete", Qt::Key_Delete, Qt::ShiftModifier, true},
        {"Ctrl+Delete", Qt::Key_Delete, Qt::ControlModifier, true},
        {"Alt+Delete", Qt::Key_Delete, Qt::AltModifier, true},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, false},
        {"Period, whose code is the old Delete key's", Qt::Key_Period, Qt::NoModifier, false},
    };
    for (const KeyCase& c : cases) {
        Window w;
        QObject::connect(&w.list1, &ui::ListBox::keyDown,
            [&w](int key, Qt::KeyboardModifiers modifiers) { w.editing.List1_KeyDown(key, modifiers); });
        w.list1.replaceAll({"/a", "/b", "/c"});
        w.list1.setListIndex(1);
        QTest::keyClick(&w.list1, c.key, c.modifiers);
        const Entries left = c.deletes ? Entries{"/a", "/c"} : Entries{"/a", "/b", "/c"};
        EXPECT_EQ(w.entries(), left) << c.name;
        EXPECT_EQ(w.label1.caption(), c.deletes ? "2 item(s)" : "") << c.name;
        EXPECT_EQ(w.list1.listIndex(), c.deletes ? -1 : 1) << c.name;
    }
}

TEST(Del, RemovesOneEntryAndThenNothingSinceNoneIsSelected)
{
    Window w;
    w.list1.replaceAll({"/a", "/b", "/c"});
    w.list1.setListIndex(0);
    w.editing.Rem_Click();
    EXPECT_EQ(w.label1.caption(), "2 item(s)");
    w.label1.setCaption("unchanged");
    w.editing.Rem_Click();
    w.editing.List1_KeyDown(Qt::Key_Delete, Qt::NoModifier);
    EXPECT_EQ(w.entries(), (Entries{"/b", "/c"}));
    EXPECT_EQ(w.label1.caption(), "unchanged");
}

TEST(Del, OfThePlayingEntryLeavesPlaybackAndTitleAlone)
{
    Window w;
    w.list1.replaceAll({"/only.mp3"});
    w.list1.setListIndex(0);
    w.songname.setCaption("/only.mp3 - (01:00)");
    w.editing.Rem_Click();
    EXPECT_EQ(w.list1.listCount(), 0);
    EXPECT_EQ(w.label1.caption(), "0 item(s)");
    EXPECT_EQ(w.songname.caption(), "/only.mp3 - (01:00)");
    EXPECT_TRUE(w.play.calls.empty());
}

TEST(DelAll, EmptiesTheListAndWritesTheLabelEvenWhenEmptyAlready)
{
    for (const Entries& before : {Entries{}, Entries{"/a", "/b"}}) {
        Window w;
        w.list1.replaceAll(before);
        w.editing.Command6_Click();
        EXPECT_EQ(w.list1.listCount(), 0);
        EXPECT_EQ(w.list1.listIndex(), -1);
        EXPECT_EQ(w.label1.caption(), "0 item(s)");
    }
}

TEST(Open, ReplacesThePlaylistWithTheChosenFileAndStartsIt)
{
    Window w;
    Entries twelve;
    for (int i = 0; i < 12; ++i)
        twelve.push_back("/m/" + std::to_string(i) + ".mp3");
    w.list1.replaceAll(twelve);
    w.list1.setListIndex(3);
    w.play.lengthValue = 185.6;
    w.time.setVisible(false);
    w.dialog.choices = {"/music/chosen \xE9.mp3"};
    w.editing.open_Click();
    EXPECT_EQ(w.entries(), (Entries{"/music/chosen \xE9.mp3"}));
    EXPECT_EQ(w.list1.listIndex(), 0);
    EXPECT_EQ(w.label1.caption(), "1 item(s)");
    EXPECT_EQ(w.songname.caption(), "/music/chosen \xE9.mp3 - (03:06)");
    EXPECT_EQ(w.slider1.max(), 186);
    EXPECT_TRUE(w.time.visible());
    EXPECT_EQ(w.play.calls, (Calls{"fileName:/music/chosen \xE9.mp3", "length", "length"})) << "no play request";
}

TEST(Open, FileThePlayerRefusesLeavesThePlaylistAsItWas)
{
    Window w;
    w.list1.replaceAll({"/a", "/b"});
    w.list1.setListIndex(1);
    w.play.failing = {"fileName"};
    w.dialog.choices = {"/broken.mp3"};
    EXPECT_THROW(w.editing.open_Click(), Failure);
    EXPECT_EQ(w.entries(), (Entries{"/a", "/b"}));
    EXPECT_EQ(w.list1.listIndex(), 1);
    EXPECT_EQ(w.label1.caption(), "");
}

}  // namespace
}  // namespace tamro::playlist
