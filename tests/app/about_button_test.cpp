// The "?" button of the running program: it opens the About window modally, afresh each time.
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

TEST(AboutButton, OpensTheAboutWindowOverTheMainWindowEachTime)
{
    PlayerWindow window(std::make_unique<testing::FakeMediaPlayer>());
    auto opener = std::make_unique<testing::FakeUrlOpener>();
    testing::FakeUrlOpener& opened = *opener;
    window.urlOpener = std::move(opener);
    window.loadAndShow();

    std::vector<QString> captions;
    for (int press = 0; press < 2; ++press) {
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<ui::About*>(QApplication::activeModalWidget());
            if (!about) {
                ADD_FAILURE() << "no modal About window after pressing \"?\"";
                return;
            }
            captions.push_back(about->windowTitle());
            EXPECT_EQ(about->parentWidget(), &window.frmmain);
            QTest::mouseClick(about->Label5, Qt::LeftButton);
            about->close();
        });
        QTest::mouseClick(&window.frmmain.Command5, Qt::LeftButton);  // returns once the window is closed
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_EQ(captions, (std::vector<QString>{" About", " About"}));
    EXPECT_EQ(opened.opened, (std::vector<QString>{"http://brumvale.example", "http://brumvale.example"}));
    EXPECT_TRUE(window.frmmain.findChildren<ui::About*>().isEmpty());  // nothing of it is left behind
}

}  // namespace
}  // namespace tamro::app
