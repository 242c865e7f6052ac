// SPDX-License-Identifier: GPL-3.0-or-later
// The "?" button of the running program opens the About window, whose links go through the window's opener.
#include "app/player_window.h"
#include "support/fake_media_player.h"
#include "support/fake_url_opener.h"
#include "ui/about.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tamro::app {
namespace {

TEST(AboutButton, OpensTheAboutWindowModallyOverTheMainWindow)
{
    PlayerWindow window(std::make_unique<testing::FakeMediaPlayer>());
    auto opener = std::make_unique<testing::FakeUrlOpener>();
    const testing::FakeUrlOpener& opened = *opener;
    window.urlOpener = std::move(opener);
    window.loadAndShow();

    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<ui::About*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr) << "no modal About window after pressing \"?\"";
        shown = true;
        EXPECT_EQ(about->parentWidget(), &window.frmmain);
        QTest::mouseClick(about->Label5, Qt::LeftButton);
        about->close();
    });
    QTest::mouseClick(&window.frmmain.Command5, Qt::LeftButton);  // returns once the window is closed
    EXPECT_TRUE(shown);
    EXPECT_EQ(opened.opened, std::vector<QString>{"http://brumvale.example"});
    EXPECT_TRUE(window.frmmain.findChildren<ui::About*>().isEmpty());  // closing unloads it
}

}  // namespace
}  // namespace tamro::app
