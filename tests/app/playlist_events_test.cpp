// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/player_window.h"

#include "support/temp_folder.h"
#include "support/fake_file_dialog.h"
#include "support/fake_media_player.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace tamro::app {
namespace {

using Entries = std::vector<std::string>;

struct Program {
    testing::FakeMediaPlayer* play;
    testing::FakeFileDialog* dialog;
    PlayerWindow window;

    Program() : Program(std::make_unique<testing::FakeMediaPlayer>(), std::make_unique<testing::FakeFileDialog>())
    {
    }
    Program(std::unique_ptr<testing::FakeMediaPlayer> fakePlay, std::unique_ptr<testing::FakeFileDialog> fakeDialog)
        : play(fakePlay.get()), dialog(fakeDialog.get()), window(std::move(fakePlay), std::move(fakeDialog))
    {
        window.loadAndShow();
        QTest::mouseClick(&window.frmmain.Command1, Qt::LeftButton);  // shows the playlist editor
    }
    ~Program()
    {
        if (QMessageBox* box = window.failures.openBox())
            box->close();
    }
    ui::Frmmain& f() { return window.frmmain; }
    void click(QAbstractButton& button) { QTest::mouseClick(&button, Qt::LeftButton); }
    Entries entries()
    {
        Entries out;
        for (int i = 0; i < f().List1.listCount(); ++i)
            out.push_back(f().List1.list(i));
        return out;
    }
};

TEST(PlaylistEvents, EditingButtonsAndTheDeleteKeyRunTheirHandlers)
{
    Program p;
    p.dialog->choices = {"/m/a.mp3", "/m/b.mp3"};
    p.click(p.f().Add);
    p.click(p.f().Add);
    EXPECT_EQ(p.f().Label1.caption(), "2 item(s)");

    p.f().List1.setListIndex(0);
    p.click(p.f().Rem);
    EXPECT_EQ(p.entries(), Entries{"/m/b.mp3"});

    p.f().List1.setListIndex(0);
    QTest::keyClick(&p.f().List1, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(p.f().Label1.caption(), "0 item(s)");

    p.dialog->choices = {"/m/open.mp3"};
    p.click(p.f().open);
    EXPECT_EQ(p.entries(), Entries{"/m/open.mp3"});
    EXPECT_EQ(p.play->fileName, "/m/open.mp3");

    p.click(p.f().Command6);
    EXPECT_EQ(p.f().List1.listCount(), 0);
    EXPECT_EQ(p.window.failures.openBox(), nullptr);
}

TEST(PlaylistEvents, SaveAndLoadGoThroughTheFileAndFailuresAreReported)
{
    testing::TempFolder folder;
    Program p;
    p.f().List1.replaceAll({"/m/a.mp3", "/m/b, c.mp3"});
    p.dialog->choices = {folder.file("list.m3u")};
    p.click(p.f().Savelist);
    EXPECT_EQ(testing::readBytes(folder.file("list.m3u")), "\"/m/a.mp3\"\r\n\"/m/b, c.mp3\"\r\n");
    EXPECT_EQ(p.f().List1.listIndex(), 1);

    p.f().List1.clear();
    p.dialog->choices = {folder.file("list.m3u")};
    p.click(p.f().Command4);
    EXPECT_EQ(p.entries(), (Entries{"/m/a.mp3", "/m/b, c.mp3"}));
    EXPECT_EQ(p.f().Label1.caption(), "2 item(s)");

    p.dialog->choices = {folder.file("typo.m3u")};
    p.click(p.f().Command4);
    ASSERT_NE(p.window.failures.openBox(), nullptr);
    EXPECT_EQ(p.window.failures.openBox()->text().toStdString(),
        "Cannot open '" + folder.file("typo.m3u") + "': no such file");
    EXPECT_EQ(p.entries(), (Entries{"/m/a.mp3", "/m/b, c.mp3"}));
}

}  // namespace
}  // namespace tamro::app
